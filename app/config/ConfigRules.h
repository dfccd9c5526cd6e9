// Reading a record that came from a file safely. The loader takes the record's values as they
// are (the link refuses what it cannot use); these rules only keep every reader inside the
// record's arrays and the shared image list, whatever a damaged file holds.
#pragma once

#include <cstdint>
#include <span>

#include "config/ConfigRecord.h"

namespace qel {

// A slot or memory-type entry counts as used when its inUse word is not 0.
inline bool isUsed(const ConfigRecord& record) {
    return record.inUse != 0;
}
inline bool isUsed(const MemoryTypeEntry& entry) {
    return entry.inUse != 0;
}

// The selected slot: index when it is 0..9 and names a used slot, else 0 ("Default").
uint32_t selectableConfig(std::span<const ConfigRecord, kConfigSlots> configs, uint32_t index);

// The memory types a reader may show: the used entries standing first, up to the first free
// one. Entries behind a gap stay in the record but are not shown.
int memoryTypeCount(const ConfigRecord& record);

// defaultCncFolder as a level to show: 0 (top) unless it names one of the shown memory types.
int cncFolderLevel(const ConfigRecord& record);

// iconIndex held to the image list's range 0..45.
int iconIndexOf(const MemoryTypeEntry& entry);

// Cuts every text field of the record (memory types included) that has no NUL to its field.
void terminateTexts(ConfigRecord& record);

}  // namespace qel
