#include "config/ConfigRules.h"

#include "config/FixedText.h"

namespace qel {

uint32_t selectableConfig(std::span<const ConfigRecord, kConfigSlots> configs, uint32_t index) {
    if (index >= static_cast<uint32_t>(kConfigSlots) || !isUsed(configs[index]))
        return kDefaultSlot;
    return index;
}

int memoryTypeCount(const ConfigRecord& record) {
    int count = 0;
    while (count < kMemoryTypeSlots && isUsed(record.memoryTypes[count])) ++count;
    return count;
}

int cncFolderLevel(const ConfigRecord& record) {
    const int level = record.defaultCncFolder;
    return level >= 1 && level <= memoryTypeCount(record) ? level : 0;
}

int iconIndexOf(const MemoryTypeEntry& entry) {
    if (entry.iconIndex < 0) return 0;
    return entry.iconIndex > kMaxIconIndex ? kMaxIconIndex : entry.iconIndex;
}

void terminateTexts(ConfigRecord& record) {
    terminateText(record.name);
    terminateText(record.defaultLocalFolder);
    terminateText(record.editor);
    terminateText(record.ipAddressText);
    for (MemoryTypeEntry& entry : record.memoryTypes) {
        terminateText(entry.name);
        terminateText(entry.wildcards);
    }
}

}  // namespace qel
