// The rules of the settings sheet's CNC Folders page: the memory types of the selected
// configuration, kept sorted by name. Every change is written into the record at once.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/ConfigRecord.h"

namespace qel {

class CncFoldersPageModel {
  public:
    static constexpr const char* kNewWildcards = "*.PM";
    static constexpr int kNewIcon = 6;

    CncFoldersPageModel(std::span<ConfigRecord, kConfigSlots> configs,
                        const uint32_t& currentConfig);

    // The memory types listed, the first one selected and shown.
    void Fill();

    // The operator types a name into the list's edit field.
    void Typing();
    void Select(int position);
    // The wildcards edit changed: stored into the memory type shown, cut to 27 characters.
    void EditWildcards(std::string_view wildcards);
    // False (a beep) at the end of the range or with no memory type shown.
    bool SpinUp();
    bool SpinDown();
    // False (a beep) for an empty name or a full table.
    bool Add(std::string_view name);
    // False (a beep) when nothing is selected.
    bool Delete();

    std::vector<std::string> names() const;
    int selected() const { return current_; }  // -1: none
    const std::string& wildcards() const { return wildcards_; }
    int iconIndex() const;  // of the memory type shown
    int iconIndexAt(int position) const;
    bool addEnabled() const { return addEnabled_; }
    bool deleteEnabled() const { return deleteEnabled_; }
    // The wildcards edit, the icon and its spin: only while a memory type is shown.
    bool detailsEnabled() const { return detailsEnabled_; }

  private:
    ConfigRecord& record() { return configs_[currentConfig_]; }
    const ConfigRecord& record() const { return configs_[currentConfig_]; }
    void show(int position);

    std::span<ConfigRecord, kConfigSlots> configs_;
    const uint32_t& currentConfig_;
    int current_ = -1;
    std::string wildcards_;
    bool addEnabled_ = false;
    bool deleteEnabled_ = true;
    bool detailsEnabled_ = false;
};

}  // namespace qel
