// The local pane without a window: Navigate with a path that exists only partly, the path
// combo's drives and folder chain, Back, the display filter applied when the edit is left, the
// Retry/Cancel box for a folder that cannot be read or a disk that hangs, a refresh that
// follows the watcher, a folder deleted while it is shown, and the operator's own changes:
// delete, new folder and text file under free names, rename.
#include "ScratchFolder.h"
#include "TestDisk.h"
#include "WakeCounter.h"
#include "panes/LocalPane.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>

#include <deque>
#include <filesystem>
#include <thread>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::ReadOnlyDisk;
using testing::ScratchFolder;
using testing::TestDisk;
using testing::WakeCounter;

class FakeHost final : public LocalPaneHost {
  public:
    std::deque<bool> retryAnswers;  // empty: Cancel
    int boxes = 0;
    int beeps = 0;
    WakeCounter changes;

    bool retryInaccessibleFolder() override {
        ++boxes;
        if (retryAnswers.empty()) return false;
        const bool retry = retryAnswers.front();
        retryAnswers.pop_front();
        return retry;
    }
    void beep() override { ++beeps; }
    void folderChanged() override { changes.wake(); }
};

std::string processFolder() {
    return std::filesystem::current_path().string() + "/";
}

std::vector<std::string> namesOf(const LocalListing& listing) {
    std::vector<std::string> names;
    for (const LocalEntry& entry : listing.items()) names.push_back(entry.name);
    return names;
}

class LocalPaneTest : public ::testing::Test {
  protected:
    LocalPaneTest() : disk_(std::make_shared<TestDisk>(scratch_.str())) {
        scratch_.folder("A/Sub");
        scratch_.write("A/one.PM", "1");
        scratch_.write("A/two.PP", "22");
        scratch_.write("A/notes.txt");
    }
    ~LocalPaneTest() override { ::chdir(startFolder_.c_str()); }

    LocalPane& pane(std::chrono::milliseconds limit = 2000ms) {
        if (!pane_) pane_ = std::make_unique<LocalPane>(host_, folder_, disk_, limit);
        return *pane_;
    }

    const std::string startFolder_ = processFolder();
    ScratchFolder scratch_;
    std::shared_ptr<TestDisk> disk_;
    FakeHost host_;
    std::string folder_;  // the main window's buffer
    std::unique_ptr<LocalPane> pane_;
};

TEST_F(LocalPaneTest, APartlyExistingPathShowsItsDeepestFolderAndReportsFalse) {
    EXPECT_FALSE(pane().Navigate(scratch_ / "A/B/C"));
    EXPECT_EQ(folder_, scratch_ / "A/");
    EXPECT_EQ(processFolder(), scratch_ / "A/");
    EXPECT_EQ(pane().depth(), 1);
    EXPECT_EQ(namesOf(pane().listing()),
              (std::vector<std::string>{"Sub", "notes.txt", "one.PM", "two.PP"}));
    // The combo: both drives, the folder A under the current one, selected, open picture.
    const auto& entries = pane().pathEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, "vda (/)");
    EXPECT_EQ(entries[0].image, 42);
    EXPECT_EQ(entries[1].text, "scratch (" + scratch_.str() + ")");
    EXPECT_EQ(entries[2].text, "A");
    EXPECT_EQ(entries[2].image, 1);
    EXPECT_EQ(entries[2].indent, 1);
    EXPECT_EQ(pane().pathSelection(), 2);
    EXPECT_EQ(pane().folderChain(),
              (std::vector<std::string>{"/", scratch_.str(), scratch_ / "A"}));
    EXPECT_EQ(pane().freeSpace().substr(pane().freeSpace().size() - 3), " KB");
    EXPECT_TRUE(pane().watching());
    EXPECT_EQ(host_.boxes, 0);
}

TEST_F(LocalPaneTest, AWholePathIsShownWithItsChainInTheSpellingOnDisk) {
    EXPECT_TRUE(pane().Navigate(scratch_ / "a/sub"));
    EXPECT_EQ(folder_, scratch_ / "A/Sub/");
    const auto& entries = pane().pathEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2].text, "A");
    EXPECT_EQ(entries[2].image, 0);  // above the current folder: closed
    EXPECT_EQ(entries[3].text, "Sub");
    EXPECT_EQ(entries[3].image, 1);
    EXPECT_EQ(entries[3].indent, 2);
    EXPECT_EQ(pane().depth(), 2);

    // Choosing the drive entry goes to its root.
    EXPECT_TRUE(pane().ChooseEntry(1));
    EXPECT_EQ(folder_, scratch_.str());
    EXPECT_EQ(pane().depth(), 0);
    EXPECT_FALSE(pane().ChooseEntry(99));
}

