// The remote-mode window's contents: the four-line log and the progress display.
#include "remote/RemoteModeDisplay.h"

#include "RemoteTestSupport.h"

#include <gtest/gtest.h>

namespace qel::remote {
namespace {

using Lines = std::vector<std::string>;

TEST(RemoteLog, ShowsTheStartTextUntilTheFirstLineThenTheLastFour) {
    RemoteLog log;
    EXPECT_EQ(log.text(), "Remote mode started.");
    log.add("one");
    EXPECT_EQ(log.text(), "one\n\n\n");
    for (const char* line : {"two", "three", "four", "five"}) log.add(line);
    EXPECT_EQ(log.text(), "two\nthree\nfour\nfive");
}

TEST(RemoteLog, CutsALongLineTo159CharactersAndKeepsTheOthers) {
    RemoteLog log;
    log.add("before");
    log.add(std::string(200, 'x'));
    log.add("after");
    EXPECT_EQ(log.lines()[0], "before");
    EXPECT_EQ(log.lines()[1], std::string(159, 'x'));
    EXPECT_EQ(log.lines()[2], "after");
    // A CNC text ends at its NUL.
    log.add(std::string("cut\0here", 8));
    EXPECT_EQ(log.lines()[3], "cut");
}

ProgressPicture drawn(int64_t minimum, int64_t maximum, int64_t position, ProgressMode mode) {
    return drawProgress({minimum, maximum, 124, position, mode});
}

TEST(TransferProgress, SendingCountsPercentAndKilobytesOfFullBlocks) {
    // 1000 bytes in blocks of 124: only full blocks move the display.
    EXPECT_EQ(drawn(0, 1000, 0, ProgressMode::PercentAndKilobytes).text, "0% (0.00KB)");
    EXPECT_EQ(drawn(0, 1000, 124, ProgressMode::PercentAndKilobytes).text, "12% (0.12KB)");
    EXPECT_EQ(drawn(0, 1000, 992, ProgressMode::PercentAndKilobytes).text, "99% (0.97KB)");
    EXPECT_EQ(drawn(0, 1000, 1000, ProgressMode::PercentAndKilobytes).percent, 100);
    EXPECT_EQ(drawn(0, 1000, 500, ProgressMode::Percent).text, "50%");
}

TEST(TransferProgress, ReceivingCountsKilobytesWhileTheBarWrapsEvery128Kilobytes) {
    const ProgressPicture at300k = drawn(0, 131072, 300 * 1024, ProgressMode::Kilobytes);
    EXPECT_EQ(at300k.text, "(300.00KB)");
    EXPECT_EQ(at300k.percent, 34);  // 234 % of the range, wrapped
    EXPECT_EQ(drawn(0, 131072, 131072, ProgressMode::Kilobytes).percent, 100);
    EXPECT_EQ(drawn(0, 131072, 262144, ProgressMode::Kilobytes).percent, 0);
    // An empty range counts as one.
    EXPECT_EQ(drawn(5, 5, 5, ProgressMode::Percent).text, "0%");
}

TEST(RemoteModeDisplay, PassesEveryVisibleChangeToAFollowerAndRedrawsOnlyOnPositionChanges) {
    RemoteModeDisplay display;
    testing::RecordingView view(display);
    EXPECT_EQ(display.status(), "Not active");
    EXPECT_EQ(display.progressText(), " 0 %");
    display.setStatus("Waiting for DNC commands");
    display.logLine("hello");
    display.setProgressRange(0, 1000);
    display.setProgressStep(124);
    display.setProgressMode(ProgressMode::PercentAndKilobytes);
    EXPECT_TRUE(view.progress().empty());  // stored only
    display.setProgressPos(0);
    display.stepProgress();
    display.setProgressPos(124);  // the same picture: nothing redrawn
    display.enableExit(false);
    display.enableAbort(true);
    EXPECT_EQ(view.statuses(), Lines{"Waiting for DNC commands"});
    EXPECT_EQ(view.lines(), Lines{"hello"});
    EXPECT_EQ(view.progress(), (Lines{"0|0% (0.00KB)", "12|12% (0.12KB)"}));
    EXPECT_EQ(view.buttons(), (Lines{"-/-", "-/abort"}));
    EXPECT_EQ(display.logText(), "hello\n\n\n");
}

}  // namespace
TEST(RemoteModeDisplay, AWindowPollsTheStateAndAFloodCostsOneLookNotOneCallPerCommand) {
    RemoteModeDisplay display;
    const uint64_t before = display.version();
    for (int i = 0; i < 10000; ++i) display.logLine("line " + std::to_string(i));
    // Nobody follows: the state moved on, nothing piled up for anyone.
    EXPECT_EQ(display.version(), before + 10000);
    EXPECT_EQ(display.logText(), "line 9996\nline 9997\nline 9998\nline 9999");
    testing::RecordingView view(display);
    EXPECT_TRUE(view.lines().empty());  // follows from now on

    // A follower that looks too rarely loses the oldest changes, never the newest.
    for (int i = 0; i < static_cast<int>(RemoteModeDisplay::kJournalLimit) + 5; ++i)
        display.logLine("again " + std::to_string(i));
    struct Counting : RemoteModeView {
        std::vector<std::string> lines;
        void lineLogged(const std::string& line, const std::string&) override {
            lines.push_back(line);
        }
    } counting;
    EXPECT_EQ(display.showChangesOn(counting), 5u);
    ASSERT_EQ(counting.lines.size(), RemoteModeDisplay::kJournalLimit);
    EXPECT_EQ(counting.lines.front(), "again 5");
}

}  // namespace qel::remote
