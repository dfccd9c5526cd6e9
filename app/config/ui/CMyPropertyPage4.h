// The CNC Folders page (dialog 112): the memory types of the configuration with their wildcards
// and icons. A thin view of CncFoldersPageModel.
#pragma once

#include "config/CncFoldersPageModel.h"
#include "config/ui/SettingsPageView.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qel::ui {

class StepSpin;

class CMyPropertyPage4 final : public SettingsPageView {
    Q_OBJECT
  public:
    enum ControlId {
        IDD = 112,
        IDC_MEMORY_TYPES = 1044,
        IDC_ADD = 1019,
        IDC_DELETE = 1020,
        IDC_WILDCARDS = 1045,
        IDC_ICON_SPIN = 1046,
        IDC_ICON = 1047,
    };

    CMyPropertyPage4(CncFoldersPageModel& model, QWidget* parent = nullptr);
    void showState() override;

  private:
    void showDetails();

    CncFoldersPageModel& model_;
    QLineEdit* name_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* delete_;
    QLineEdit* wildcards_;
    QLabel* icon_;
    StepSpin* iconSpin_;
};

}  // namespace qel::ui
