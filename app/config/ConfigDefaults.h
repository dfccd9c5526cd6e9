// The configurations the program makes itself: the built-in list (no usable settings file),
// a new configuration (settings page "New") and a copy of "Default" ("Copy Default").
#pragma once

#include <string_view>

#include "config/ConfigRecord.h"

namespace qel {

// Slot 0 "Default": COM1, RXA/2, autodetect speed, connect at start, time-out 1 s, one
// memory type "Part Programs". programFolder is the folder of the program file.
ConfigRecord defaultConfig(std::string_view programFolder);

// Slot 0 as above, slot 1 a copy named "Command line", slots 2..9 free, slot 0 selected.
SettingsImage builtInConfigList(std::string_view programFolder);

// A configuration created by the operator: unlike "Default" it does not connect at start, has a
// 5 s time-out, starts in currentDirectory and knows "Macros" and "Part Programs".
ConfigRecord newConfiguration(std::string_view name, std::string_view currentDirectory);

// Every field of "Default" except the name.
ConfigRecord copyOfDefault(const ConfigRecord& defaultSlot, std::string_view name);

}  // namespace qel
