// qel config new / copy / delete / set: the settings pages' rules, driven from the command
// line, so that a configuration can be made without a display. Each function edits the store's
// record block only; the caller writes the file when it returns true. On false, why is in
// error ("comPort: one of 1, 2, 3, 4") and nothing was changed that the caller would write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/SettingsStore.h"

namespace qel {

// A new configuration with the defaults of "New" (copyDefault: a copy of "Default"), in the
// first free slot. The selected configuration stays.
bool createConfiguration(SettingsStore& store, std::string_view name, bool copyDefault,
                         const std::string& currentDirectory, std::string& error);

// Deletes the configuration in slot; when it was the selected one, the one listed before it
// is selected, as on the Select page.
bool deleteConfiguration(SettingsStore& store, uint32_t slot, std::string& error);

// FIELD=VALUE assignments to the configuration in slot, each checked as its page checks it.
// All are checked before the record is changed.
bool setConfigurationFields(SettingsStore& store, uint32_t slot,
                            const std::vector<std::string>& assignments, std::string& error);

// The fields setConfigurationFields knows, for the usage text.
extern const char* const kSettableFields;

}  // namespace qel
