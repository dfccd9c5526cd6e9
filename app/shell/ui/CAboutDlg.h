// "About QelVeva" (dialog 100): the version, the memory still available and the system's
// version.
#pragma once

#include <QDialog>

class QLabel;

namespace qel::ui {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId { IDC_FREE_MEMORY = 1040, IDC_SYSTEM_VERSION = 1041 };

    explicit CAboutDlg(QWidget* parent = nullptr);

    QString freeMemoryText() const;
    QString systemVersionText() const;

  private:
    QLabel* freeMemory_;
    QLabel* systemVersion_;
};

}  // namespace qel::ui
