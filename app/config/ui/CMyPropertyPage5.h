// The Options page (dialog 113): default local and CNC folders, the editor and the start-up
// options. A thin view of OptionsPageModel.
#pragma once

#include "config/OptionsPageModel.h"
#include "config/ui/SettingsPageView.h"

#include <functional>
#include <optional>

#include <QString>

class QCheckBox;
class QLineEdit;

namespace qel::ui {

class StepSpin;

class CMyPropertyPage5 final : public SettingsPageView {
    Q_OBJECT
  public:
    enum ControlId {
        IDD = 113,
        IDC_LOCAL_FOLDER = 1050,
        IDC_BROWSE_FOLDER = 1061,
        IDC_CNC_FOLDER = 1113,
        IDC_EDITOR = 1054,
        IDC_BROWSE_EDITOR = 1062,
        IDC_CONNECT_AT_START = 1115,
        IDC_REMOTE_AT_START = 1127,
        IDC_IGNORE_EMPTY = 1116,
    };

    // The two Browse dialogs: given the starting text, the chosen one or nothing on Cancel.
    // Tests replace them; by default they are the folder selection and a file dialog.
    using Chooser = std::function<std::optional<QString>(QWidget* parent, const QString& start)>;

    CMyPropertyPage5(OptionsPageModel& model, QWidget* parent = nullptr);
    void showState() override;
    void leave() override;

    void setFolderChooser(Chooser chooser) { chooseFolder_ = std::move(chooser); }
    void setProgramChooser(Chooser chooser) { chooseProgram_ = std::move(chooser); }

  private:
    void showCncFolder();

    OptionsPageModel& model_;
    QLineEdit* folder_;
    StepSpin* cncFolder_;
    QLineEdit* editor_;
    QCheckBox* connectAtStart_;
    QCheckBox* remoteAtStart_;
    QCheckBox* ignoreEmpty_;
    Chooser chooseFolder_;
    Chooser chooseProgram_;
};

// The file dialog of the editor's Browse: "Programs" (every executable file) or all files.
std::optional<QString> chooseProgramFile(QWidget* parent, const QString& start);

}  // namespace qel::ui
