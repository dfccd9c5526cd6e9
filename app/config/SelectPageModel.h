// The rules of the settings sheet's Select page: which configuration the other pages edit, and
// creating and deleting configurations. It works on the sheet's record block and selected index
// in place; the window only mirrors its state into the controls.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/ConfigRecord.h"

namespace qel {

struct ConfigListItem {
    std::string name;
    uint32_t slot = 0;  // the list item's data
};

class SelectPageModel {
  public:
    // New configurations start in currentDirectory.
    SelectPageModel(std::span<ConfigRecord, kConfigSlots> configs, uint32_t& currentConfig,
                    std::string currentDirectory);

    // The used slots in slot order, the selected one selected.
    void Fill();
    // currentConfig := the selected item's slot (0 when nothing usable is selected).
    void TakeOver();

    // The operator types a name into the list's edit field: the selection stays (OK keeps it),
    // New and Copy Default are offered while there is room for another configuration.
    void Typing();
    void Select(int position);
    // Each false for a refused action (the window beeps): no free slot, or an empty name.
    bool New(std::string_view name);
    bool CopyDefault(std::string_view name);
    // False for "Default", "Command line" or no selection.
    bool Delete();

    const std::vector<ConfigListItem>& items() const { return items_; }
    int selected() const { return selected_; }  // -1: none
    bool newEnabled() const { return createEnabled_; }
    bool copyDefaultEnabled() const { return createEnabled_; }
    bool deleteEnabled() const { return deleteEnabled_; }
    // The sheet's caption: "QEL Settings - NAME" with the selected name.
    std::string caption() const;

  private:
    bool create(std::string_view name, bool copyDefault);
    void selected(int position);

    std::span<ConfigRecord, kConfigSlots> configs_;
    uint32_t& currentConfig_;
    std::string currentDirectory_;
    std::vector<ConfigListItem> items_;
    int selected_ = -1;
    bool createEnabled_ = false;
    bool deleteEnabled_ = true;
};

}  // namespace qel
