// A one-line text input with a prompt (dialog 145, "QEL"): new names, select filters. The
// value is selected as a whole when the box opens, so typing replaces it.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace qel::ui {

class CRStrDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId { IDC_PROMPT = 1132, IDC_VALUE = 1072 };

    explicit CRStrDlg(QWidget* parent = nullptr);

    void setPrompt(const QString& prompt);
    void setValue(const QString& value);
    // The value: the edit's text after OK, the value set before after Cancel.
    QString value() const { return value_; }

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* prompt_;
    QLineEdit* edit_;
    QString value_;
};

}  // namespace qel::ui