TEST_F(LocalPaneTest, BackGoesUpOneLevelAndBeepsAtTheDriveRoot) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A/Sub/"));
    EXPECT_TRUE(pane().Back());
    EXPECT_EQ(folder_, scratch_ / "A/");
    EXPECT_TRUE(pane().Back());
    EXPECT_EQ(folder_, scratch_.str());
    EXPECT_EQ(host_.beeps, 0);
    EXPECT_FALSE(pane().Back());
    EXPECT_EQ(host_.beeps, 1);
    EXPECT_EQ(folder_, scratch_.str());
}

TEST_F(LocalPaneTest, APathOnNoDriveShowsTheHomeFolder) {
    ScratchFolder home;
    const char* saved = std::getenv("HOME");
    const std::string savedHome = saved ? saved : "";
    ::setenv("HOME", home.str().c_str(), 1);
    EXPECT_FALSE(pane().Navigate("relative/path"));
    EXPECT_EQ(folder_, home.str());
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(LocalPaneTest, TheFilterIsAppliedOnceWhenTheEditIsLeft) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    const int readings = disk_->readings();
    pane().FilterEdited("*.PM;*.P");
    pane().FilterEdited("*.PM;*.PP");
    EXPECT_EQ(disk_->readings(), readings);  // typing alone reads nothing
    EXPECT_TRUE(pane().filterChanged());
    pane().FilterEditLeft();
    EXPECT_EQ(disk_->readings(), readings + 1);
    EXPECT_FALSE(pane().filterChanged());
    EXPECT_EQ(namesOf(pane().listing()), (std::vector<std::string>{"Sub", "one.PM", "two.PP"}));
    pane().FilterEditLeft();  // nothing changed since
    EXPECT_EQ(disk_->readings(), readings + 1);

    pane().FilterEdited("");  // an empty filter shows everything
    pane().FilterEditLeft();
    EXPECT_EQ(pane().listing().size(), 4u);
}

TEST_F(LocalPaneTest, AFolderWithoutReadPermissionAsksRetryAndCancelLeavesAnEmptyList) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    scratch_.folder("Locked");
    scratch_.write("Locked/secret.PM");
    ASSERT_EQ(::chmod((scratch_ / "Locked").c_str(), 0300), 0);
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    host_.retryAnswers = {true};  // Retry once, then Cancel
    EXPECT_FALSE(pane().Navigate(scratch_ / "Locked"));
    EXPECT_EQ(host_.boxes, 2);
    EXPECT_EQ(pane().listing().size(), 0u);
    EXPECT_FALSE(pane().watching());
    EXPECT_EQ(pane().pathEntries().back().text, "Locked");  // the combo still says where
}

TEST_F(LocalPaneTest, AHangingDiskIsGivenUpAfterTheLimitWithTheRetryBox) {
    ASSERT_TRUE(pane(100ms).Navigate(scratch_ / "A"));
    disk_->hang();
    const auto started = std::chrono::steady_clock::now();
    host_.retryAnswers = {true};
    EXPECT_FALSE(pane().Navigate(scratch_ / "A/Sub"));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(host_.boxes, 2);
    // Two tries of 100 ms, nowhere near the minutes a dead mount can take.
    EXPECT_LT(waited, 1500ms);
    EXPECT_EQ(pane().listing().size(), 0u);
    EXPECT_FALSE(pane().watching());
    EXPECT_EQ(pane().freeSpace(), "???");

    // While the calls are stuck, a refresh changes nothing and further reading is refused at
    // once, without more threads.
    const int readings = disk_->readings();
    EXPECT_FALSE(pane().Navigate(scratch_ / "A"));
    EXPECT_EQ(disk_->readings(), readings);

    // The disk answers again: everything works, and the stuck threads are joined.
    disk_->release();
    for (int wait = 0; wait < 200 && pane().stuckDiskCalls() > 0; ++wait) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(pane().stuckDiskCalls(), 0u);
    EXPECT_TRUE(pane().Navigate(scratch_ / "A"));
    EXPECT_EQ(pane().listing().size(), 4u);
}

