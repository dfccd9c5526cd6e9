// Loading, selecting and writing the settings file, and the command-line configuration.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "ConfigTestSupport.h"
#include "config/CommandLineConfig.h"
#include "config/ConfigDefaults.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"

namespace qel {
namespace {

using testing::readBytes;
using testing::RecordingMessages;
using testing::ScratchFolder;
using testing::writeBytes;

class SettingsStoreTest : public ::testing::Test {
  protected:
    // A valid file with slots 0, 1 and 4 used and slot 4 selected.
    void writeValidFile(uint32_t currentConfig = 4) {
        SettingsImage image = builtInConfigList("/opt/qel");
        image.configs[4] = newConfiguration("Mill 4", "/nc");
        image.currentConfig = currentConfig;
        std::string bytes(sizeof image, '\0');
        std::memcpy(bytes.data(), &image, sizeof image);
        writeBytes(file, bytes);
    }
    bool wasReset() const {
        return messages.shown.size() == 1 && messages.shown[0].caption == "QEL Settings" &&
               messages.shown[0].text ==
                   "Failed to open settings file, resetting to the default value.";
    }

    ScratchFolder folder;
    std::filesystem::path file = folder / "QelVeva.cfg";
    RecordingMessages messages;
};

TEST_F(SettingsStoreTest, MissingFileGivesOneMessageAndDefaultWithoutWriting) {
    SettingsStore store(file, "/opt/qel", messages);
    EXPECT_FALSE(store.loadedFromFile());
    EXPECT_TRUE(wasReset());
    ConfigRecord current;
    EXPECT_TRUE(store.GetCurrentConfig(current, false));
    EXPECT_EQ(textOf(current.name), "Default");
    EXPECT_EQ(textOf(current.defaultLocalFolder), "/opt/qel");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SettingsStoreTest, FileOneByteShortOrLongIsTreatedAsMissingAndReplacedOnSave) {
    for (const int delta : {-1, +1}) {
        writeValidFile();
        std::string bytes = readBytes(file);
        bytes.resize(delta < 0 ? bytes.size() - 1 : bytes.size() + 1, '\0');
        writeBytes(file, bytes);
        messages.shown.clear();

        SettingsStore store(file, "/opt/qel", messages);
        EXPECT_TRUE(wasReset()) << delta;
        EXPECT_EQ(store.configs()[4].inUse, 0u) << delta;
        ConfigRecord current;
        EXPECT_TRUE(store.GetCurrentConfig(current, true));
        EXPECT_EQ(std::filesystem::file_size(file), 18684u) << delta;
    }
}

TEST_F(SettingsStoreTest, SelectedIndexOutOfRangeOrOnFreeSlotGivesDefault) {
    for (const uint32_t stored : {4u, 10u, 0xFFFFFFFFu, 7u}) {
        writeValidFile(stored);
        SettingsStore store(file, "/opt/qel", messages);
        ConfigRecord current;
        store.GetCurrentConfig(current, false);
        const bool usable = stored == 4;
        EXPECT_EQ(store.currentConfig(), usable ? 4u : 0u) << stored;
        EXPECT_EQ(textOf(current.name), usable ? "Mill 4" : "Default") << stored;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsStoreTest, GetCurrentConfigWithSavingWritesTheSelection) {
    writeValidFile();
    {
        SettingsStore store(file, "/opt/qel", messages);
        store.currentConfig() = 1;
        ConfigRecord current;
        EXPECT_TRUE(store.GetCurrentConfig(current, true));
        EXPECT_EQ(textOf(current.name), "Command line");
    }
    SettingsStore reread(file, "/opt/qel", messages);
    EXPECT_EQ(reread.currentConfig(), 1u);
}

TEST_F(SettingsStoreTest, FreeSlotsAreWrittenAsZeroBytes) {
    SettingsStore store(file, "/opt/qel", messages);
    store.configs()[5] = newConfiguration("Deleted", "/nc");
    store.configs()[5].inUse = 0;
    ASSERT_TRUE(store.write());
    const std::string bytes = readBytes(file);
    for (int slot = 2; slot < kConfigSlots; ++slot)
        EXPECT_EQ(bytes.substr(slot * 1868u, 1868u), std::string(1868, '\0')) << slot;
}

TEST_F(SettingsStoreTest, WriteCreatesTheFolderAndFollowsASymbolicLink) {
    const auto nested = folder / "a/b/QelVeva.cfg";
    SettingsStore store(nested, "/opt/qel", messages);
    ASSERT_TRUE(store.write());
    EXPECT_EQ(std::filesystem::file_size(nested), 18684u);

    const auto link = folder / "link.cfg";
    std::filesystem::create_symlink(nested, link);
    SettingsStore viaLink(link, "/opt/qel", messages);
    viaLink.currentConfig() = 1;
    ASSERT_TRUE(viaLink.write());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBytes(nested)[18680], 1);
}

TEST_F(SettingsStoreTest, UnwritableFileGivesTheSaveMessageAndKeepsMemory) {
    writeBytes(folder / "plain", "not a folder");
    SettingsStore store(folder / "plain/QelVeva.cfg", "/opt/qel", messages);
    store.currentConfig() = 1;
    messages.shown.clear();
    ConfigRecord current;
    EXPECT_FALSE(store.GetCurrentConfig(current, true));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "QEL Settings");
    // The text, then where and why, so the operator can do something about it.
    EXPECT_EQ(messages.shown[0].text, "Failed to save the settings.\n\n" +
                                          (folder / "plain/QelVeva.cfg").string() +
                                          ": Not a directory");
    EXPECT_EQ(textOf(current.name), "Command line");
    EXPECT_EQ(store.currentConfig(), 1u);
}

TEST_F(SettingsStoreTest, AFileChangedByAnotherProgramIsNoticedAndOurOwnWriteIsNot) {
    writeValidFile();
    SettingsStore store(file, "/opt/qel", messages);
    EXPECT_FALSE(store.changedOnDisk());
    ASSERT_TRUE(store.write());
    EXPECT_FALSE(store.changedOnDisk());

    // Replaced as this program replaces it: a new file under the old name.
    const std::string bytes = readBytes(file);
    writeBytes(folder / "other", bytes);
    std::filesystem::rename(folder / "other", file);
    EXPECT_TRUE(store.changedOnDisk());

    SettingsStore second(file, "/opt/qel", messages);
    std::filesystem::remove(file);
    EXPECT_TRUE(second.changedOnDisk());

    SettingsStore missing(file, "/opt/qel", messages);
    EXPECT_FALSE(missing.changedOnDisk());
    writeValidFile();  // another program made one meanwhile
    EXPECT_TRUE(missing.changedOnDisk());
}

TEST_F(SettingsStoreTest, ReadOnlySettingsFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
    writeValidFile();
    const std::string before = readBytes(file);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    SettingsStore store(file, "/opt/qel", messages);
    store.currentConfig() = 0;
    EXPECT_FALSE(store.write());
    EXPECT_EQ(readBytes(file), before);
}

TEST_F(SettingsStoreTest, FifoAsSettingsFileDoesNotHang) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    SettingsStore store(file, "/opt/qel", messages);
    EXPECT_TRUE(wasReset());
}

