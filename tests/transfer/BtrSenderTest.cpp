// Behind-tape-reader sending against a scripted link; the sender runs on the test's thread.
#include "transfer/BehindTapeReader.h"

#include "FakeLink.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::failure;
using testing::FakeLink;
using testing::reply;
using testing::ScriptedOperator;
using testing::TempFolder;
using testing::WatchedLink;
using Texts = std::vector<std::string>;

LinkSettings rxa2() {
    LinkSettings settings;
    settings.linkType = DNC_LINK_RXA2;
    settings.port = 1;
    settings.speed = 9600;
    return settings;
}

struct BtrTest : ::testing::Test {
    FakeLink link;
    WatchedLink watched{link};
    CncClient client{rxa2(), 0, watched};
    ScriptedOperator op;
    TempFolder folder;
    BtrSender sender{client, op, folder.str()};
    uint32_t answers = 0;

    BtrTest() { sender.setEndPause(0ms); }
    void TearDown() override {
        EXPECT_EQ(client.transferState(), TransferState::Idle);
        EXPECT_EQ(client.reserveDepth(), 0);
        // The progress window closes on every way out.
        EXPECT_EQ(std::count(op.windows.begin(), op.windows.end(), true),
                  std::count(op.windows.begin(), op.windows.end(), false));
    }
};

TEST_F(BtrTest, EachBlockWaitsForTheCncHoweverManyTimeOutsItTakes) {
    // Blocks of 120 bytes: two whole ones, then 10 bytes, then the end.
    folder.write("PROG1.PM", std::string(250, 'x'));
    link.replies = {reply("M RR")};
    link.listens = {reply("T NB"),
                    failure(DNC_ERR_TIMEOUT),
                    failure(DNC_ERR_TIMEOUT),
                    reply("T NB"),
                    reply("T NB"),
                    reply("M OK")};
    EXPECT_TRUE(sender.sendFile("PROG1.PM", answers));
    EXPECT_EQ(link.sentTexts(),
              (Texts{"BRPMPROG1", "R PM" + std::string(120, 'x'), "R PM" + std::string(120, 'x'),
                     "R PM" + std::string(10, 'x'), "T FD"}));
    EXPECT_EQ(op.fields[TransferField::ProgressLine], "Sending memory: 'PROG1.PM' (0.24 KB)");
    // Each whole block read after the first steps the bar; the short last one does not; the
    // end shows 100 %.
    EXPECT_EQ(op.percents, (std::vector<int>{0, 48, 100}));
    EXPECT_EQ(op.fields[TransferField::ProgressText], "100 % (0.24 KB at 0 Bps)");
    EXPECT_EQ(sender.completedFiles(), Texts{"PROG1.PM"});
}

TEST_F(BtrTest, CancelWhileTheMachineRunsBreaksOff) {
    folder.write("PROG1.PM", std::string(250, 'x'));
    link.replies = {reply("M RR")};
    link.listens = {failure(DNC_ERR_TIMEOUT), failure(DNC_ERR_TIMEOUT)};
    watched.beforeListen = [this] { sender.cancel(); };
    EXPECT_FALSE(sender.sendFile("PROG1.PM", answers));
    EXPECT_EQ(link.sentTexts(), (Texts{"BRPMPROG1", "R PM" + std::string(120, 'x'), "T BD"}));
    EXPECT_EQ(link.listens.size(), 1u);
    EXPECT_TRUE(op.questions.empty());
}

TEST_F(BtrTest, ARefusedStartAsksOnceWithYesToAll) {
    folder.write("1.pm", "x");
    folder.write("2.pm", "x");
    folder.write("TOOLS.TO", "x");
    op.answers = {IDYESTOALL};
    // Lower-case part programs and other memory types are refused without asking the CNC.
    EXPECT_TRUE(sender.sendFile("1.pm", answers));
    EXPECT_TRUE(sender.sendFile("2.pm", answers));
    EXPECT_TRUE(sender.sendFile("TOOLS.TO", answers));
    EXPECT_TRUE(link.sent.empty());
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_EQ(op.questions[0].text,
              "BTR operation could not be started.\nThe CNC is not in remote mode or the file "
              "'1.pm' might not be a valid Part Program.\n\nContinue with the next file?");
    EXPECT_EQ(op.questions[0].flags, 0x40007u);
    EXPECT_EQ(answers, kBtrPassFailedSends);

    // A CNC that refuses: No stops the command.
    folder.write("PROG1.PM", "x");
    answers = 0;
    op.answers = {IDNO};
    link.replies = {reply("M NR")};
    EXPECT_FALSE(sender.sendFile("PROG1.PM", answers));
}

