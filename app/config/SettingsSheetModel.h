// The settings sheet without its window: the four pages over the store's record block, and the
// page exchange (a page is filled when it becomes the active one and taken over when the
// operator leaves it or presses OK). Nothing reaches the file until the caller saves.
#pragma once

#include <string>

#include "config/CncFoldersPageModel.h"
#include "config/CommunicationsPageModel.h"
#include "config/OptionsPageModel.h"
#include "config/SelectPageModel.h"
#include "config/SettingsStore.h"

namespace qel {

enum class SettingsPage { Select, Communications, CncFolders, Options };

class SettingsSheetModel {
  public:
    // The store stays the caller's; currentDirectory is where new configurations start.
    SettingsSheetModel(SettingsStore& store, std::string currentDirectory);

    // Leaves the active page and fills page. The sheet starts on no page: the window activates
    // Select first.
    void Activate(SettingsPage page);
    // OK: the active page's controls go into the record block.
    void TakeOverActive();
    SettingsPage active() const { return active_; }

    SelectPageModel& select() { return select_; }
    CommunicationsPageModel& communications() { return communications_; }
    CncFoldersPageModel& cncFolders() { return cncFolders_; }
    OptionsPageModel& options() { return options_; }
    SettingsStore& store() { return store_; }

  private:
    SettingsStore& store_;
    SelectPageModel select_;
    CommunicationsPageModel communications_;
    CncFoldersPageModel cncFolders_;
    OptionsPageModel options_;
    SettingsPage active_ = SettingsPage::Select;
    bool anyActive_ = false;
};

}  // namespace qel
