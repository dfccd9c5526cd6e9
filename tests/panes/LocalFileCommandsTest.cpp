// The local pane's command rules without a disk: the files a command works on, the enabled
// buttons per link, the send flags, the Select filters, the default names, and the editor's
// argument vector.
#include "client/LinkTypes.h"
#include "config/ConfigRecord.h"
#include "panes/EditorCommand.h"
#include "panes/LocalFileCommands.h"
#include "transfer/Upload.h"

#include <gtest/gtest.h>

#include <set>

namespace qel {
namespace {

LocalListing listingOf(std::vector<std::pair<std::string, bool>> items) {
    std::vector<LocalEntry> entries;
    for (auto& [name, folder] : items) {
        LocalEntry entry;
        entry.name = name;
        entry.folder = folder;
        entries.push_back(entry);
    }
    LocalListing listing;
    listing.replace(std::move(entries));
    return listing;
}

TEST(LocalFileCommandsTest, TheChosenFilesAreTheSelectedFilesElseTheFocusedFile) {
    // Rows: 0 Sub (folder), 1 a.PM, 2 b.PM.
    const LocalListing listing = listingOf({{"Sub", true}, {"a.PM", false}, {"b.PM", false}});
    // Selected in any order: the files in list order, the folder left out.
    EXPECT_EQ(chosenFiles(listing, {2, 0, 1}, 0), (std::vector<std::string>{"a.PM", "b.PM"}));
    // Only the folder selected: no file, whatever the focus.
    EXPECT_TRUE(chosenFiles(listing, {0}, 1).empty());
    // Nothing selected: the focused file, or nothing on a folder or without focus.
    EXPECT_EQ(chosenFiles(listing, {}, 2), (std::vector<std::string>{"b.PM"}));
    EXPECT_TRUE(chosenFiles(listing, {}, 0).empty());
    EXPECT_TRUE(chosenFiles(listing, {}, std::nullopt).empty());
    EXPECT_TRUE(chosenFiles(listing, {}, 7).empty());
}

TEST(LocalFileCommandsTest, BtrSendNeedsATelegramLinkAndSendAnyLink) {
    const auto rxa2 = localPaneEnables(1, true, DNC_LINK_RXA2);
    EXPECT_TRUE(rxa2.back && rxa2.remove && rxa2.send && rxa2.btrSend);
    for (const int type : {DNC_LINK_DATAIO_RTSCTS, DNC_LINK_DATAIO_XONXOFF, DNC_LINK_TCP_CLIENT}) {
        const auto enables = localPaneEnables(0, true, type);
        EXPECT_TRUE(enables.send) << type;
        EXPECT_FALSE(enables.btrSend) << type;
        EXPECT_FALSE(enables.back);
    }
    const auto unlinked = localPaneEnables(2, true, -1);
    EXPECT_TRUE(unlinked.remove);
    EXPECT_FALSE(unlinked.send || unlinked.btrSend);
    const auto noFile = localPaneEnables(2, false, DNC_LINK_RXA2);
    EXPECT_FALSE(noFile.remove || noFile.send || noFile.btrSend);
}

TEST(LocalFileCommandsTest, SendFlagsFollowThePaneOptions) {
    EXPECT_EQ(sendRequestFlags(0, false), 0u);
    EXPECT_EQ(sendRequestFlags(OPT_PERCENT_A | OPT_PERCENT_B | OPT_IGNORE_EMPTY, true),
              kSendPercentA | kSendPercentB | kSendSkipEmpty | kSendAskNames);
    EXPECT_EQ(sendRequestFlags(OPT_IGNORE_EMPTY | OPT_CONNECT_AT_START, false), kSendSkipEmpty);
}

TEST(LocalFileCommandsTest, TheSelectFilterTakesFilesOnly) {
    const LocalListing listing =
        listingOf({{"Programs.PM", true}, {"1.PM", false}, {"2.pm", false}, {"x.txt", false}});
    EXPECT_EQ(filesMatching(listing, "*.PM"), (std::vector<size_t>{1, 2}));
    EXPECT_EQ(filesMatching(listing, "*.TXT;1.*"), (std::vector<size_t>{1, 3}));
    EXPECT_TRUE(filesMatching(listing, "").empty());
    EXPECT_EQ(fileRows(listing), (std::vector<size_t>{1, 2, 3}));
}

TEST(LocalFileCommandsTest, DefaultNamesCountFromTwo) {
    EXPECT_EQ(newEntryName("New Folder", "", 0), "New Folder");
    EXPECT_EQ(newEntryName("New Folder", "", 2), "New Folder (3)");
    EXPECT_EQ(newEntryName("New File", ".txt", 1), "New File (2).txt");
}

ProgramSearch searchWith(std::set<std::string> programs, std::string path = "/usr/bin:/bin",
                         std::string visual = {}) {
    ProgramSearch search;
    search.path = std::move(path);
    search.visual = std::move(visual);
    search.isExecutable = [programs = std::move(programs)](const std::string& file) {
        return programs.contains(file);
    };
    return search;
}

TEST(LocalFileCommandsTest, TheEditorGetsTheFileAsOneWordWithoutAShell) {
    const std::string file = "/home/op/My Programs/O'Neil \"1\"; rm -rf.PM";
    const auto search = searchWith({"/bin/gedit", "/opt/Edit Pro/edit"});
    EXPECT_EQ(editorArguments("gedit", file, search),
              (std::vector<std::string>{"/bin/gedit", file}));
    // Words of the command stay words; quotes hold a program path with blanks.
    EXPECT_EQ(editorArguments("  gedit   --new-window ", file, search),
              (std::vector<std::string>{"/bin/gedit", "--new-window", file}));
    EXPECT_EQ(editorArguments("\"/opt/Edit Pro/edit\" -n", file, search),
              (std::vector<std::string>{"/opt/Edit Pro/edit", "-n", file}));
}

TEST(LocalFileCommandsTest, AnEditorThatIsNotThereFallsBackToVisualThenXdgOpen) {
    const std::string file = "/tmp/a.PM";
    auto search = searchWith({"/usr/bin/kate"}, "/usr/bin", "kate -b");
    EXPECT_EQ(editorArguments("NOTEPAD", file, search),
              (std::vector<std::string>{"/usr/bin/kate", "-b", file}));
    EXPECT_EQ(editorArguments("", file, search),
              (std::vector<std::string>{"/usr/bin/kate", "-b", file}));
    search.visual = "nano";
    EXPECT_EQ(editorArguments("NOTEPAD", file, search),
              (std::vector<std::string>{"xdg-open", file}));
    // A path that is not executable is not found on PATH either.
    EXPECT_EQ(findProgram("/usr/bin/gedit", search), "");
    EXPECT_EQ(findProgram("kate", search), "/usr/bin/kate");
    // An empty entry of PATH is the current folder.
    EXPECT_EQ(findProgram("tool", searchWith({"./tool"}, "/usr/bin::/bin")), "./tool");
}

}  // namespace
}  // namespace qel
