// Quick View (dialog 143): the first lines of a CNC memory as they came, read-only.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace qel::ui {

class CShowDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId { IDC_CAPTION_LINE = 1005, IDC_BODY = 1064 };

    explicit CShowDlg(QWidget* parent = nullptr);

    void setCaptionLine(const QString& text);
    // The body grows by text as it is: its line ends are not converted.
    void append(const QString& text);
    QString body() const { return body_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* captionLine_;
    QPlainTextEdit* view_;
    QString body_;
};

}  // namespace qel::ui
