// The folder watcher: names created, deleted and moved wake the owner, a file's new contents do
// not; a burst costs one wake until the owner has looked, who learns the names, or that the
// whole folder must be read; the folder or one above it going away wakes it; stop joins the
// thread and no wake comes after.
#include "ScratchFolder.h"
#include "WakeCounter.h"
#include "panes/FolderWatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::ScratchFolder;
using testing::WakeCounter;

// Long enough for the kernel to have told a change that it would tell.
constexpr auto kQuiet = 150ms;

TEST(FolderWatcher, NamesCreatedDeletedAndMovedWakeTheOwnerOncePerLook) {
    ScratchFolder scratch;
    scratch.write("old.PM", "x");
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch.str(), [&] { counter.wake(); }));
    EXPECT_TRUE(watcher.running());

    scratch.write("new.PM");
    ASSERT_TRUE(counter.waitFor(1));
    // More changes before the owner looked: no further wake.
    scratch.write("another.PM");
    std::filesystem::remove(scratch / "new.PM");
    std::this_thread::sleep_for(kQuiet);
    EXPECT_EQ(counter.wakes(), 1);

    watcher.handled();
    std::filesystem::rename(scratch / "old.PM", scratch / "renamed.PM");
    ASSERT_TRUE(counter.waitFor(2));
    watcher.handled();
    scratch.folder("Sub");
    ASSERT_TRUE(counter.waitFor(3));
    watcher.handled();
    std::filesystem::remove(scratch / "Sub");
    ASSERT_TRUE(counter.waitFor(4));
}

TEST(FolderWatcher, TellsTheNamesEachOnceOrThatTheWholeFolderMustBeRead) {
    ScratchFolder scratch;
    scratch.write("old.PM");
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch.str(), [&] { counter.wake(); }));
    scratch.write("new.PM");
    std::filesystem::rename(scratch / "old.PM", scratch / "renamed.PM");
    std::filesystem::remove(scratch / "new.PM");
    ASSERT_TRUE(counter.waitFor(1));
    std::this_thread::sleep_for(kQuiet);
    FolderWatcher::Changes changes = watcher.handled();
    EXPECT_FALSE(changes.whole);
    std::sort(changes.names.begin(), changes.names.end());
    EXPECT_EQ(changes.names, (std::vector<std::string>{"new.PM", "old.PM", "renamed.PM"}));
    EXPECT_TRUE(watcher.handled().names.empty());

    // More names than a look at each is worth: the whole folder.
    for (size_t n = 0; n <= FolderWatcher::kMostNames; ++n) scratch.write(std::to_string(n));
    ASSERT_TRUE(counter.waitFor(2));
    std::this_thread::sleep_for(kQuiet);
    changes = watcher.handled();
    EXPECT_TRUE(changes.whole);
    EXPECT_TRUE(changes.names.empty());
    EXPECT_FALSE(watcher.handled().whole);
}

TEST(FolderWatcher, AFolderAboveGoingAwayAsksForTheWholeFolder) {
    ScratchFolder scratch;
    scratch.folder("A/B");
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch / "A/B/", [&] { counter.wake(); }));
    std::filesystem::rename(scratch / "A", scratch / "A2");
    ASSERT_TRUE(counter.waitFor(1));
    EXPECT_TRUE(watcher.handled().whole);
}

TEST(FolderWatcher, NewContentsOfAFileAloneDoNotWake) {
    ScratchFolder scratch;
    scratch.write("PROG.PM", "short");
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch.str(), [&] { counter.wake(); }));
    std::ofstream(scratch / "PROG.PM", std::ios::app) << "and some more";
    scratch.folder("Sub");
    scratch.write("Sub/inside.PM");   // in a subfolder, not in the folder shown
    ASSERT_TRUE(counter.waitFor(1));  // the folder Sub itself was new
    watcher.handled();
    scratch.write("Sub/more.PM");
    std::ofstream(scratch / "PROG.PM", std::ios::app) << "still more";
    std::this_thread::sleep_for(kQuiet);
    EXPECT_EQ(counter.wakes(), 1);
}

TEST(FolderWatcher, TheFolderOrOneAboveGoingAwayWakesTheOwner) {
    ScratchFolder scratch;
    scratch.folder("A/B");
    scratch.folder("A/Beside");
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch / "A/B/", [&] { counter.wake(); }));
    // A folder beside the chain changes nothing.
    std::filesystem::remove(scratch / "A/Beside");
    std::this_thread::sleep_for(kQuiet);
    EXPECT_EQ(counter.wakes(), 0);
    std::filesystem::rename(scratch / "A", scratch / "A2");
    ASSERT_TRUE(counter.waitFor(1));
}

TEST(FolderWatcher, TheFolderDeletedWhileItIsTheCurrentDirectoryWakesTheOwner) {
    // The pane's folder is the process's current directory: the kernel tells the folder itself
    // of its end only when nobody uses it any more, so the folder above must tell.
    ScratchFolder scratch;
    scratch.folder("A/B");
    const auto start = std::filesystem::current_path();
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch / "A/B/", [&] { counter.wake(); }));
    std::filesystem::current_path(scratch / "A/B");
    std::filesystem::remove_all(scratch / "A");
    EXPECT_TRUE(counter.waitFor(1));
    std::filesystem::current_path(start);
}

TEST(FolderWatcher, StopJoinsAndNoWakeComesAfter) {
    ScratchFolder scratch;
    WakeCounter counter;
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.start(scratch.str(), [&] { counter.wake(); }));
    watcher.stop();
    EXPECT_FALSE(watcher.running());
    scratch.write("after.PM");
    std::this_thread::sleep_for(kQuiet);
    EXPECT_EQ(counter.wakes(), 0);
    watcher.stop();  // twice is harmless

    // A new start replaces the watch; a folder that is not there cannot be watched.
    ASSERT_TRUE(watcher.start(scratch.str(), [&] { counter.wake(); }));
    EXPECT_FALSE(watcher.start(scratch / "missing/", [&] { counter.wake(); }));
    EXPECT_FALSE(watcher.running());
}

TEST(FolderWatcher, ManyStartsAndStopsLeaveNoThreadOrDescriptorBehind) {
    ScratchFolder scratch;
    WakeCounter counter;
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = descriptors();
    for (int round = 0; round < 200; ++round) {
        FolderWatcher watcher;
        ASSERT_TRUE(watcher.start(scratch.str(), [&] { counter.wake(); }));
        if (round % 2 == 0) scratch.write("f" + std::to_string(round));
    }
    EXPECT_EQ(descriptors(), before);
}

}  // namespace
}  // namespace qel