TEST_F(SettingsStoreTest, CommandLineStartRewritesSlotOneAndWritesAtOnce) {
    writeValidFile();
    SettingsStore store(file, "/opt/qel", messages);
    const std::string address = "cnc-with-a-rather-long-host-name.workshop.example";
    ConfigRecord record;
    ASSERT_TRUE(LoadCommandLineConfig(store, address, 19001, "", record));

    EXPECT_EQ(textOf(record.name), address.substr(0, 27));
    EXPECT_EQ(textOf(record.ipAddressText), address);
    EXPECT_EQ(record.linkType, 4);
    EXPECT_EQ(record.options, 0x0F);
    EXPECT_EQ(record.serverPort, 19001);
    EXPECT_EQ(record.destinationPort, 19001);
    EXPECT_EQ(record.ipAddressValue, 0u);

    SettingsStore reread(file, "/opt/qel", messages);
    EXPECT_EQ(reread.currentConfig(), 1u);
    EXPECT_EQ(std::memcmp(&reread.configs()[1], &record, sizeof record), 0);
    EXPECT_EQ(textOf(reread.configs()[4].name), "Mill 4");  // other slots kept
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsStoreTest, CommandLineStartWithCaptionAndLongAddress) {
    SettingsStore store(file, "/opt/qel", messages);
    ConfigRecord record;
    store.configs()[1].options = OPT_NOTIFY_CNC;
    LoadCommandLineConfig(store, std::string(200, 'h'), 19000, "Mill 2", record);
    EXPECT_EQ(textOf(record.name), "Mill 2");
    EXPECT_EQ(textOf(record.ipAddressText), std::string(129, 'h'));
    EXPECT_EQ(record.options, OPT_NOTIFY_CNC | OPT_CONNECT_AT_START);
}

TEST(CommandLinePort, PortsAboveTheSignedRangeComeBackNegativeAndImpossibleOnesAsZero) {
    EXPECT_EQ(portField(19000), 19000);
    EXPECT_EQ(portField(32767), 32767);
    EXPECT_EQ(portField(40000), -25536);
    EXPECT_EQ(portField(65535), -1);
    EXPECT_EQ(portField(65536 + 19000), 0);  // not wrapped onto port 19000
}

}  // namespace
}  // namespace qel