TEST_F(LocalPaneTest, ARefreshFollowsTheWatcherAndChangesOnlyTheDifferences) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    scratch_.write("A/three.PM", "333");
    ASSERT_TRUE(host_.changes.waitFor(1));
    pane().RefreshFolder();
    EXPECT_EQ(namesOf(pane().listing()),
              (std::vector<std::string>{"Sub", "notes.txt", "one.PM", "three.PM", "two.PP"}));
    EXPECT_EQ(pane().listing().at(3).size, 3u);

    // While a name is being edited nothing is read.
    pane().EnableRefresh(false);
    const int readings = disk_->readings();
    pane().RefreshFolder();
    EXPECT_EQ(disk_->readings(), readings);
    pane().EnableRefresh(true);

    // The watcher wakes again after the refresh.
    std::filesystem::remove(scratch_ / "A/one.PM");
    ASSERT_TRUE(host_.changes.waitFor(2));
    pane().RefreshFolder();
    EXPECT_EQ(pane().listing().find("one.PM"), -1);
}

TEST_F(LocalPaneTest, TheWatchersRefreshLooksOnlyAtTheNamesToldUnlessItMissedSome) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    const int readings = disk_->readings();
    scratch_.write("A/three.PM", "333");
    std::filesystem::remove(scratch_ / "A/one.PM");
    std::filesystem::rename(scratch_ / "A/two.PP", scratch_ / "A/Two.PM");
    ASSERT_TRUE(host_.changes.waitFor(1));
    std::this_thread::sleep_for(100ms);  // the whole burst told
    pane().RefreshChanges();
    EXPECT_EQ(disk_->readings(), readings);  // no listing of the folder
    EXPECT_EQ(namesOf(pane().listing()),
              (std::vector<std::string>{"Sub", "notes.txt", "three.PM", "Two.PM"}));
    EXPECT_EQ(pane().listing().at(2).size, 3u);
    EXPECT_EQ(pane().listing().at(3).size, 2u);

    // Changes while a name is edited are not lost: the next look reads the whole folder.
    pane().EnableRefresh(false);
    scratch_.write("A/four.PM", "4");
    ASSERT_TRUE(host_.changes.waitFor(2));
    pane().RefreshChanges();
    EXPECT_EQ(pane().listing().find("four.PM"), -1);
    pane().EnableRefresh(true);
    scratch_.write("A/five.PM", "5");
    ASSERT_TRUE(host_.changes.waitFor(3));
    pane().RefreshChanges();
    EXPECT_EQ(disk_->readings(), readings + 1);
    EXPECT_NE(pane().listing().find("four.PM"), -1);
    EXPECT_NE(pane().listing().find("five.PM"), -1);
}

TEST_F(LocalPaneTest, AFolderDeletedWhileShownLeavesForTheDeepestThatExists) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A/Sub"));  // also the current directory now
    std::filesystem::remove_all(scratch_ / "A/Sub");
    ASSERT_TRUE(host_.changes.waitFor(1));
    pane().RefreshFolder();
    EXPECT_EQ(folder_, scratch_ / "A/");
    EXPECT_EQ(processFolder(), scratch_ / "A/");
    EXPECT_EQ(pane().listing().find("Sub"), -1);
    EXPECT_TRUE(pane().watching());
    EXPECT_EQ(host_.boxes, 0);
}

TEST_F(LocalPaneTest, EveryNavigateReplacesTheWatcherAndTheEditorIsKeptShort) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    ASSERT_TRUE(pane().Navigate(scratch_ / "A/Sub"));
    scratch_.write("A/elsewhere.PM");  // the folder watched before
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(host_.changes.wakes(), 0);
    scratch_.write("A/Sub/here.PM");
    EXPECT_TRUE(host_.changes.waitFor(1));

    EXPECT_EQ(pane().editor(), "NOTEPAD");
    pane().SetEditor(std::string(300, 'e'));
    EXPECT_EQ(pane().editor().size(), 129u);
}

TEST_F(LocalPaneTest, DeleteStopsAtTheFirstFailureAndCountsAFileGoneMeanwhileAsDeleted) {
    scratch_.write("A/three.PM", "3");
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    // notes.txt went before the command came; the folder Sub is refused and stops the rest.
    std::filesystem::remove(scratch_ / "A/notes.txt");
    const auto outcome = pane().DeleteFiles({"notes.txt", "one.PM", "Sub", "three.PM"});
    EXPECT_EQ(outcome.deleted, 2u);
    EXPECT_EQ(outcome.failed, "Sub");
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "A/one.PM"));
    EXPECT_TRUE(std::filesystem::is_directory(scratch_ / "A/Sub"));
    EXPECT_TRUE(std::filesystem::exists(scratch_ / "A/three.PM"));
    EXPECT_TRUE(std::filesystem::exists(scratch_ / "A/two.PP"));
}

