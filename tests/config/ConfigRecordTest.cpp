// The record's defaults and the byte layout of the settings file as other installations read it.
#include <gtest/gtest.h>

#include <cstring>

#include "ConfigTestSupport.h"
#include "config/ConfigDefaults.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"

namespace qel {
namespace {

using testing::readBytes;
using testing::RecordingMessages;
using testing::ScratchFolder;

template <typename T>
T valueAt(const std::string& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::string textAt(const std::string& bytes, std::size_t offset) {
    return std::string(bytes.c_str() + offset);
}

// Every field holds a value no other field has, so a field written at a wrong offset shows.
ConfigRecord distinctRecord() {
    ConfigRecord r;
    r.inUse = 1;
    setText(r.name, "Lathe 3");
    r.linkType = 2;
    r.comPort = 3;
    r.leaderTrailerSize = 1023;
    r.baudRate = 115200;
    r.parityMode = 1;
    r.options = 0x3A;
    r.sendDelay = 999;
    r.linkFlags = 0x22;
    r.timeout = 127;
    r.retries = 77;
    r.serverPort = 19002;
    r.destinationPort = -25536;
    setText(r.defaultLocalFolder, "/srv/nc/lathe3");
    r.defaultCncFolder = 2;
    setText(r.editor, "vi");
    setText(r.ipAddressText, "cnc-lathe3.local");
    r.ipAddressValue = 0xC0A80114;
    setText(r.memoryTypes[0].name, "Macros");
    r.memoryTypes[0].inUse = 1;
    setText(r.memoryTypes[0].wildcards, "*.MM");
    r.memoryTypes[0].iconIndex = 5;
    r.memoryTypes[19].inUse = 1;
    setText(r.memoryTypes[19].name, "Tools");
    setText(r.memoryTypes[19].wildcards, "*.PT;*.TT");
    r.memoryTypes[19].iconIndex = 45;
    return r;
}

TEST(SettingsFileLayout, EveryFieldIsWrittenAtItsOffsetAndReadBack) {
    ScratchFolder folder;
    RecordingMessages messages;
    const auto file = folder / "QelVeva.cfg";
    SettingsStore store(file, "/opt/qel", messages);
    store.configs()[7] = distinctRecord();
    store.currentConfig() = 7;
    ASSERT_TRUE(store.write());

    const std::string bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 18684u);
    const std::size_t at = 7 * 1868;
    EXPECT_EQ(valueAt<uint32_t>(bytes, at + 0), 1u);
    EXPECT_EQ(textAt(bytes, at + 4), "Lathe 3");
    EXPECT_EQ(valueAt<int32_t>(bytes, at + 32), 2);
    EXPECT_EQ(valueAt<int16_t>(bytes, at + 36), 3);
    EXPECT_EQ(valueAt<int16_t>(bytes, at + 38), 1023);
    EXPECT_EQ(valueAt<uint32_t>(bytes, at + 40), 115200u);
    EXPECT_EQ(valueAt<uint8_t>(bytes, at + 44), 1);
    EXPECT_EQ(valueAt<uint8_t>(bytes, at + 45), 0x3A);
    EXPECT_EQ(valueAt<int16_t>(bytes, at + 46), 999);
    EXPECT_EQ(valueAt<uint32_t>(bytes, at + 48), 0x22u);
    EXPECT_EQ(valueAt<int16_t>(bytes, at + 52), 127);
    EXPECT_EQ(valueAt<int16_t>(bytes, at + 54), 77);
    EXPECT_EQ(valueAt<int16_t>(bytes, at + 56), 19002);
    EXPECT_EQ(valueAt<uint16_t>(bytes, at + 58), 40000);  // -25536 as unsigned 16 bits
    EXPECT_EQ(textAt(bytes, at + 60), "/srv/nc/lathe3");
    EXPECT_EQ(valueAt<int32_t>(bytes, at + 320), 2);
    EXPECT_EQ(textAt(bytes, at + 324), "vi");
    EXPECT_EQ(textAt(bytes, at + 454), "cnc-lathe3.local");
    EXPECT_EQ(valueAt<uint32_t>(bytes, at + 584), 0xC0A80114u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[at + 584]), 0x14);  // little-endian
    EXPECT_EQ(valueAt<uint32_t>(bytes, at + 588), 1u);
    EXPECT_EQ(textAt(bytes, at + 588 + 4), "Macros");
    EXPECT_EQ(textAt(bytes, at + 588 + 32), "*.MM");
    EXPECT_EQ(valueAt<int32_t>(bytes, at + 588 + 60), 5);
    EXPECT_EQ(textAt(bytes, at + 588 + 19 * 64 + 4), "Tools");
    EXPECT_EQ(valueAt<int32_t>(bytes, at + 588 + 19 * 64 + 60), 45);
    EXPECT_EQ(valueAt<uint32_t>(bytes, 18680), 7u);

