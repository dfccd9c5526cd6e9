#include "config/CncFoldersPageModel.h"

#include "config/ConfigRules.h"
#include "config/FixedText.h"

namespace qel {

CncFoldersPageModel::CncFoldersPageModel(std::span<ConfigRecord, kConfigSlots> configs,
                                         const uint32_t& currentConfig)
    : configs_(configs), currentConfig_(currentConfig) {}

void CncFoldersPageModel::Fill() {
    addEnabled_ = false;
    show(memoryTypeCount(record()) > 0 ? 0 : -1);
}

std::vector<std::string> CncFoldersPageModel::names() const {
    std::vector<std::string> names;
    const int count = memoryTypeCount(record());
    for (int i = 0; i < count; ++i) names.emplace_back(textOf(record().memoryTypes[i].name));
    return names;
}

int CncFoldersPageModel::iconIndex() const {
    return iconIndexAt(current_);
}

int CncFoldersPageModel::iconIndexAt(int position) const {
    if (position < 0 || position >= memoryTypeCount(record())) return 0;
    return iconIndexOf(record().memoryTypes[position]);
}

void CncFoldersPageModel::show(int position) {
    current_ = position;
    deleteEnabled_ = true;
    // With no memory type left there is nothing the wildcards and the icon could change.
    detailsEnabled_ = position >= 0;
    wildcards_ = position >= 0 ? std::string(textOf(record().memoryTypes[position].wildcards))
                               : std::string();
}

void CncFoldersPageModel::Typing() {
    addEnabled_ = memoryTypeCount(record()) < kMemoryTypeSlots;
    deleteEnabled_ = false;
    detailsEnabled_ = false;
}

void CncFoldersPageModel::Select(int position) {
    if (position < 0 || position >= memoryTypeCount(record())) return;
    addEnabled_ = false;
    show(position);
}

void CncFoldersPageModel::EditWildcards(std::string_view wildcards) {
    if (!detailsEnabled_ || current_ < 0) return;
    char(&field)[28] = record().memoryTypes[current_].wildcards;
    setText(field, wildcards);
    wildcards_ = std::string(textOf(field));
}

bool CncFoldersPageModel::SpinUp() {
    if (!detailsEnabled_ || current_ < 0) return false;
    int32_t& icon = record().memoryTypes[current_].iconIndex;
    if (icon >= kMaxIconIndex) return false;
    icon = icon < 0 ? 1 : icon + 1;
    return true;
}

bool CncFoldersPageModel::SpinDown() {
    if (!detailsEnabled_ || current_ < 0) return false;
    int32_t& icon = record().memoryTypes[current_].iconIndex;
    if (icon <= 0) return false;
    icon = icon > kMaxIconIndex ? kMaxIconIndex : icon - 1;
    return true;
}

bool CncFoldersPageModel::Add(std::string_view name) {
    const int count = memoryTypeCount(record());
    if (count >= kMemoryTypeSlots || name.find_first_not_of(' ') == std::string_view::npos)
        return false;
    MemoryTypeEntry entry;
    entry.inUse = 1;
    setText(entry.name, name);
    setText(entry.wildcards, kNewWildcards);
    entry.iconIndex = kNewIcon;
    // Its place by name in byte order, behind entries of the same name.
    int position = 0;
    while (position < count && textOf(record().memoryTypes[position].name) <= textOf(entry.name))
        ++position;
    MemoryTypeEntry* types = record().memoryTypes;
    for (int i = count; i > position; --i) types[i] = types[i - 1];
    types[position] = entry;
    addEnabled_ = false;
    show(position);
    return true;
}

bool CncFoldersPageModel::Delete() {
    const int count = memoryTypeCount(record());
    if (current_ < 0 || current_ >= count) return false;
    MemoryTypeEntry* types = record().memoryTypes;
    for (int i = current_; i + 1 < count; ++i) types[i] = types[i + 1];
    types[count - 1] = MemoryTypeEntry{};
    const int left = count - 1;
    show(left == 0 ? -1 : current_ < left ? current_ : left - 1);
    return true;
}

}  // namespace qel