TEST_F(LocalPaneTest, NewEntriesTakeTheNextFreeNumberAndNeverOverwrite) {
    scratch_.folder("A/New Folder");
    scratch_.folder("A/New Folder (2)");
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    EXPECT_EQ(pane().NewFolder(), "New Folder (3)");
    EXPECT_TRUE(std::filesystem::is_directory(scratch_ / "A/New Folder (3)"));
    // The new folder is listed at once, among the folders.
    const long row = pane().listing().find("New Folder (3)");
    ASSERT_GE(row, 0);
    EXPECT_TRUE(pane().listing().at(static_cast<size_t>(row)).folder);

    // A gap: two entries count, but "(3)" is taken; the next free number is used. A file of
    // the folder's base name counts as well.
    std::filesystem::remove(scratch_ / "A/New Folder (2)");
    scratch_.write("A/New Folder (4)", "keep");
    EXPECT_EQ(pane().NewFolder(), "New Folder (5)");
    EXPECT_EQ(std::filesystem::file_size(scratch_ / "A/New Folder (4)"), 4u);

    scratch_.write("A/New File.txt", "mine");
    pane().FilterEdited("*.PM");
    pane().FilterEditLeft();
    EXPECT_EQ(pane().NewTextFile(), "New File (2).txt");
    EXPECT_EQ(std::filesystem::file_size(scratch_ / "A/New File (2).txt"), 0u);
    EXPECT_EQ(std::filesystem::file_size(scratch_ / "A/New File.txt"), 4u);
    // The display filter hides text files: the new one still shows, to be named.
    EXPECT_GE(pane().listing().find("New File (2).txt"), 0);
}

TEST_F(LocalPaneTest, AFolderThatTakesNothingNewLeavesEverythingAsItWas) {
    LocalPane readOnly(host_, folder_, std::make_shared<ReadOnlyDisk>(scratch_.str()));
    ASSERT_TRUE(readOnly.Navigate(scratch_ / "A"));
    const auto before = namesOf(readOnly.listing());
    EXPECT_FALSE(readOnly.NewFolder());
    EXPECT_FALSE(readOnly.NewTextFile());
    EXPECT_EQ(readOnly.DeleteFiles({"one.PM"}).failed, "one.PM");
    EXPECT_EQ(namesOf(readOnly.listing()), before);
    EXPECT_TRUE(std::filesystem::exists(scratch_ / "A/one.PM"));
}

TEST_F(LocalPaneTest, RenameRefusesATakenNameAndANameThatLeavesTheFolder) {
    ASSERT_TRUE(pane().Navigate(scratch_ / "A"));
    EXPECT_FALSE(pane().Rename("one.PM", "two.PP"));
    EXPECT_EQ(std::filesystem::file_size(scratch_ / "A/one.PM"), 1u);
    EXPECT_EQ(std::filesystem::file_size(scratch_ / "A/two.PP"), 2u);
    // Onto a folder's name, into a folder, or upwards: refused, nothing moved.
    EXPECT_FALSE(pane().Rename("one.PM", "Sub"));
    EXPECT_FALSE(pane().Rename("one.PM", "Sub/one.PM"));
    EXPECT_FALSE(pane().Rename("one.PM", ".."));
    EXPECT_FALSE(pane().Rename("one.PM", ""));
    EXPECT_TRUE(std::filesystem::exists(scratch_ / "A/one.PM"));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "A/Sub/one.PM"));
    // A free name, a name with blanks and quotes, and a folder.
    EXPECT_TRUE(pane().Rename("one.PM", "O'Neil \"1\".PM"));
    EXPECT_EQ(std::filesystem::file_size(scratch_ / "A/O'Neil \"1\".PM"), 1u);
    EXPECT_TRUE(pane().Rename("Sub", "Deeper"));
    EXPECT_TRUE(std::filesystem::is_directory(scratch_ / "A/Deeper"));
    // A file gone meanwhile: refused.
    EXPECT_FALSE(pane().Rename("missing.PM", "found.PM"));
}

}  // namespace
}  // namespace qel