TEST_F(BtrTest, ACommunicationFailureAtTheStartHasItsOwnYesToAll) {
    folder.write("PROG1.PM", "x");
    link.errors = {DNC_ERR_ENDED};  // an old error, dropped before the start
    link.replies = {failure(DNC_ERR_TIMEOUT), failure(DNC_ERR_TIMEOUT)};
    op.answers = {IDYESTOALL};
    EXPECT_TRUE(sender.sendFile("PROG1.PM", answers));
    EXPECT_TRUE(sender.sendFile("PROG1.PM", answers));
    EXPECT_EQ(op.questionTexts(),
              Texts{"Unable to start sending due to a communication failure.\n\nContinue to send "
                    "other selected files?"});
    EXPECT_EQ(answers, kBtrPassStartFailures);
}

TEST_F(BtrTest, TheCncsReasonOrACommunicationFailureIsReported) {
    folder.write("PROG1.PM", std::string(250, 'x'));
    link.replies = {reply("M RR")};
    link.listens = {reply("T BDSPINDLE STOP")};
    op.answers = {IDCANCEL};
    EXPECT_FALSE(sender.sendFile("PROG1.PM", answers));
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_EQ(op.questions[0].text,
              "An error occured while sending the file 'PROG1.PM'.\nThe CNC reports: SPINDLE "
              "STOP\n\nContinue to send other selected files?");
    EXPECT_EQ(op.questions[0].flags, 0x2000Bu);

    // A dropped connection is no reason to wait on: the memory is broken off at once.
    link.sent.clear();
    link.replies = {reply("M RR")};
    link.listens = {failure(DNC_ERR_CONNECTION)};
    op.answers = {IDYESTOALL};
    EXPECT_TRUE(sender.sendFile("PROG1.PM", answers));
    EXPECT_EQ(link.sentTexts().back(), "T BD");
    EXPECT_EQ(op.questions.back().text,
              "An error occured while sending the local file 'PROG1.PM'.\nThere was a "
              "communication failure.\n\nContinue to send other selected files?");
    EXPECT_EQ(answers, kBtrPassFailedSends);
}

TEST_F(BtrTest, LocalFileFailures) {
    op.confirmations = {true};
    EXPECT_TRUE(sender.sendFile("MISSING.PM", answers));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text,
              "QEL Error|Failed to open the local file 'MISSING.PM'!\n\nContinue to send other "
              "selected files?");
    EXPECT_EQ(op.boxes[0].flags, 2u);  // Yes and No

    std::filesystem::create_symlink("/proc/self/mem", folder.path / "MEM.PM");
    link.replies = {reply("M RR")};
    op.answers = {IDYESTOALL};
    EXPECT_TRUE(sender.sendFile("MEM.PM", answers));
    EXPECT_EQ(link.sentTexts(), (Texts{"BRPMMEM", "T BD"}));
    EXPECT_EQ(op.questions.back().flags, 0x20007u);
    EXPECT_EQ(answers, kBtrPassReadFailures);
}

TEST_F(BtrTest, ACommandStopsAtTheFirstFileThatSaysStop) {
    folder.write("A.PM", "a");
    folder.write("B.PM", "b");
    folder.write("C.PM", "c");
    link.replies = {reply("M RR"), reply("M NR")};
    link.listens = {reply("T NB"), reply("M OK")};
    op.answers = {IDNO};
    BtrEngine command(client, op, {"A.PM", "B.PM", "C.PM"}, folder.str());
    command.setEndPause(0ms);
    command.start();
    ASSERT_TRUE(testing::runToEnd(command));
    EXPECT_EQ(command.completedFiles(), Texts{"A.PM"});
    EXPECT_FALSE(command.succeeded());
    EXPECT_EQ(link.sentTexts(), (Texts{"BRPMA", "R PMa", "T FD", "BRPMB"}));
}

}  // namespace
}  // namespace qel