    SettingsStore reread(file, "/opt/qel", messages);
    ASSERT_TRUE(reread.loadedFromFile());
    EXPECT_EQ(std::memcmp(&reread.configs()[7], &store.configs()[7], sizeof(ConfigRecord)), 0);
    EXPECT_EQ(reread.currentConfig(), 7u);
    EXPECT_EQ(messages.shown.size(), 1u);  // only the first store found no file
}

TEST(ConfigDefaults, DefaultSlotConnectsAtStartWithOneSecondTimeout) {
    const ConfigRecord d = defaultConfig("/opt/qel");
    EXPECT_EQ(d.inUse, 1u);
    EXPECT_EQ(textOf(d.name), "Default");
    EXPECT_EQ(d.linkType, 0);
    EXPECT_EQ(d.comPort, 1);
    EXPECT_EQ(d.baudRate, 0u);
    EXPECT_EQ(d.options, 0x0F);
    EXPECT_EQ(d.timeout, 1);
    EXPECT_EQ(d.retries, 5);
    EXPECT_EQ(d.serverPort, 19000);
    EXPECT_EQ(d.destinationPort, 19000);
    EXPECT_EQ(textOf(d.defaultLocalFolder), "/opt/qel");
    EXPECT_EQ(textOf(d.editor), "NOTEPAD");
    EXPECT_EQ(textOf(d.ipAddressText), "127.0.0.1");
    EXPECT_EQ(d.ipAddressValue, 0x7F000001u);
    EXPECT_EQ(textOf(d.memoryTypes[0].name), "Part Programs");
    EXPECT_EQ(textOf(d.memoryTypes[0].wildcards), "*.PM;*.PP;*.PT");
    EXPECT_EQ(d.memoryTypes[0].iconIndex, 6);
    for (int i = 1; i < kMemoryTypeSlots; ++i) EXPECT_EQ(d.memoryTypes[i].inUse, 0u) << i;
}

TEST(ConfigDefaults, NewConfigurationDiffersFromDefaultOnlyWhereIntended) {
    ConfigRecord fresh = newConfiguration("Mill 2", "/home/op/nc");
    EXPECT_EQ(fresh.options, 0x0B);
    EXPECT_EQ(fresh.timeout, 5);
    EXPECT_EQ(textOf(fresh.name), "Mill 2");
    EXPECT_EQ(textOf(fresh.defaultLocalFolder), "/home/op/nc");
    EXPECT_EQ(textOf(fresh.memoryTypes[0].name), "Macros");
    EXPECT_EQ(textOf(fresh.memoryTypes[0].wildcards), "*.MM");
    EXPECT_EQ(fresh.memoryTypes[0].iconIndex, 5);
    EXPECT_EQ(textOf(fresh.memoryTypes[1].name), "Part Programs");
    EXPECT_EQ(textOf(fresh.memoryTypes[1].wildcards), "*.PM");
    EXPECT_EQ(fresh.memoryTypes[2].inUse, 0u);

    // With the intended differences put back, the rest is byte for byte "Default".
    ConfigRecord d = defaultConfig("/home/op/nc");
    setText(fresh.name, "Default");
    fresh.options = d.options;
    fresh.timeout = d.timeout;
    std::memcpy(fresh.memoryTypes, d.memoryTypes, sizeof d.memoryTypes);
    EXPECT_EQ(std::memcmp(&fresh, &d, sizeof d), 0);
}

TEST(ConfigDefaults, CopyOfDefaultTakesEverythingButTheName) {
    ConfigRecord d = distinctRecord();
    const ConfigRecord copy = copyOfDefault(d, "Copy");
    EXPECT_EQ(textOf(copy.name), "Copy");
    setText(d.name, "Copy");
    EXPECT_EQ(std::memcmp(&copy, &d, sizeof d), 0);
}

TEST(ConfigDefaults, BuiltInListHasDefaultAndCommandLineOnly) {
    const SettingsImage image = builtInConfigList("/opt/qel");
    EXPECT_EQ(image.currentConfig, 0u);
    EXPECT_EQ(textOf(image.configs[1].name), "Command line");
    ConfigRecord slot1 = image.configs[1];
    setText(slot1.name, "Default");
    EXPECT_EQ(std::memcmp(&slot1, &image.configs[0], sizeof slot1), 0);
    for (int slot = 2; slot < kConfigSlots; ++slot)
        EXPECT_EQ(image.configs[slot].inUse, 0u) << slot;
}

TEST(FixedText, LongTextIsCutToTheFieldAndAlwaysTerminated) {
    char field[28];
    std::memset(field, 'x', sizeof field);
    setText(field, std::string(40, 'A'));
    EXPECT_EQ(textOf(field), std::string(27, 'A'));
    EXPECT_EQ(field[27], '\0');
    setText(field, "ab");
    EXPECT_EQ(textOf(field), "ab");
    EXPECT_EQ(field[26], '\0');  // no remains of the longer text behind it
}

}  // namespace
}  // namespace qel
