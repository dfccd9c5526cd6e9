#include "config/SelectPageModel.h"

#include "config/ConfigDefaults.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"

namespace qel {

SelectPageModel::SelectPageModel(std::span<ConfigRecord, kConfigSlots> configs,
                                 uint32_t& currentConfig, std::string currentDirectory)
    : configs_(configs),
      currentConfig_(currentConfig),
      currentDirectory_(std::move(currentDirectory)) {}

void SelectPageModel::Fill() {
    items_.clear();
    selected_ = -1;
    for (uint32_t slot = 0; slot < static_cast<uint32_t>(kConfigSlots); ++slot) {
        if (!isUsed(configs_[slot])) continue;
        if (slot == currentConfig_) selected_ = static_cast<int>(items_.size());
        items_.push_back({std::string(textOf(configs_[slot].name)), slot});
    }
    selected(selected_);
}

void SelectPageModel::TakeOver() {
    const uint32_t slot = selected_ >= 0 ? items_[static_cast<std::size_t>(selected_)].slot
                                         : static_cast<uint32_t>(kConfigSlots);
    currentConfig_ = selectableConfig(configs_, slot);
}

void SelectPageModel::Typing() {
    createEnabled_ = items_.size() < static_cast<std::size_t>(kConfigSlots);
    deleteEnabled_ = false;
}

void SelectPageModel::Select(int position) {
    selected(position >= 0 && position < static_cast<int>(items_.size()) ? position : -1);
}

void SelectPageModel::selected(int position) {
    selected_ = position;
    createEnabled_ = false;
    deleteEnabled_ = true;
}

bool SelectPageModel::New(std::string_view name) {
    return create(name, false);
}

bool SelectPageModel::CopyDefault(std::string_view name) {
    return create(name, true);
}

bool SelectPageModel::create(std::string_view name, bool copyDefault) {
    // A configuration without a name could not be told apart in the list.
    if (name.find_first_not_of(' ') == std::string_view::npos) return false;
    uint32_t slot = 0;
    while (slot < static_cast<uint32_t>(kConfigSlots) && isUsed(configs_[slot])) ++slot;
    if (slot == static_cast<uint32_t>(kConfigSlots)) return false;
    configs_[slot] = copyDefault ? copyOfDefault(configs_[kDefaultSlot], name)
                                 : newConfiguration(name, currentDirectory_);
    items_.push_back({std::string(textOf(configs_[slot].name)), slot});
    selected(static_cast<int>(items_.size()) - 1);
    return true;
}

bool SelectPageModel::Delete() {
    if (selected_ < 2) return false;
    const auto position = static_cast<std::size_t>(selected_);
    const uint32_t slot = items_[position].slot;
    if (slot == kDefaultSlot || slot == kCommandLineSlot) return false;
    configs_[slot].inUse = 0;
    items_.erase(items_.begin() + selected_);
    selected(position > 0 ? selected_ - 1 : 0);
    return true;
}

std::string SelectPageModel::caption() const {
    if (selected_ < 0) return kSettingsCaption;
    return std::string(kSettingsCaption) + " - " + items_[static_cast<std::size_t>(selected_)].name;
}

}  // namespace qel
