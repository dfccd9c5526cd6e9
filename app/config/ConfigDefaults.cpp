#include "config/ConfigDefaults.h"

#include <cablor.h>

#include "config/FixedText.h"

namespace qel {

namespace {

void setMemoryType(MemoryTypeEntry& entry, std::string_view name, std::string_view wildcards,
                   int32_t iconIndex) {
    entry.inUse = 1;
    setText(entry.name, name);
    setText(entry.wildcards, wildcards);
    entry.iconIndex = iconIndex;
}

// The fields "Default" and a new configuration share.
ConfigRecord commonDefaults(std::string_view name) {
    ConfigRecord record;  // all zero: free memory types, 0 for every field not set below
    record.inUse = 1;
    setText(record.name, name);
    record.linkType = DNC_LINK_RXA2;
    record.comPort = 1;
    record.leaderTrailerSize = 0;
    record.baudRate = 0;
    record.parityMode = 0;
    record.sendDelay = 0;
    record.linkFlags = 0;
    record.retries = 5;
    record.serverPort = 19000;
    record.destinationPort = 19000;
    record.defaultCncFolder = 0;
    setText(record.editor, "NOTEPAD");
    setText(record.ipAddressText, "127.0.0.1");
    record.ipAddressValue = 0x7F000001;
    return record;
}

}  // namespace

ConfigRecord defaultConfig(std::string_view programFolder) {
    ConfigRecord record = commonDefaults("Default");
    record.options = OPT_PERCENT_A | OPT_PERCENT_B | OPT_CONNECT_AT_START | OPT_NOTIFY_CNC;
    record.timeout = 1;
    setText(record.defaultLocalFolder, programFolder);
    setMemoryType(record.memoryTypes[0], "Part Programs", "*.PM;*.PP;*.PT", 6);
    return record;
}

SettingsImage builtInConfigList(std::string_view programFolder) {
    SettingsImage image;
    image.configs[kDefaultSlot] = defaultConfig(programFolder);
    image.configs[kCommandLineSlot] = image.configs[kDefaultSlot];
    setText(image.configs[kCommandLineSlot].name, "Command line");
    image.currentConfig = kDefaultSlot;
    return image;
}

ConfigRecord newConfiguration(std::string_view name, std::string_view currentDirectory) {
    ConfigRecord record = commonDefaults(name);
    record.options = OPT_PERCENT_A | OPT_PERCENT_B | OPT_NOTIFY_CNC;
    record.timeout = 5;
    setText(record.defaultLocalFolder, currentDirectory);
    setMemoryType(record.memoryTypes[0], "Macros", "*.MM", 5);
    setMemoryType(record.memoryTypes[1], "Part Programs", "*.PM", 6);
    return record;
}

ConfigRecord copyOfDefault(const ConfigRecord& defaultSlot, std::string_view name) {
    ConfigRecord record = defaultSlot;
    record.inUse = 1;
    setText(record.name, name);
    return record;
}

}  // namespace qel
