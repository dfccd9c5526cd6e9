// The simple progress window (dialog 103, "Transfer Progress") of behind-tape-reader sending: a
// text line, a bar in percent with its text, and Cancel. Its Cancel, Escape and close box only
// say that the operator wants to stop; the owner closes the window when the work has ended.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qel::ui {

class CProgressDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId { IDC_BAR = 1002, IDC_PERCENT = 1003, IDC_TEXT = 1004, IDC_CANCEL = 2 };
    static constexpr int kDialogId = 103;

    explicit CProgressDlg(QWidget* parent = nullptr);

    void setText(const QString& text);
    void setPercentText(const QString& text);
    void setPercent(int percent);
    QString text() const;
    QString percentText() const;
    int percent() const;

    // Ends the window for good (its owner, when the work has ended).
    void finish(int result);

  signals:
    void cancelPressed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    QLabel* text_;
    QProgressBar* bar_;
    QLabel* percent_;
    QPushButton* cancel_;
    bool finishing_ = false;
};

}  // namespace qel::ui
