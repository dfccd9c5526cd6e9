// The settings sheet "QEL Settings": the Select, Communications, CNC Folders and Options pages
// over the store's ten configurations. OK saves the whole block and the selected index (after
// asking, when another program changed the file meanwhile) and hands out the selected record;
// Cancel leaves the file as it was.
#pragma once

#include "config/SettingsSheetModel.h"
#include "panes/ui/Prompter.h"

#include <QDialog>

class QTabWidget;

namespace qel::ui {

class CMyPropertyPage2;
class CMyPropertyPage3;
class CMyPropertyPage4;
class CMyPropertyPage5;
class SettingsPageView;

inline constexpr const char* kSettingsReplacedText =
    "Another program changed the settings file while the settings were open.\n\n"
    "Save these settings over its changes?";

class CSettingsSheet final : public QDialog {
    Q_OBJECT
  public:
    // New configurations start in currentDirectory.
    CSettingsSheet(SettingsStore& store, Prompter& prompter, std::string currentDirectory,
                   QWidget* parent = nullptr);
    ~CSettingsSheet() override;

    // After OK: the selected configuration as saved.
    const ConfigRecord& chosenConfig() const { return chosen_; }

    SettingsSheetModel& model() { return model_; }
    QTabWidget* tabs() const { return tabs_; }
    CMyPropertyPage2& selectPage() const { return *select_; }
    CMyPropertyPage3& communicationsPage() const { return *communications_; }
    CMyPropertyPage4& cncFoldersPage() const { return *cncFolders_; }
    CMyPropertyPage5& optionsPage() const { return *options_; }

    void accept() override;

  private:
    void activate(int index);
    SettingsPageView* page(int index) const;

    SettingsSheetModel model_;
    Prompter& prompter_;
    QTabWidget* tabs_;
    CMyPropertyPage2* select_;
    CMyPropertyPage3* communications_;
    CMyPropertyPage4* cncFolders_;
    CMyPropertyPage5* options_;
    int active_ = -1;
    ConfigRecord chosen_;
};

}  // namespace qel::ui
