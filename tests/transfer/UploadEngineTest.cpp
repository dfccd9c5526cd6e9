// Sending against a scripted link.
#include "transfer/Upload.h"

#include "FakeLink.h"
#include "TransferTestSupport.h"
#include "transfer/TransferTexts.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::failure;
using testing::FakeLink;
using testing::linkOfType;
using testing::reply;
using testing::ScriptedOperator;
using testing::TempFolder;
using Texts = std::vector<std::string>;

constexpr TransferPauses kNoPauses{0ms, 0ms, 50ms};

struct UploadTest : ::testing::Test {
    FakeLink link;
    CncClient client{linkOfType(DNC_LINK_RXA2), 0, link};
    ScriptedOperator op;
    TempFolder folder;
    std::unique_ptr<UploadEngine> engine;

    void send(Texts names, uint32_t flags = 0, CncClient* through = nullptr) {
        engine = std::make_unique<UploadEngine>(through ? *through : client, op, std::move(names),
                                                flags, folder.str());
        engine->setPauses(kNoPauses);
        ASSERT_TRUE(engine->start());
        ASSERT_TRUE(testing::runToEnd(*engine));
    }
    void TearDown() override {
        engine.reset();
        EXPECT_EQ(client.transferState(), TransferState::Idle);
        EXPECT_EQ(client.reserveDepth(), 0);
    }
};

TEST_F(UploadTest, AFileGoesOutInBlocksAndTheCncConfirmsItsEnd) {
    folder.write("PROG1.PM", std::string(300, 'x'));
    link.replies = {reply("M RR"), reply("T NB"), reply("T NB"), reply("T NB"), reply("M OK")};
    send({"PROG1.PM"});
    EXPECT_EQ(link.sentTexts(),
              (Texts{"PRPMPROG1", "R PM" + std::string(124, 'x'), "R PM" + std::string(124, 'x'),
                     "R PM" + std::string(52, 'x'), "T FD"}));
    EXPECT_EQ(engine->status(), XS_COMPLETE);
    EXPECT_TRUE(engine->succeeded());
    EXPECT_EQ(engine->completedFiles(), Texts{"PROG1.PM"});
    EXPECT_EQ(op.beeps, 0);
    EXPECT_EQ(op.fields[TransferField::FileSize], "0.29");
    EXPECT_EQ(op.fields[TransferField::Amount], "0.29");
    EXPECT_EQ(op.percents.back(), 100);
    EXPECT_EQ(link.reserves, link.releases);
}

TEST_F(UploadTest, EmptyFilesAreSkippedOnlyWhenAsked) {
    folder.write("E1.PM", "");
    folder.write("E2.PM", "");
    send({"E1.PM", "E2.PM"}, kSendSkipEmpty);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(engine->status(), XS_COMPLETE);

    link.replies = {reply("M RR"), reply("M OK")};
    send({"E1.PM"});
    EXPECT_EQ(link.sentTexts(), (Texts{"PRPME1", "T FD"}));
}

TEST_F(UploadTest, TBdAtTheOpenEndsTheRunWithoutAQuestion) {
    folder.write("A.PM", "a");
    folder.write("B.PM", "b");
    link.replies = {reply("T BDLOCKED")};
    send({"A.PM", "B.PM"});
    EXPECT_EQ(link.sentTexts(), Texts{"PRPMA"});
    EXPECT_TRUE(op.questions.empty());
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_EQ(engine->status(), XS_STOPPING);
    EXPECT_EQ(engine->problem(), "A.PM: the CNC answered \"T BDLOCKED\"");
}

TEST_F(UploadTest, AnExistingMemoryIsReplacedAfterDeletingItOrSkipped) {
    folder.write("A.PM", "a");
    folder.write("B.PM", "b");
    folder.write("C.PM", "c");
    // A: No, skipped. B: Yes, deleted and sent. C: Yes, but the CNC still refuses the name.
    op.answers = {IDNO, IDYES, IDYES, IDOK};
    link.replies = {reply("M NR"),                                                              // A
                    reply("M NR"), reply("M OK"), reply("M RR"), reply("T NB"), reply("M OK"),  // B
                    reply("M NR"), reply("M OK"), reply("M NR")};                               // C
    send({"A.PM", "B.PM", "C.PM"});
    EXPECT_EQ(link.sentTexts(), (Texts{"PRPMA", "PRPMB", "MCPMB", "PRPMB", "R PMb", "T FD", "PRPMC",
                                       "MCPMC", "PRPMC"}));
    ASSERT_EQ(op.questions.size(), 4u);
    EXPECT_EQ(op.questions[0].text,
              "The destination memory 'A.PM' already exists on the CNC.\n\nTry to replace it "
              "with the current file?\nIf delete fails use 'Send As' to send using a different "
              "name.");
    EXPECT_EQ(op.questions[0].flags, 0x4000Fu);
    EXPECT_EQ(op.questions[3].text,
              "The filename 'C.PM' is not accepted by the CNC.\nContinue uploading?");
    EXPECT_EQ(op.questions[3].flags, 0x10028u);
    EXPECT_EQ(engine->completedFiles(), Texts{"B.PM"});
    EXPECT_EQ(engine->status(), XS_COMPLETE);
    EXPECT_FALSE(engine->succeeded());
}

