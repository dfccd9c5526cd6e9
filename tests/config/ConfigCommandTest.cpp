// qel config list / show / select against a settings file named by QELVEVA_CFG.
#include <gtest/gtest.h>

#include <sstream>

#include "ConfigTestSupport.h"
#include "cli/ConfigCommand.h"

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

}  // namespace
}  // namespace qel
