// qel config list / show / select against a settings file named by QELVEVA_CFG.
#include <gtest/gtest.h>

#include <cablor.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "ConfigTestSupport.h"
#include "cli/ConfigCommand.h"
#include "config/ConfigRecord.h"
#include "config/FixedText.h"

namespace qel {
namespace {

using testing::EnvironmentVariable;
using testing::ScratchFolder;

class ConfigCommandTest : public ::testing::Test {
  protected:
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return runConfigCommand(args, out, err);
    }

    ScratchFolder folder;
    std::filesystem::path file = folder / "QelVeva.cfg";
    EnvironmentVariable cfg{"QELVEVA_CFG", file.c_str()};
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ConfigCommandTest, ListWithoutFileShowsResetMessageAndWritesNothing) {
    EXPECT_EQ(run({"list"}), 0);
    EXPECT_EQ(out.str(), "0* Default\n1 Command line\n");
    EXPECT_EQ(err.str(),
              "QEL Settings: Failed to open settings file, resetting to the default value.\n");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ConfigCommandTest, ShowPrintsEveryFieldOfTheSelectedConfiguration) {
    EXPECT_EQ(run({"show"}), 0);
    const std::string shown = out.str();
    for (const char* line : {"inUse=1\n",
                             "name=Default\n",
                             "linkType=0\n",
                             "comPort=1\n",
                             "leaderTrailerSize=0\n",
                             "baudRate=0\n",
                             "parityMode=0\n",
                             "options=15\n",
                             "sendDelay=0\n",
                             "linkFlags=0\n",
                             "timeout=1\n",
                             "retries=5\n",
                             "serverPort=19000\n",
                             "destinationPort=19000\n",
                             "defaultLocalFolder=",
                             "defaultCncFolder=0\n",
                             "editor=NOTEPAD\n",
                             "ipAddressText=127.0.0.1\n",
                             "ipAddressValue=2130706433\n",
                             "memoryTypes[0]=Part Programs|*.PM;*.PP;*.PT|6\n"})
        EXPECT_NE(shown.find(line), std::string::npos) << line;
    EXPECT_EQ(shown.find("memoryTypes[1]"), std::string::npos);
}

TEST_F(ConfigCommandTest, SelectWritesTheFileAndListMarksTheSelection) {
    EXPECT_EQ(run({"select", "Command line"}), 0);
    EXPECT_EQ(std::filesystem::file_size(file), 18684u);
    EXPECT_EQ(run({"list"}), 0);
    EXPECT_EQ(out.str(), "0 Default\n1* Command line\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(run({"show"}), 0);
    EXPECT_NE(out.str().find("name=Command line\n"), std::string::npos);
}

TEST_F(ConfigCommandTest, UnknownNameFailsWithoutWriting) {
    EXPECT_EQ(run({"select", "Lathe"}), 1);
    EXPECT_EQ(run({"show", "Lathe"}), 1);
    EXPECT_NE(err.str().find("\"Lathe\""), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ConfigCommandTest, SelectReportsAFileThatCannotBeWritten) {
    testing::writeBytes(folder / "plain", "");
    EnvironmentVariable unwritable("QELVEVA_CFG", (folder / "plain/QelVeva.cfg").c_str());
    EXPECT_EQ(run({"select", "Default"}), 1);
    EXPECT_NE(err.str().find("QEL Settings: Failed to save the settings.\n"), std::string::npos);
}

TEST_F(ConfigCommandTest, WrongWordsAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"bogus"}, {"select"}, {"list", "extra"}, {"show", "a", "b"}}) {
        EXPECT_EQ(run(args), 2);
        EXPECT_NE(err.str().find("usage:"), std::string::npos);
    }
}

// --- new, copy, delete, set ----------------------------------------------------------------

class ConfigEditCommandTest : public ConfigCommandTest {
  protected:
    ConfigEditCommandTest() { EXPECT_EQ(run({"select", "Default"}), 0); }  // a file to edit
    SettingsImage image() const {
        SettingsImage read;
        const std::string bytes = testing::readBytes(file);
        EXPECT_EQ(bytes.size(), sizeof read);
        std::memcpy(&read, bytes.data(), std::min(bytes.size(), sizeof read));
        return read;
    }
    // Runs a command that must be refused: status 2, err names what, the file is unchanged.
    void expectRefused(std::vector<std::string> args, const std::string& why) {
        const std::string before = testing::readBytes(file);
        EXPECT_EQ(run(args), 2) << args.back();
        EXPECT_NE(err.str().find(why), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("nothing was written"), std::string::npos);
        EXPECT_EQ(testing::readBytes(file), before);
    }
};

TEST_F(ConfigEditCommandTest, NewAndCopyFillTheFirstFreeSlotAndLeaveTheSelection) {
    ASSERT_EQ(run({"new", "Mill 5 axes"}), 0);
    ASSERT_EQ(run({"copy", "Lathe"}), 0);
    const SettingsImage read = image();
    EXPECT_EQ(read.currentConfig, 0u);
    EXPECT_EQ(textOf(read.configs[2].name), "Mill 5 axes");
    EXPECT_EQ(read.configs[2].timeout, 5);
    EXPECT_EQ(read.configs[2].options, 0x0B);
    EXPECT_EQ(textOf(read.configs[3].name), "Lathe");
    EXPECT_EQ(read.configs[3].timeout, 1);  // from "Default"
    EXPECT_EQ(textOf(read.configs[3].memoryTypes[0].wildcards), "*.PM;*.PP;*.PT");

    expectRefused({"new", "Lathe"}, "a configuration named \"Lathe\" exists");
    expectRefused({"new", std::string(28, 'n')}, "1 to 27 characters");
    for (int i = 4; i < kConfigSlots; ++i) ASSERT_EQ(run({"new", "C" + std::to_string(i)}), 0);
    expectRefused({"copy", "Eleventh"}, "ten configurations at most");
}

