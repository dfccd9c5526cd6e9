// Where the settings file is looked for.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ConfigTestSupport.h"
#include "config/SettingsPath.h"

namespace qel {
namespace {

using testing::EnvironmentVariable;
using testing::ScratchFolder;

TEST(SettingsPath, NameFollowsTheProgramFile) {
    EXPECT_EQ(settingsFileBeside("/opt/qel/QelVeva"), "/opt/qel/QelVeva.cfg");
    EXPECT_EQ(settingsFileBeside("/opt/qel/QelVeva.exe"), "/opt/qel/QelVeva.cfg");
    EXPECT_EQ(settingsFileBeside("/opt/qel/QelVeva."), "/opt/qel/QelVeva.cfg");
    // A dot in a folder name is not the program's extension.
    EXPECT_EQ(settingsFileBeside("/home/op/.local/bin/QelVeva"), "/home/op/.local/bin/QelVeva.cfg");
}

TEST(SettingsPath, EnvironmentVariableComesFirst) {
    EnvironmentVariable cfg("QELVEVA_CFG", "/somewhere/else.cfg");
    EXPECT_EQ(resolveSettingsFile("/opt/qel/QelVeva"), "/somewhere/else.cfg");
}

TEST(SettingsPath, BesideTheProgramWhenThatFolderIsWritable) {
    EnvironmentVariable cfg("QELVEVA_CFG", nullptr);
    ScratchFolder folder;
    EXPECT_EQ(resolveSettingsFile(folder / "QelVeva"), folder / "QelVeva.cfg");
}

TEST(SettingsPath, PerUserFileWhenTheProgramFolderIsNotWritable) {
    EnvironmentVariable cfg("QELVEVA_CFG", nullptr);
    ScratchFolder folder;
    EnvironmentVariable xdg("XDG_CONFIG_HOME", (folder / "xdg").c_str());
    EXPECT_EQ(resolveSettingsFile("/nonexistent-folder/QelVeva"),
              folder / "xdg/qelveva/QelVeva.cfg");
}

TEST(SettingsPath, PerUserFileDefaultsToDotConfigInHome) {
    EnvironmentVariable home("HOME", "/home/op");
    EnvironmentVariable unset("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(userSettingsFile(), "/home/op/.config/qelveva/QelVeva.cfg");
    EnvironmentVariable relative("XDG_CONFIG_HOME", "relative/dir");  // not absolute: ignored
    EXPECT_EQ(userSettingsFile(), "/home/op/.config/qelveva/QelVeva.cfg");
}

TEST(SettingsPath, DesktopProgramSitsBesideTheRunningOne) {
    EXPECT_EQ(desktopProgramFile().parent_path(), runningProgramFile().parent_path());
    EXPECT_EQ(desktopProgramFile().filename(), "QelVeva");
}

}  // namespace
}  // namespace qel
