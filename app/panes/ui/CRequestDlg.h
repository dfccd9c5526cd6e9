// The program's own question box (dialog 138, "QEL"): besides Yes, No and Cancel it offers
// "Yes to &All", so that a question asked once per file can be answered for the rest of a
// batch, and it can carry Help in Cancel's place. Which buttons show, which has the focus and
// which icon and sound go with it is the flag word's (RequestLayout.h).
#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;

namespace qel::ui {

class CRequestDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId {
        IDC_ICON = 1047,
        IDC_MESSAGE = 1132,
        IDC_YES = 1067,
        IDC_YESTOALL = 1066,
        IDC_NO = 1068,
        IDC_CANCEL = 1069,
        IDC_HELP = 1074,
        IDC_OK = 1,
    };

    explicit CRequestDlg(QWidget* parent = nullptr);

    // Beeps with the icon's sound, shows the box modally and returns the answer: IDYES, IDNO,
    // IDCANCEL (Cancel, Escape or the close box), IDOK or IDYESTOALL.
    uint32_t Ask(const QString& text, uint32_t flags, int helpId = 0);
    // Sets the box up for flags without showing it (Ask does this first).
    void prepare(const QString& text, uint32_t flags, int helpId = 0);

  private:
    QPushButton* addButton(const QString& text, int id, uint32_t answer);
    void showHelp();

    QLabel* icon_;
    QLabel* message_;
    QPushButton* yes_;
    QPushButton* yesToAll_;
    QPushButton* no_;
    QPushButton* cancel_;
    QPushButton* help_;
    QPushButton* ok_;
    int helpId_ = 0;
};

}  // namespace qel::ui