TEST_F(UploadTest, AMemoryInUseOrASilentCncCanBeRetried) {
    folder.write("A.PM", "a");
    op.confirmations = {true};
    link.replies = {reply("T NP"), reply("M RR"), reply("T NB"), reply("M OK")};
    send({"A.PM"});
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text,
              "QEL|The file 'A.PM' is in use on the CNC (it is being edited or executed)\nClose "
              "the file and press 'Retry' to try again.");
    EXPECT_TRUE(engine->succeeded());

    op.boxes.clear();
    link.replies = {failure(DNC_ERR_TIMEOUT), failure(DNC_ERR_TIMEOUT)};
    op.confirmations = {true, false};
    send({"A.PM"});
    ASSERT_EQ(op.boxes.size(), 2u);
    EXPECT_EQ(op.boxes[1].text,
              "QEL|Unable to start sending.\nThe CNC may no longer be available.");
    EXPECT_EQ(engine->status(), XS_STOPPING);
    EXPECT_EQ(engine->problem(), "A.PM: link error 12 (time-out: no telegram arrived in time)");
}

TEST_F(UploadTest, CancelWhileSendingBreaksOffAndDeletesTheBegunMemory) {
    folder.write("PROG1.PM", std::string(500, 'x'));
    // Cancel pressed while the CNC accepts the memory: the first block never goes.
    link.beforeAnswer = [this](const std::string& text) {
        if (text == "PRPMPROG1") engine->cancel();
    };
    link.replies = {reply("M RR"), reply("T NB"), reply("T NP")};
    send({"PROG1.PM"});
    EXPECT_EQ(link.sentTexts(), (Texts{"PRPMPROG1", "T BD", "MCPMPROG1"}));
    EXPECT_EQ(engine->status(), XS_STOPPING);
}

TEST_F(UploadTest, ABrokenSendIsReportedByItsLinkError) {
    folder.write("PROG1.PM", std::string(200, 'x'));
    link.replies = {reply("M RR"), failure(DNC_ERR_TIMEOUT)};
    send({"PROG1.PM"});
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_EQ(op.questions[0].text, texts::linkErrorReportText(12, "PROG1.PM"));
    EXPECT_EQ(engine->status(), XS_STOPPING);
}

TEST_F(UploadTest, AReadErrorAsksRetryAndGivingUpBreaksTheMemoryOff) {
    std::filesystem::create_symlink("/proc/self/mem", folder.path / "MEM.PM");
    link.replies = {reply("M RR")};
    send({"MEM.PM"});
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, "QEL|File read error!\n\nPlease check your disk");
    EXPECT_EQ(link.sentTexts(), (Texts{"PRPMMEM", "T BD"}));
    EXPECT_EQ(engine->status(), XS_STOPPING);
}

TEST_F(UploadTest, AFileThatCannotBeOpenedAsksRetryAndCancelEndsTheRun) {
    folder.write("B.PM", "b");
    send({"MISSING.PM", "B.PM"});
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text,
              "QEL|The file 'MISSING.PM' no longer exists in the current directory.\nPress "
              "'Retry' to look again.");
    EXPECT_TRUE(link.sent.empty());
    EXPECT_FALSE(engine->succeeded());
}

TEST(ProgramHeader, PercentBNamesEachFilePercentAOnlyOpensTheStream) {
    EXPECT_EQ(programHeader(kSendPercentB, "1234.pm", false, false), "%PM1234\r\n");
    EXPECT_EQ(programHeader(kSendPercentB, "longname9.pm", false, true), "%PMLONGNAM\r\n");
    EXPECT_EQ(programHeader(kSendPercentB, "1234.pm", true, true), "");
    EXPECT_EQ(programHeader(kSendPercentA, "a.pm", false, true), "%PM\r\n");
    EXPECT_EQ(programHeader(kSendPercentA, "b.pm", false, false), "");
    EXPECT_EQ(programHeader(0, "a.pm", false, true), "");
}

struct DataIoUploadTest : UploadTest {
    FakeLink dataIo;
    CncClient punch{linkOfType(DNC_LINK_DATAIO_XONXOFF), 0, dataIo};

    std::string tape() const {
        std::string bytes;
        for (const auto& sent : dataIo.sent) bytes += sent.data;
        return bytes;
    }
};

TEST_F(DataIoUploadTest, PercentBJoinsTheFilesIntoOneMemoryUnderHeaders) {
    folder.write("a.pm", "N1\r\n");
    folder.write("b.pm", "N2\r\n");
    folder.write("c.pm", "%PMOWN\r\nN3\r\n");
    send({"a.pm", "b.pm", "c.pm"}, kSendPercentB, &punch);
    EXPECT_EQ(tape(), "%PMA\r\nN1\r\n%PMB\r\nN2\r\n%PMOWN\r\nN3\r\n\x04");
    EXPECT_TRUE(engine->succeeded());
    EXPECT_EQ(punch.transferState(), TransferState::Idle);
}

TEST_F(DataIoUploadTest, PercentAGivesOnlyTheFirstFileAHeader) {
    folder.write("a.pm", "N1\r\n");
    folder.write("b.pm", "N2\r\n");
    send({"a.pm", "b.pm"}, kSendPercentA, &punch);
    EXPECT_EQ(tape(), "%PM\r\nN1\r\nN2\r\n\x04");
    // A first file with a header of its own makes the stream's.
    dataIo.sent.clear();
    folder.write("a.pm", "%PM\r\nN1\r\n");
    send({"a.pm", "b.pm"}, kSendPercentA, &punch);
    EXPECT_EQ(tape(), "%PM\r\nN1\r\nN2\r\n\x04");
}

}  // namespace
}  // namespace qel
