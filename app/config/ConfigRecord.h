// The configuration record: everything the operator can set, as one fixed-size record. Ten of
// them, with the index of the selected one, form the settings file byte for byte (little-endian,
// no padding), so the layout below is part of the file format and checked at compile time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace qel {

// Bits of ConfigRecord::options. Bits 6 and 7 stay 0.
inline constexpr uint8_t OPT_PERCENT_A = 0x01;         // "%A" splitting/joining, block nr < 9000
inline constexpr uint8_t OPT_PERCENT_B = 0x02;         // "%B", block nr > 9000
inline constexpr uint8_t OPT_CONNECT_AT_START = 0x04;  // connect when QEL starts
inline constexpr uint8_t OPT_NOTIFY_CNC = 0x08;        // message on the CNC screen on (dis)connect
inline constexpr uint8_t OPT_IGNORE_EMPTY = 0x10;      // skip empty files
inline constexpr uint8_t OPT_REMOTE_AT_START = 0x20;   // remote mode when QEL starts

inline constexpr int kConfigSlots = 10;
inline constexpr uint32_t kDefaultSlot = 0;      // "Default", always present
inline constexpr uint32_t kCommandLineSlot = 1;  // "Command line", rewritten by a start with /i
inline constexpr int kMemoryTypeSlots = 20;
inline constexpr int kMaxIconIndex = 45;  // last image of the shared list a memory type may use

// One CNC folder (memory type). Used entries stand first, sorted by name; readers must not
// rely on that for a file they did not write themselves (see ConfigRules.h).
struct MemoryTypeEntry {
    uint32_t inUse = 0;
    char name[28] = {};       // at most 27 characters
    char wildcards[28] = {};  // ";"-separated, e.g. "*.PM;*.PP;*.PT"
    int32_t iconIndex = 0;    // 0..45 into the shared 16 x 16 image list
};

struct ConfigRecord {
    uint32_t inUse = 0;  // 1 = slot holds a configuration
    char name[28] = {};
    int32_t linkType = 0;  // DNC_LINK_RXA2, _DATAIO_RTSCTS, _DATAIO_XONXOFF or _TCP_CLIENT
    int16_t comPort = 0;   // 1..4 = COM1..COM4
    int16_t leaderTrailerSize = 0;
    uint32_t baudRate = 0;   // bit/s; 0 = autodetect (RXA/2 only)
    uint8_t parityMode = 0;  // 0 = 8 bits no parity, 1 = 7 bits even parity
    uint8_t options = 0;     // OPT_* bits
    int16_t sendDelay = 0;   // ms before each control byte
    uint32_t linkFlags = 0;  // connection flags, passed to the link unchanged
    int16_t timeout = 0;     // RXA/2 acknowledge time-out in seconds
    int16_t retries = 0;
    int16_t serverPort = 0;       // ports are 16-bit signed: above 32767 they come back negative
    int16_t destinationPort = 0;  // TCP port of the CNC, also the remote-mode listening port
    char defaultLocalFolder[260] = {};  // empty = the process's current directory
    int32_t defaultCncFolder = 0;       // 0 = top level, n = n-th memory type
    char editor[130] = {};
    char ipAddressText[130] = {};
    uint32_t ipAddressValue = 0;  // IPv4 address in host order
    MemoryTypeEntry memoryTypes[kMemoryTypeSlots] = {};
};

// The whole settings file: no header, slot 0 first, then the selected index.
struct SettingsImage {
    ConfigRecord configs[kConfigSlots] = {};
    uint32_t currentConfig = 0;
};

inline constexpr std::size_t kSettingsFileSize = 18684;

// The records are copied to and from the file as bytes, which is only right on a little-endian
// machine with this exact layout.
static_assert(std::endian::native == std::endian::little);
static_assert(std::is_trivially_copyable_v<ConfigRecord> &&
              std::is_standard_layout_v<ConfigRecord>);
static_assert(std::is_trivially_copyable_v<SettingsImage> &&
              std::is_standard_layout_v<SettingsImage>);

static_assert(sizeof(MemoryTypeEntry) == 64);
static_assert(offsetof(MemoryTypeEntry, inUse) == 0);
static_assert(offsetof(MemoryTypeEntry, name) == 4);
static_assert(offsetof(MemoryTypeEntry, wildcards) == 32);
static_assert(offsetof(MemoryTypeEntry, iconIndex) == 60);

static_assert(sizeof(ConfigRecord) == 1868);
static_assert(offsetof(ConfigRecord, inUse) == 0);
static_assert(offsetof(ConfigRecord, name) == 4);
static_assert(offsetof(ConfigRecord, linkType) == 32);
static_assert(offsetof(ConfigRecord, comPort) == 36);
static_assert(offsetof(ConfigRecord, leaderTrailerSize) == 38);
static_assert(offsetof(ConfigRecord, baudRate) == 40);
static_assert(offsetof(ConfigRecord, parityMode) == 44);
static_assert(offsetof(ConfigRecord, options) == 45);
static_assert(offsetof(ConfigRecord, sendDelay) == 46);
static_assert(offsetof(ConfigRecord, linkFlags) == 48);
static_assert(offsetof(ConfigRecord, timeout) == 52);
static_assert(offsetof(ConfigRecord, retries) == 54);
static_assert(offsetof(ConfigRecord, serverPort) == 56);
static_assert(offsetof(ConfigRecord, destinationPort) == 58);
static_assert(offsetof(ConfigRecord, defaultLocalFolder) == 60);
static_assert(offsetof(ConfigRecord, defaultCncFolder) == 320);
static_assert(offsetof(ConfigRecord, editor) == 324);
static_assert(offsetof(ConfigRecord, ipAddressText) == 454);
static_assert(offsetof(ConfigRecord, ipAddressValue) == 584);
static_assert(offsetof(ConfigRecord, memoryTypes) == 588);

static_assert(offsetof(SettingsImage, currentConfig) == 18680);
static_assert(sizeof(SettingsImage) == kSettingsFileSize);

}  // namespace qel
