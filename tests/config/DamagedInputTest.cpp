// Damaged settings files and start-up files: random, truncated and hostile bytes must load
// without reading past a field (run under the sanitizers) and leave every reader in range.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "ConfigTestSupport.h"
#include "cli/ConfigCommand.h"
#include "config/ConfigDefaults.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"
#include "shell/CommandLineInfoEx.h"
#include "shell/StartupFile.h"

namespace qel {
namespace {

using testing::EnvironmentVariable;
using testing::readBytes;
using testing::RecordingMessages;
using testing::ScratchFolder;
using testing::writeBytes;

std::string randomBytes(std::mt19937& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

template <std::size_t N>
void expectTerminated(const char (&field)[N]) {
    EXPECT_LT(std::strlen(field), N);
}

void expectReadersStayInRange(const ConfigRecord& record) {
    expectTerminated(record.name);
    expectTerminated(record.defaultLocalFolder);
    expectTerminated(record.editor);
    expectTerminated(record.ipAddressText);
    const int count = memoryTypeCount(record);
    EXPECT_LE(count, kMemoryTypeSlots);
    const int level = cncFolderLevel(record);
    EXPECT_TRUE(level >= 0 && level <= count);
    for (const MemoryTypeEntry& entry : record.memoryTypes) {
        expectTerminated(entry.name);
        expectTerminated(entry.wildcards);
        EXPECT_TRUE(iconIndexOf(entry) >= 0 && iconIndexOf(entry) <= kMaxIconIndex);
    }
}

TEST(DamagedSettingsFile, RandomContentLoadsSafelyAndSurvivesAWrite) {
    ScratchFolder folder;
    const auto file = folder / "QelVeva.cfg";
    EnvironmentVariable cfg("QELVEVA_CFG", file.c_str());
    std::mt19937 random(7);
    RecordingMessages messages;
    for (int round = 0; round < 100; ++round) {
        writeBytes(file, randomBytes(random, kSettingsFileSize));
        SettingsStore store(file, "/opt/qel", messages);
        ASSERT_TRUE(store.loadedFromFile());
        ConfigRecord current;
        store.GetCurrentConfig(current, false);
        EXPECT_LT(store.currentConfig(), static_cast<uint32_t>(kConfigSlots));
        for (const ConfigRecord& record : store.configs()) expectReadersStayInRange(record);

        std::ostringstream out, err;
        EXPECT_EQ(runConfigCommand({"list"}, out, err), 0);
        EXPECT_EQ(runConfigCommand({"show"}, out, err), 0);

        // Written and read again, the used slots come back exactly as they were loaded.
        ASSERT_TRUE(store.write());
        SettingsStore reread(file, "/opt/qel", messages);
        for (int slot = 0; slot < kConfigSlots; ++slot) {
            if (!isUsed(store.configs()[slot])) continue;
            EXPECT_EQ(
                std::memcmp(&reread.configs()[slot], &store.configs()[slot], sizeof(ConfigRecord)),
                0);
        }
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DamagedSettingsFile, TruncatedFilesGiveTheBuiltInList) {
    ScratchFolder folder;
    const auto file = folder / "QelVeva.cfg";
    std::mt19937 random(11);
    const std::string whole = randomBytes(random, kSettingsFileSize);
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{1868},
                                     kSettingsFileSize - 4, kSettingsFileSize - 1}) {
        writeBytes(file, whole.substr(0, length));
        RecordingMessages messages;
        SettingsStore store(file, "/opt/qel", messages);
        EXPECT_FALSE(store.loadedFromFile()) << length;
        EXPECT_EQ(messages.shown.size(), 1u) << length;
        EXPECT_EQ(textOf(store.configs()[0].name), "Default");
        EXPECT_EQ(readBytes(file).size(), length) << "nothing written on load";
    }
}

TEST(DamagedSettingsFile, TextsWithoutNulAreCutToTheirField) {
    ScratchFolder folder;
    const auto file = folder / "QelVeva.cfg";
    writeBytes(file, std::string(kSettingsFileSize, 'Z'));
    RecordingMessages messages;
    SettingsStore store(file, "/opt/qel", messages);
    ConfigRecord current;
    store.GetCurrentConfig(current, false);
    EXPECT_EQ(store.currentConfig(), 0u);  // 0x5A5A5A5A is no slot
    EXPECT_EQ(textOf(current.name), std::string(27, 'Z'));
    EXPECT_EQ(textOf(current.editor), std::string(129, 'Z'));
    EXPECT_EQ(textOf(current.memoryTypes[19].wildcards), std::string(27, 'Z'));
}

TEST(MemoryTypeTable, GapsAndOutOfRangeIndicesAreHeldInRange) {
    ConfigRecord record = defaultConfig("/opt/qel");
    record.memoryTypes[2] = record.memoryTypes[0];  // behind a gap at entry 1
    record.memoryTypes[0].iconIndex = -7;
    record.memoryTypes[2].iconIndex = 99;
    EXPECT_EQ(memoryTypeCount(record), 1);
    EXPECT_EQ(iconIndexOf(record.memoryTypes[0]), 0);
    EXPECT_EQ(iconIndexOf(record.memoryTypes[2]), 45);
    for (const int32_t stored : {-1, 2, 3, 21, INT32_MAX}) {
        record.defaultCncFolder = stored;
        EXPECT_EQ(cncFolderLevel(record), 0) << stored;
    }
    record.defaultCncFolder = 1;
    EXPECT_EQ(cncFolderLevel(record), 1);
}

TEST(DamagedStartupFile, RandomBytesParseSafely) {
    std::mt19937 random(3);
    const std::string alphabet = "Connect=Caption \t;\"\r\n\0xyz19";
    for (int round = 0; round < 300; ++round) {
        std::string text = randomBytes(random, random() % 2048);
        // Half the rounds from characters the parser reacts to, so that it gets past keywords.
        if (round % 2)
            for (char& c : text) c = alphabet[random() % alphabet.size()];
        StartupSettings settings;
        parseStartupText(text, settings);
        EXPECT_LE(settings.caption.value_or("").size(), text.size());
        EXPECT_LE(settings.ipAddress.value_or("").size(), text.size());
    }
}

TEST(DamagedStartupFile, HugeLineWithoutNewlineAndBinaryFileAreReadSafely) {
    ScratchFolder folder;
    const auto file = folder / "startup.ini";
    writeBytes(file, "Caption = \"" + std::string(3 << 20, 'M'));  // longer than what is read
    StartupSettings settings;
    EXPECT_EQ(readStartupFile(file.string(), settings), 0);
    ASSERT_TRUE(settings.caption);
    EXPECT_EQ(settings.caption->size(), kStartupFileLimit - 11);

    std::mt19937 random(5);
    writeBytes(file, randomBytes(random, 65536));
    RecordingMessages messages;
    CCommandLineInfoEx info(messages);
    const std::string path = file.string();
    const char* argv[] = {"QelVeva", path.c_str()};
    info.ParseCommandLine(2, argv);
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace qel
