#include "config/SettingsSheetModel.h"

namespace qel {

SettingsSheetModel::SettingsSheetModel(SettingsStore& store, std::string currentDirectory)
    : store_(store),
      select_(store.configs(), store.currentConfig(), std::move(currentDirectory)),
      communications_(store.configs(), store.currentConfig()),
      cncFolders_(store.configs(), store.currentConfig()),
      options_(store.configs(), store.currentConfig()) {}

void SettingsSheetModel::TakeOverActive() {
    if (!anyActive_) return;
    switch (active_) {
        case SettingsPage::Select:
            select_.TakeOver();
            break;
        case SettingsPage::Communications:
            communications_.TakeOver();
            break;
        case SettingsPage::CncFolders:
            break;  // it writes into the record as the operator works
        case SettingsPage::Options:
            options_.TakeOver();
            break;
    }
}

void SettingsSheetModel::Activate(SettingsPage page) {
    TakeOverActive();
    active_ = page;
    anyActive_ = true;
    switch (page) {
        case SettingsPage::Select:
            select_.Fill();
            break;
        case SettingsPage::Communications:
            communications_.Fill();
            break;
        case SettingsPage::CncFolders:
            cncFolders_.Fill();
            break;
        case SettingsPage::Options:
            options_.Fill();
            break;
    }
}

}  // namespace qel