TEST_F(ConfigEditCommandTest, DeleteKeepsTheFixedSlotsAndMovesTheSelectionLikeThePage) {
    ASSERT_EQ(run({"new", "Two"}), 0);
    ASSERT_EQ(run({"new", "Three"}), 0);
    ASSERT_EQ(run({"select", "Three"}), 0);
    expectRefused({"delete", "Default"}, "cannot be deleted");
    expectRefused({"delete", "Command line"}, "cannot be deleted");
    ASSERT_EQ(run({"delete", "Two"}), 0);  // not the selected one: the selection stays
    EXPECT_EQ(image().currentConfig, 3u);
    ASSERT_EQ(run({"delete", "Three"}), 0);
    EXPECT_EQ(image().currentConfig, 1u);  // the entry before it
    EXPECT_EQ(image().configs[2].inUse, 0u);
    EXPECT_EQ(run({"delete", "Three"}), 1);
}

TEST_F(ConfigEditCommandTest, SetMakesASerialConfigurationThroughThePageRules) {
    ASSERT_EQ(run({"new", "Mill"}), 0);
    ASSERT_EQ(
        run({"set", "Mill", "comPort=3", "linkType=2", "parityMode=1", "leaderTrailerSize=100",
             "percentA=1", "percentB=0", "portSharing=0", "memoryTypes[2]=Options|*.OP|12",
             "defaultCncFolder=Options", "connectAtStart=1", "editor=gedit --new-window"}),
        0)
        << err.str();
    const ConfigRecord& mill = image().configs[2];
    EXPECT_EQ(mill.linkType, 2);  // taken first, whatever the order on the line
    EXPECT_EQ(mill.comPort, 3);
    EXPECT_EQ(mill.baudRate, 19200u);  // Autodetect is for RXA/2 only
    EXPECT_EQ(mill.parityMode, 1);
    EXPECT_EQ(mill.leaderTrailerSize, 100);
    EXPECT_EQ(mill.options, OPT_PERCENT_A | OPT_CONNECT_AT_START | OPT_NOTIFY_CNC);
    EXPECT_EQ(mill.linkFlags, static_cast<uint32_t>(DNC_FLAG_RESERVE));
    // Sorted in between "Macros" and "Part Programs".
    EXPECT_EQ(textOf(mill.memoryTypes[1].name), "Options");
    EXPECT_EQ(textOf(mill.memoryTypes[1].wildcards), "*.OP");
    EXPECT_EQ(mill.memoryTypes[1].iconIndex, 12);
    EXPECT_EQ(mill.defaultCncFolder, 2);
    EXPECT_EQ(textOf(mill.editor), "gedit --new-window");

    ASSERT_EQ(run({"set", "Mill", "memoryTypes[0]="}), 0);  // "Macros" deleted
    EXPECT_EQ(textOf(image().configs[2].memoryTypes[0].name), "Options");
    ASSERT_EQ(
        run({"set", "Mill", "linkType=4", "ipAddressText=cnc-7.local", "destinationPort=19001"}),
        0);
    EXPECT_EQ(image().configs[2].destinationPort, 19001);
    EXPECT_EQ(textOf(image().configs[2].ipAddressText), "cnc-7.local");
}

TEST_F(ConfigEditCommandTest, ARefusedValueNamesTheFieldAndTheAllowedValues) {
    ASSERT_EQ(run({"new", "Mill"}), 0);
    ASSERT_EQ(run({"set", "Mill", "linkType=1"}), 0);
    expectRefused({"set", "Mill", "comPort=1", "baudRate=0"},
                  "baudRate: one of 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 48000, "
                  "57600, 115200");
    expectRefused({"set", "Mill", "linkType=3"}, "linkType: one of 0 (RXA/2)");
    expectRefused({"set", "Mill", "comPort=5"}, "comPort: one of 1, 2, 3, 4");
    expectRefused({"set", "Mill", "timeout=128"}, "timeout: a number 0 to 127");
    expectRefused({"set", "Mill", "destinationPort=40000"}, "destinationPort: a number 1 to 32767");
    expectRefused({"set", "Mill", "percentA=yes"}, "percentA: 0 or 1");
    expectRefused({"set", "Mill", "defaultCncFolder=3"},
                  "defaultCncFolder: one of 0 or CNC, 1 or Macros, 2 or Part Programs");
    expectRefused({"set", "Mill", "memoryTypes[5]=X|*.X|1"}, "memoryTypes[5]: the index is 0 to 2");
    expectRefused({"set", "Mill", "memoryTypes[0]=X|*.X|46"}, "an ICON 0 to 45");
    expectRefused({"set", "Mill", "memoryTypes[0]=X"}, "NAME|WILDCARDS|ICON");
    expectRefused({"set", "Mill", "name=Other"}, "name: cannot be set");
    expectRefused({"set", "Mill", "colour=red"}, "colour: no such field");
    expectRefused({"set", "Mill", "editor"}, "FIELD=VALUE expected");
    expectRefused({"set", "Mill", "editor=" + std::string(130, 'e')}, "at most 129 characters");
    ASSERT_EQ(run({"set", "Mill", "linkType=0", "baudRate=0"}), 0);
    expectRefused({"set", "Mill", "parityMode=1"}, "parityMode: not used while baudRate is 0");
    ASSERT_EQ(run({"set", "Mill", "linkType=4"}), 0);
    expectRefused({"set", "Mill", "baudRate=9600"}, "baudRate: not used on TCP/IP");
}

}  // namespace
}  // namespace qel
