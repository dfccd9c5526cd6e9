// The settings pages' rules without a window: the Select, Communications, CNC Folders and
// Options pages over a block of ten configurations, and the sheet's page exchange.
#include <gtest/gtest.h>

#include <cablor.h>

#include <array>
#include <string>

#include "ConfigTestSupport.h"
#include "config/CncFoldersPageModel.h"
#include "config/CommunicationsPageModel.h"
#include "config/ConfigDefaults.h"
#include "config/ConfigRules.h"
#include "config/FixedText.h"
#include "config/OptionsPageModel.h"
#include "config/SelectPageModel.h"
#include "config/SettingsSheetModel.h"

namespace qel {
namespace {

class PagesTest : public ::testing::Test {
  protected:
    PagesTest() {
        const SettingsImage image = builtInConfigList("/opt/qel");
        std::copy(std::begin(image.configs), std::end(image.configs), configs.begin());
    }
    ConfigRecord& selected() { return configs[current]; }
    std::span<ConfigRecord, kConfigSlots> block() { return configs; }

    std::array<ConfigRecord, kConfigSlots> configs;
    uint32_t current = 0;
};

// --- Select page ---------------------------------------------------------------------------

using SelectPageTest = PagesTest;

TEST_F(SelectPageTest, NewTakesTheFirstFreeSlotWithTheNewConfigurationDefaults) {
    configs[2] = newConfiguration("Lathe", "/nc");
    SelectPageModel page(block(), current, "/home/op/nc");
    page.Fill();
    EXPECT_EQ(page.selected(), 0);
    EXPECT_FALSE(page.newEnabled());
    EXPECT_TRUE(page.deleteEnabled());
    page.Typing();
    EXPECT_TRUE(page.newEnabled());
    EXPECT_TRUE(page.copyDefaultEnabled());
    EXPECT_FALSE(page.deleteEnabled());
    ASSERT_TRUE(page.New("Mill"));

    const ConfigRecord& made = configs[3];
    EXPECT_EQ(textOf(made.name), "Mill");
    EXPECT_EQ(made.options, 0x0B);  // no connect at start
    EXPECT_EQ(made.timeout, 5);
    EXPECT_EQ(textOf(made.defaultLocalFolder), "/home/op/nc");
    ASSERT_EQ(memoryTypeCount(made), 2);
    EXPECT_EQ(textOf(made.memoryTypes[0].name), "Macros");
    EXPECT_EQ(textOf(made.memoryTypes[0].wildcards), "*.MM");
    EXPECT_EQ(made.memoryTypes[0].iconIndex, 5);
    EXPECT_EQ(textOf(made.memoryTypes[1].wildcards), "*.PM");
    ASSERT_EQ(page.items().size(), 4u);
    EXPECT_EQ(page.items().back().slot, 3u);
    EXPECT_EQ(page.selected(), 3);
    EXPECT_EQ(page.caption(), "QEL Settings - Mill");
    EXPECT_FALSE(page.newEnabled());
    // The selection is the operator's choice only once the page is taken over.
    EXPECT_EQ(current, 0u);
    page.TakeOver();
    EXPECT_EQ(current, 3u);
}

TEST_F(SelectPageTest, CopyDefaultCopiesEverythingButTheName) {
    configs[0].comPort = 3;
    configs[0].baudRate = 9600;
    SelectPageModel page(block(), current, "/tmp");
    page.Fill();
    page.Typing();
    ASSERT_TRUE(page.CopyDefault("Copy"));
    ConfigRecord expected = configs[0];
    setText(expected.name, "Copy");
    EXPECT_EQ(std::memcmp(&configs[2], &expected, sizeof expected), 0);
}

TEST_F(SelectPageTest, TenConfigurationsAtMost) {
    for (int slot = 2; slot < kConfigSlots; ++slot)
        configs[slot] = newConfiguration("C" + std::to_string(slot), "/");
    SelectPageModel page(block(), current, "/");
    page.Fill();
    page.Typing();
    EXPECT_FALSE(page.newEnabled());
    EXPECT_FALSE(page.copyDefaultEnabled());
    EXPECT_FALSE(page.New("Eleventh"));
    EXPECT_FALSE(page.CopyDefault("Eleventh"));
    EXPECT_EQ(page.items().size(), 10u);
}

TEST_F(SelectPageTest, NamesAreCutTo27CharactersWithoutSplittingACharacter) {
    SelectPageModel page(block(), current, "/");
    page.Fill();
    EXPECT_TRUE(page.New(std::string(27, 'a')));
    EXPECT_TRUE(page.New(std::string(28, 'b')));
    EXPECT_TRUE(page.New("Dreh maschine M\xC3\xBCller 12 \xC3\xA4"));  // 27 bytes: fits
    // 26 ASCII bytes and a two-byte character: the character does not fit and goes whole.
    EXPECT_TRUE(page.New(std::string(26, 'x') + "\xC3\xA9"));
    EXPECT_FALSE(page.New(""));  // nothing to tell it by in the list
    EXPECT_FALSE(page.New("   "));
    EXPECT_EQ(textOf(configs[2].name), std::string(27, 'a'));
    EXPECT_EQ(textOf(configs[3].name), std::string(27, 'b'));
    EXPECT_EQ(textOf(configs[4].name), "Dreh maschine M\xC3\xBCller 12 \xC3\xA4");
    EXPECT_EQ(textOf(configs[5].name), std::string(26, 'x'));
    EXPECT_EQ(page.items()[3].name, std::string(27, 'b'));
}

TEST_F(SelectPageTest, DeleteRefusesTheFixedSlotsAndSelectsThePreviousEntry) {
    configs[3] = newConfiguration("Three", "/");
    configs[6] = newConfiguration("Six", "/");
    current = 6;
    SelectPageModel page(block(), current, "/");
    page.Fill();
    EXPECT_EQ(page.selected(), 3);
    page.Select(0);
    EXPECT_FALSE(page.Delete());
    page.Select(1);
    EXPECT_FALSE(page.Delete());
    page.Select(-1);
    EXPECT_FALSE(page.Delete());
    EXPECT_TRUE(isUsed(configs[0]) && isUsed(configs[1]));

    // Deleting the selected configuration and pressing OK keeps the previous entry selected.
    page.Select(3);
    ASSERT_TRUE(page.Delete());
    EXPECT_FALSE(isUsed(configs[6]));
    EXPECT_EQ(page.selected(), 2);
    EXPECT_EQ(page.caption(), "QEL Settings - Three");
    page.TakeOver();
    EXPECT_EQ(current, 3u);
}

TEST_F(SelectPageTest, TypingKeepsTheSelectionForOk) {
    configs[4] = newConfiguration("Four", "/");
    current = 4;
    SelectPageModel page(block(), current, "/");
    page.Fill();
    page.Typing();
    page.TakeOver();
    EXPECT_EQ(current, 4u);
}

// --- Communications page -------------------------------------------------------------------

using CommunicationsPageTest = PagesTest;

int speedShown(const CommunicationsPageModel& page) {
    const CommunicationsControls& c = page.controls();
    return c.speed < 0
               ? -1
               : static_cast<int>(c.speeds[static_cast<std::size_t>(c.speed)].bitsPerSecond);
}

TEST_F(CommunicationsPageTest, AutodetectIsForRxa2OnlyAnd19200TakesItsPlace) {
    CommunicationsPageModel page(block(), current);
    page.Fill();  // "Default": RXA/2, autodetect
    EXPECT_EQ(page.controls().speeds.front().text, "Autodetect");
    EXPECT_EQ(page.controls().speeds.size(), 12u);
    EXPECT_EQ(speedShown(page), 0);
    page.ChooseProtocol(Protocol::DataIo);
    EXPECT_EQ(page.controls().speeds.size(), 11u);
    EXPECT_EQ(page.controls().speeds.front().text, "1200");
    EXPECT_EQ(speedShown(page), 19200);
    page.ChooseProtocol(Protocol::Rxa2);
    EXPECT_EQ(speedShown(page), 19200);  // the speed selected before, not Autodetect again
    page.ChooseSpeed(3);
    EXPECT_EQ(speedShown(page), 4800);
    page.ChooseProtocol(Protocol::DataIo);
    EXPECT_EQ(speedShown(page), 4800);
}

TEST_F(CommunicationsPageTest, APageShownForTcpGets19200WhenASerialProtocolIsChosen) {
    selected().linkType = DNC_LINK_TCP_CLIENT;
    selected().baudRate = 2400;
    CommunicationsPageModel page(block(), current);
    page.Fill();
    EXPECT_TRUE(page.controls().speeds.empty());
    EXPECT_TRUE(page.visibility().tcp);
    EXPECT_FALSE(page.visibility().line);
    page.ChooseProtocol(Protocol::Rxa2);
    EXPECT_EQ(speedShown(page), 19200);

    // Taken over without a speed list, the speed stays as stored.
    CommunicationsPageModel tcp(block(), current);
    tcp.Fill();
    tcp.TakeOver();
    EXPECT_EQ(selected().baudRate, 2400u);
}

TEST_F(CommunicationsPageTest, AutodetectGreysTheParityAndASpeedRestoresIt) {
    selected().parityMode = 1;
    CommunicationsPageModel page(block(), current);
    page.Fill();
    EXPECT_FALSE(page.controls().parityEnabled);
    EXPECT_EQ(page.controls().parity, -1);
    page.TakeOver();
    EXPECT_EQ(selected().parityMode, 1);  // left as it was
    page.ChooseSpeed(4);                  // 9600
    EXPECT_TRUE(page.controls().parityEnabled);
    EXPECT_EQ(page.controls().parity, 1);
    page.ChooseParity(0);
    page.ChooseSpeed(0);  // Autodetect again
    page.ChooseSpeed(6);
    EXPECT_EQ(page.controls().parity, 0);  // the one shown before
    page.TakeOver();
    EXPECT_EQ(selected().parityMode, 0);
    EXPECT_EQ(selected().baudRate, 19200u);
}

TEST_F(CommunicationsPageTest, TheSpeedIsFoundByTheBeginningOfItsText) {
    selected().linkType = DNC_LINK_DATAIO_XONXOFF;
    selected().baudRate = 115200;
    CommunicationsPageModel page(block(), current);
    page.Fill();
    EXPECT_EQ(speedShown(page), 115200);
    EXPECT_TRUE(page.controls().xonXoff);
    selected().baudRate = 0;  // not a DataIO speed: the first entry
    page.Fill();
    EXPECT_EQ(speedShown(page), 1200);
}

TEST_F(CommunicationsPageTest, PercentProtocolBoxAndItsTwoChoices) {
    selected().linkType = DNC_LINK_DATAIO_RTSCTS;
    CommunicationsPageModel page(block(), current);
    page.Fill();  // options 0x0F: both bits shown, and kept when nothing is touched
    EXPECT_TRUE(page.controls().percentSupport);
    EXPECT_TRUE(page.controls().percentA && page.controls().percentB);
    page.TakeOver();
    EXPECT_EQ(selected().options & 0x03, 0x03);

    page.SetPercentSupport(false);
    EXPECT_FALSE(page.percentChoicesEnabled());
    page.ChoosePercentA();  // disabled: no effect
    page.TakeOver();
    EXPECT_EQ(selected().options & 0x03, 0);
    page.SetPercentSupport(true);
    EXPECT_FALSE(page.controls().percentA);
    EXPECT_TRUE(page.controls().percentB);
    page.ChoosePercentA();
    page.TakeOver();
    EXPECT_EQ(selected().options & 0x03, OPT_PERCENT_A);
    EXPECT_EQ(selected().options & ~0x03, 0x0C);  // the other bits untouched
}

TEST_F(CommunicationsPageTest, CheckBoxesOfTheLinkFlagsAreInverted) {
    selected().linkFlags = 0xFFFFFFFF;  // a damaged record: taken as 0 first
    CommunicationsPageModel page(block(), current);
    page.Fill();
    EXPECT_FALSE(page.controls().portSharing);
    EXPECT_FALSE(page.controls().versionCheck);
    page.controls().portSharing = true;
    page.controls().versionCheck = false;
    page.TakeOver();
    EXPECT_EQ(selected().linkFlags, static_cast<uint32_t>(DNC_FLAG_NO_LOGIN));
    page.Fill();
    page.controls().portSharing = false;
    page.controls().versionCheck = true;
    page.TakeOver();
    EXPECT_EQ(selected().linkFlags, static_cast<uint32_t>(DNC_FLAG_RESERVE));
}

TEST_F(CommunicationsPageTest, NumbersAreStoredAsTypedInto16Bits) {
    EXPECT_EQ(numberFieldValue("19000"), 19000);
    EXPECT_EQ(numberFieldValue("40000"), -25536);   // the link refuses it later
    EXPECT_EQ(numberFieldValue("-25536"), -25536);  // what a stored negative port shows
    EXPECT_EQ(numberFieldValue("9999999999999999999"), static_cast<int16_t>(0xFFFF));
    EXPECT_EQ(numberFieldValue("99999999999999999999"), 0);  // 20 characters
    EXPECT_EQ(numberFieldValue(""), 0);
    EXPECT_EQ(numberFieldValue("12a"), 0);

    selected().linkType = DNC_LINK_TCP_CLIENT;
    CommunicationsPageModel page(block(), current);
    page.Fill();
    page.controls().destinationPort = "40000";
    page.controls().timeout = "300";  // beyond the spin's arrows, stored all the same
    page.controls().ipAddress = std::string(140, '1');
    page.TakeOver();
    EXPECT_EQ(selected().destinationPort, -25536);
    EXPECT_EQ(selected().timeout, 300);
    EXPECT_EQ(textOf(selected().ipAddressText).size(), 129u);
    EXPECT_EQ(selected().linkType, DNC_LINK_TCP_CLIENT);
}

TEST_F(CommunicationsPageTest, VisibilityFollowsTheProtocol) {
    const CommunicationsVisibility rxa2 = visibilityFor(Protocol::Rxa2);
    const CommunicationsVisibility dataIo = visibilityFor(Protocol::DataIo);
    const CommunicationsVisibility tcp = visibilityFor(Protocol::Tcp);
    EXPECT_TRUE(rxa2.line && rxa2.rxa2Timing && rxa2.versionCheck && rxa2.notify &&
                rxa2.portSharing && !rxa2.dataIo && !rxa2.tcp);
    EXPECT_TRUE(dataIo.line && dataIo.dataIo && dataIo.portSharing && !dataIo.rxa2Timing &&
                !dataIo.versionCheck && !dataIo.notify && !dataIo.tcp);
    EXPECT_TRUE(tcp.tcp && tcp.versionCheck && tcp.notify && !tcp.line && !tcp.dataIo &&
                !tcp.rxa2Timing && !tcp.portSharing);
}

TEST_F(CommunicationsPageTest, TheDeviceOfAPortFollowsTheEnvironment) {
    testing::EnvironmentVariable com2("CABLOR_COM2", "/dev/ttyUSB0");
    testing::EnvironmentVariable com1("CABLOR_COM1", nullptr);
    EXPECT_EQ(CommunicationsPageModel::portDevice(0), "/dev/ttyS0");
    EXPECT_EQ(CommunicationsPageModel::portDevice(1), "/dev/ttyUSB0");
}

// --- CNC Folders page ----------------------------------------------------------------------

class CncFoldersPageTest : public PagesTest {
  protected:
    CncFoldersPageTest() { configs[0] = newConfiguration("Default", "/"); }
};

TEST_F(CncFoldersPageTest, AddKeepsTheTableSortedByName) {
    CncFoldersPageModel page(block(), current);
    page.Fill();
    EXPECT_EQ(page.selected(), 0);
    EXPECT_EQ(page.wildcards(), "*.MM");
    page.Typing();
    EXPECT_TRUE(page.addEnabled());
    EXPECT_FALSE(page.detailsEnabled());
    ASSERT_TRUE(page.Add("Options"));
    EXPECT_EQ(page.names(), (std::vector<std::string>{"Macros", "Options", "Part Programs"}));
    EXPECT_EQ(page.selected(), 1);
    EXPECT_EQ(textOf(selected().memoryTypes[1].wildcards), "*.PM");
    EXPECT_EQ(selected().memoryTypes[1].iconIndex, 6);
    EXPECT_EQ(selected().memoryTypes[2].iconIndex, 6);
    EXPECT_EQ(textOf(selected().memoryTypes[2].name), "Part Programs");
    EXPECT_TRUE(page.detailsEnabled());
    EXPECT_FALSE(page.addEnabled());
    ASSERT_TRUE(page.Add("AAA"));
    ASSERT_TRUE(page.Add("zzz"));  // byte order: lower case after upper case
    EXPECT_EQ(page.names().front(), "AAA");
    EXPECT_EQ(page.names().back(), "zzz");
    EXPECT_FALSE(page.Add(""));
}

TEST_F(CncFoldersPageTest, WildcardsAndIconAreStoredAtOnce) {
    CncFoldersPageModel page(block(), current);
    page.Fill();
    page.Select(1);
    page.EditWildcards("*.PM;*.PP;*.PT;*.P1;*.P2;*.P3;*.P4");  // 34 characters
    EXPECT_EQ(textOf(selected().memoryTypes[1].wildcards), "*.PM;*.PP;*.PT;*.P1;*.P2;*.");
    for (int i = 6; i < kMaxIconIndex; ++i) EXPECT_TRUE(page.SpinUp());
    EXPECT_FALSE(page.SpinUp());
    EXPECT_EQ(selected().memoryTypes[1].iconIndex, 45);
    page.Select(0);
    for (int i = 5; i > 0; --i) EXPECT_TRUE(page.SpinDown());
    EXPECT_FALSE(page.SpinDown());
    EXPECT_EQ(selected().memoryTypes[0].iconIndex, 0);
}

TEST_F(CncFoldersPageTest, DeletingTheLastMemoryTypeLeavesNothingToEdit) {
    CncFoldersPageModel page(block(), current);
    page.Fill();
    page.Select(1);
    ASSERT_TRUE(page.Delete());
    EXPECT_EQ(page.selected(), 0);  // the previous one, as the last was removed
    ASSERT_TRUE(page.Delete());
    EXPECT_EQ(page.selected(), -1);
    EXPECT_FALSE(page.detailsEnabled());
    EXPECT_FALSE(page.Delete());
    const ConfigRecord before = selected();
    page.EditWildcards("*.X");
    EXPECT_FALSE(page.SpinUp());
    EXPECT_FALSE(page.SpinDown());
    EXPECT_EQ(std::memcmp(&before, &selected(), sizeof before), 0);
    EXPECT_EQ(memoryTypeCount(selected()), 0);
}

TEST_F(CncFoldersPageTest, TwentyMemoryTypesAtMost) {
    CncFoldersPageModel page(block(), current);
    page.Fill();
    for (int i = 2; i < kMemoryTypeSlots; ++i) ASSERT_TRUE(page.Add("T" + std::to_string(i + 10)));
    page.Typing();
    EXPECT_FALSE(page.addEnabled());
    EXPECT_FALSE(page.Add("One more"));
    EXPECT_EQ(memoryTypeCount(selected()), kMemoryTypeSlots);
}

// --- Options page --------------------------------------------------------------------------

class OptionsPageTest : public PagesTest {
  protected:
    OptionsPageTest() { configs[0] = newConfiguration("Default", "/"); }
};

TEST_F(OptionsPageTest, CncFolderSpinGoesRoundThroughTheMemoryTypes) {
    selected().defaultCncFolder = 2;
    OptionsPageModel page(block(), current);
    page.Fill();
    EXPECT_EQ(page.cncFolderText(), "Part Programs");
    page.SpinUp();
    EXPECT_EQ(page.cncFolderText(), "CNC");
    page.SpinUp();
    EXPECT_EQ(page.cncFolderText(), "Macros");
    page.SpinDown();
    page.SpinDown();
    EXPECT_EQ(page.cncFolder(), 2);
    page.TakeOver();
    EXPECT_EQ(selected().defaultCncFolder, 2);

    selected().defaultCncFolder = 5;  // names a free entry
    page.Fill();
    EXPECT_EQ(page.cncFolder(), 0);
}

TEST_F(OptionsPageTest, CncFolderSpinWithoutMemoryTypesStaysAtCnc) {
    selected().memoryTypes[0] = MemoryTypeEntry{};
    selected().memoryTypes[1] = MemoryTypeEntry{};
    OptionsPageModel page(block(), current);
    page.Fill();
    page.SpinUp();
    EXPECT_EQ(page.cncFolderText(), "CNC");
    page.SpinDown();
    EXPECT_EQ(page.cncFolderText(), "CNC");
    EXPECT_EQ(page.cncFolder(), 0);
}

TEST_F(OptionsPageTest, TakeOverSetsTheTextsAndTheThreeOptionBitsOnly) {
    OptionsPageModel page(block(), current);
    page.Fill();
    EXPECT_FALSE(page.controls().connectAtStart);
    page.controls().connectAtStart = true;
    page.controls().remoteAtStart = true;
    page.controls().ignoreEmpty = true;
    page.controls().editor = "gedit --new-window";
    page.controls().localFolder = "/srv/nc/";
    page.TakeOver();
    EXPECT_EQ(selected().options,
              0x0B | OPT_CONNECT_AT_START | OPT_REMOTE_AT_START | OPT_IGNORE_EMPTY);
    EXPECT_EQ(textOf(selected().editor), "gedit --new-window");
    // Browse starts from the folder without its trailing separator.
    page.controls().localFolder = "/srv/nc/";
    EXPECT_EQ(page.StoreFolderForBrowse(), "/srv/nc");
}

// --- The sheet -----------------------------------------------------------------------------

TEST(SettingsSheetModelTest, PagesShowTheConfigurationChosenOnTheSelectPage) {
    testing::ScratchFolder folder;
    testing::RecordingMessages messages;
    SettingsStore store(folder / "QelVeva.cfg", "/opt/qel", messages);
    SettingsSheetModel sheet(store, "/work");
    sheet.Activate(SettingsPage::Select);
    sheet.select().Typing();
    ASSERT_TRUE(sheet.select().New("Mill"));
    sheet.Activate(SettingsPage::Options);  // Select is left: the new one is selected
    EXPECT_EQ(store.currentConfig(), 2u);
    EXPECT_FALSE(sheet.options().controls().connectAtStart);
    sheet.options().controls().connectAtStart = true;
    sheet.Activate(SettingsPage::CncFolders);
    EXPECT_EQ(sheet.cncFolders().names().size(), 2u);
    ASSERT_TRUE(sheet.cncFolders().Delete());
    sheet.Activate(SettingsPage::Communications);
    sheet.communications().ChooseProtocol(Protocol::Tcp);
    sheet.TakeOverActive();  // OK
    const ConfigRecord& mill = store.configs()[2];
    EXPECT_EQ(mill.linkType, DNC_LINK_TCP_CLIENT);
    EXPECT_NE(mill.options & OPT_CONNECT_AT_START, 0);
    EXPECT_EQ(memoryTypeCount(mill), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "QelVeva.cfg"));  // written by the caller
}

// --- Texts of the record -------------------------------------------------------------------

TEST(FixedTextTest, Utf8IsCutBetweenCharactersOtherBytesAtTheLimit) {
    EXPECT_TRUE(isUtf8("M\xC3\xBCller"));
    EXPECT_FALSE(isUtf8("M\xFCller"));                  // Latin-1
    EXPECT_FALSE(isUtf8("\xC0\xAF"));                   // overlong
    EXPECT_FALSE(isUtf8("\xED\xA0\x80"));               // surrogate
    EXPECT_FALSE(isUtf8("\xE2\x82"));                   // cut short
    EXPECT_EQ(fittingLength("ab\xE2\x82\xAC", 4), 2u);  // the euro sign does not fit
    EXPECT_EQ(fittingLength("ab\xE2\x82\xAC", 5), 5u);
    EXPECT_EQ(fittingLength("abc\xFC\xFC", 4), 4u);  // not UTF-8: bytes
    char field[6];
    setText(field, "ab\xF0\x9F\x94\xA7");  // a four-byte character in five bytes of room
    EXPECT_EQ(textOf(field), "ab");
}

}  // namespace
}  // namespace qel
