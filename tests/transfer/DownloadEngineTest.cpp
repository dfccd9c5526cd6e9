// Receiving against a scripted link: the CNC's telegrams are queued replies.
#include "transfer/Download.h"

#include "FakeLink.h"
#include "TransferTestSupport.h"
#include "transfer/TransferTexts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::failure;
using testing::FakeLink;
using testing::FakeReply;
using testing::linkOfType;
using testing::reply;
using testing::ScriptedOperator;
using testing::TempFolder;
using Texts = std::vector<std::string>;
using Names = std::set<std::string>;

constexpr TransferPauses kNoPauses{0ms, 0ms, 50ms};

struct DownloadTest : ::testing::Test {
    FakeLink link;
    CncClient client{linkOfType(DNC_LINK_RXA2), 0, link};
    ScriptedOperator op;
    TempFolder folder;
    std::unique_ptr<DownloadEngine> engine;

    void start(Texts names, uint32_t flags = 0) {
        engine =
            std::make_unique<DownloadEngine>(client, op, std::move(names), flags, folder.str());
        engine->setPauses(kNoPauses);
        ASSERT_TRUE(engine->start());
    }
    void receive(Texts names, uint32_t flags = 0) {
        start(std::move(names), flags);
        ASSERT_TRUE(testing::runToEnd(*engine));
    }
    // Every run ends with the link idle and the reservations given back.
    void TearDown() override {
        engine.reset();
        EXPECT_EQ(client.transferState(), TransferState::Idle);
        EXPECT_EQ(client.reserveDepth(), 0);
        EXPECT_EQ(link.reserves, link.releases);
    }
};

TEST_F(DownloadTest, AMemoryBecomesItsFileOnceComplete) {
    link.replies = {reply("M RT"), reply("R PMN10 G0\r\n"), reply("R PMN20 M30\r\n"),
                    reply("T FD")};
    receive({"PROG1.PM"});
    EXPECT_EQ(link.sentTexts(), (Texts{"PTPMPROG1", "T NB", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(folder.read("PROG1.PM"), "N10 G0\r\nN20 M30\r\n");
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});
    EXPECT_EQ(engine->status(), XS_COMPLETE);
    EXPECT_TRUE(engine->succeeded());
    EXPECT_EQ(engine->completedFiles(), Texts{"PROG1.PM"});
    EXPECT_EQ(op.beeps, 1);
    EXPECT_EQ(op.fields[TransferField::Amount], "0.02");
    EXPECT_EQ(op.fields[TransferField::FileSize], "Unknown");
}

TEST_F(DownloadTest, AnEmptyMemoryGivesAnEmptyFileAndAnEmptyListCompletesAtOnce) {
    link.replies = {reply("M RT"), reply("T FD")};
    receive({"EMPTY.PM"});
    EXPECT_EQ(folder.read("EMPTY.PM"), "");
    engine.reset();
    receive({});
    EXPECT_EQ(engine->status(), XS_COMPLETE);
    EXPECT_EQ(op.beeps, 2);
}

TEST_F(DownloadTest, APercentStreamIsCutIntoOneFilePerProgram) {
    // The second header is cut across two blocks.
    link.replies = {reply("M RT"), reply("R PM%PM1234\r\nN10 G0\r\n%PM56"),
                    reply("R PM78\r\nN10 X1\r\n"), reply("T FD")};
    receive({"PM.PM"}, kReceivePercentB);
    EXPECT_EQ(folder.read("1234.PM"), "N10 G0\r\n");
    EXPECT_EQ(folder.read("5678.PM"), "N10 X1\r\n");
    EXPECT_EQ(folder.entries(), (Names{"1234.PM", "5678.PM"}));
    EXPECT_EQ(engine->completedFiles(), (Texts{"1234.PM", "5678.PM"}));
    // Without % support the stream is one file, headers included.
    engine.reset();
    link.replies = {reply("M RT"), reply("R PM%PM1\r\nA\r\n%PM2\r\n"), reply("T FD")};
    receive({"PM.PM"});
    EXPECT_EQ(folder.read("PM.PM"), "%PM1\r\nA\r\n%PM2\r\n");
}

TEST_F(DownloadTest, YesToAllReplacesEveryProgramOfTheStreamAfterOneQuestion) {
    folder.write("1234.PM", "old 1");
    folder.write("5678.pm", "old 2");  // another case of the same name
    op.answers = {IDYESTOALL};
    link.replies = {reply("M RT"), reply("R PM%PM1234\r\nA\r\n%PM5678\r\nB\r\n"), reply("T FD")};
    receive({"PM.PM"}, kReceivePercentB);
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_EQ(op.questions[0].kind, QuestionKind::Replace);
    EXPECT_EQ(op.questions[0].flags, 0x4000Fu);
    EXPECT_EQ(op.questions[0].text,
              "Replace the file '1234.PM' in the current directory?\n\nUse 'Receive As...' to "
              "save using a different name.");
    EXPECT_EQ(folder.read("1234.PM"), "A\r\n");
    EXPECT_EQ(folder.read("5678.PM"), "B\r\n");
    EXPECT_EQ(folder.entries(), (Names{"1234.PM", "5678.PM"}));
}

TEST_F(DownloadTest, NoToReplaceBreaksOffAMemoryButOnlySkipsAProgramOfAStream) {
    folder.write("PROG1.PM", "old");
    op.answers = {IDNO};
    link.replies = {reply("M RT"), reply("R PMnew"), reply("M RT"), reply("R PMsecond"),
                    reply("T FD")};
    receive({"PROG1.PM", "PROG2.PM"});
    EXPECT_EQ(link.sentTexts(),
              (Texts{"PTPMPROG1", "T NB", "T BD", "PTPMPROG2", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(folder.read("PROG1.PM"), "old");
    EXPECT_EQ(folder.read("PROG2.PM"), "second");
    EXPECT_TRUE(engine->succeeded());

    engine.reset();
    link.sent.clear();
    folder.write("1.PM", "old");
    op.answers = {IDNO};
    link.replies = {reply("M RT"), reply("R PM%PM1\r\nA\r\n%PM2\r\nB\r\n"), reply("T FD")};
    receive({"PM.PM"}, kReceivePercentB);
    EXPECT_EQ(link.sentTexts(), (Texts{"PTPM", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(folder.read("1.PM"), "old");
    EXPECT_EQ(folder.read("2.PM"), "B\r\n");
}

TEST_F(DownloadTest, CancelAtTheReplaceQuestionStopsAndKeepsTheOldFile) {
    folder.write("PROG1.PM", "old");
    op.answers = {IDCANCEL};
    link.replies = {reply("M RT"), reply("R PMnew")};
    receive({"PROG1.PM", "PROG2.PM"});
    EXPECT_EQ(link.sentTexts(), (Texts{"PTPMPROG1", "T NB", "T BD"}));
    EXPECT_EQ(folder.read("PROG1.PM"), "old");
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});
    EXPECT_EQ(engine->status(), XS_STOPPING);
    EXPECT_FALSE(engine->succeeded());
}

TEST_F(DownloadTest, AFileToBeReplacedStaysUntilItsSuccessorIsWhole) {
    folder.write("PROG1.PM", "old");
    op.answers = {IDYES};
    link.replies = {reply("M RT"), reply("R PMnew part"), failure(DNC_ERR_TIMEOUT)};
    receive({"PROG1.PM"});
    EXPECT_EQ(folder.read("PROG1.PM"), "old");
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});
}

TEST_F(DownloadTest, ABrokenTransferIsReportedByItsLinkErrorAndLeavesNoFile) {
    const std::vector<std::pair<FakeReply, std::string>> cases = {
        {failure(DNC_ERR_TIMEOUT), texts::linkErrorReportText(12, "")},
        {failure(DNC_ERR_RECEIVE), texts::linkErrorReportText(8, "")},
        {failure(DNC_ERR_ENDED), texts::linkErrorReportText(11, "")},
        {reply("T BDOPERATOR STOP"), texts::linkErrorReportText(0, "")},
    };
    for (const auto& [broken, report] : cases) {
        engine.reset();
        op.questions.clear();
        link.replies = {reply("M RT"), reply("R PMfirst block"), broken};
        receive({"PROG1.PM"});
        ASSERT_EQ(op.questions.size(), 1u) << report;
        EXPECT_EQ(op.questions[0].flags, 0x10020u);
        EXPECT_EQ(op.questions[0].text,
                  texts::linkErrorReportText(broken.ok ? 0 : broken.errorCode, "PROG1.PM"));
        EXPECT_TRUE(folder.entries().empty());
        EXPECT_EQ(engine->status(), XS_STOPPING);
    }
    EXPECT_EQ(texts::linkErrorReportText(12, "X.PM"),
              "Unable to continue the transfer of the file 'X.PM'. The maximum receive timeout "
              "has expired.\nPlease check your cables.");
    EXPECT_EQ(engine->problem(), "PROG1.PM: the CNC broke off: OPERATOR STOP");
}

TEST_F(DownloadTest, CancelWhileReceivingDeletesThePartialFileAndKeepsCompletedOnes) {
    // Cancel pressed while the CNC sends the first block of PROG2.
    link.beforeAnswer = [this](const std::string& text) {
        if (text == "T NB" && link.sent.size() > 1 &&
            link.sent[link.sent.size() - 2].data == "PTPMPROG2") {
            EXPECT_TRUE(engine->cancel());
            EXPECT_FALSE(engine->cancel());  // a second press ends the dialog at once
        }
    };
    link.replies = {reply("M RT"), reply("R PMone"), reply("T FD"),
                    reply("M RT"), reply("R PMtwo"), reply("R PMmore")};
    receive({"PROG1.PM", "PROG2.PM"});
    EXPECT_EQ(link.sentTexts(),
              (Texts{"PTPMPROG1", "T NB", "T NB", "M OK", "PTPMPROG2", "T NB", "T BD"}));
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});
    EXPECT_EQ(engine->status(), XS_STOPPING);
    EXPECT_FALSE(engine->succeeded());
}

TEST_F(DownloadTest, AMemoryTheCncRefusesAsksWhetherToGoOn) {
    op.answers = {IDYES, IDYESTOALL};
    link.replies = {reply("T NP"), reply("T NP"), reply("T NP"), reply("M RT"), reply("T FD")};
    receive({"A.PM", "B.PM", "C.PM", "D.PM"});
    EXPECT_EQ(op.questionTexts(),
              (Texts{"Failed to access CNC memory 'A.PM'.\nContinue to receive?",
                     "Failed to access CNC memory 'B.PM'.\nContinue to receive?"}));
    EXPECT_EQ(op.questions[0].flags, 0x2000Bu);
    EXPECT_EQ(folder.entries(), Names{"D.PM"});
    EXPECT_EQ(engine->status(), XS_COMPLETE);
    EXPECT_FALSE(engine->succeeded());
    EXPECT_EQ(engine->problem(), "C.PM: the CNC answered \"T NP\"");

    // Going on past the last name stops without the completion beep.
    engine.reset();
    op.answers = {IDYES};
    link.replies = {reply("T NP")};
    receive({"E.PM"});
    EXPECT_EQ(engine->status(), XS_STOPPING);
    EXPECT_EQ(op.beeps, 1);
}

TEST_F(DownloadTest, AParityBitOnTheFirstPercentAsksAndYesReceivesWithoutSplitting) {
    const std::string data = "\xA5PM1\r\nN10\r\n";
    op.answers = {IDYES};
    link.replies = {reply("M RT"), reply("R PM" + data), reply("T FD")};
    receive({"PROG1.PM"}, kReceivePercentA);
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_EQ(op.questions[0].flags, 0x20006u);
    EXPECT_EQ(folder.read("PROG1.PM"), data);

    engine.reset();
    op.answers = {IDNO};
    link.sent.clear();
    link.replies = {reply("M RT"), reply("R PM" + data)};
    receive({"PROG2.PM"}, kReceivePercentA);
    EXPECT_EQ(link.sentTexts(), (Texts{"PTPMPROG2", "T NB", "T BD"}));
    EXPECT_FALSE(folder.read("PROG2.PM"));
}

TEST_F(DownloadTest, ReceiveAsAsksForEachNameAndCancelKeepsTheProposedOne) {
    op.newNames = {std::string("NEW.PM"), std::nullopt};
    link.replies = {reply("M RT"), reply("R PMa"), reply("T FD"),
                    reply("M RT"), reply("R PMb"), reply("T FD")};
    receive({"PROG1.PM", "PROG2.PM"}, kReceiveAskNames);
    EXPECT_EQ(op.prompts, (Texts{"Enter a new name for 'PROG1.PM':|PROG1.PM",
                                 "Enter a new name for 'PROG2.PM':|PROG2.PM"}));
    EXPECT_EQ(folder.entries(), (Names{"NEW.PM", "PROG2.PM"}));
}

TEST_F(DownloadTest, ANameTheFolderCannotHoldAsksRetryOrCancel) {
    // A header naming a program with a "/" in it.
    link.replies = {reply("M RT"), reply("R PM%PMA/B\r\nN10\r\n"), reply("T FD")};
    op.confirmations = {true, false};
    receive({"PM.PM"}, kReceivePercentB);
    ASSERT_EQ(op.boxes.size(), 2u);
    EXPECT_EQ(op.boxes[0].text,
              "QEL|Unable to open the file 'A/B.PM'.\nUnknown error.\nPress 'Retry' to try "
              "again.");
    EXPECT_EQ(link.sentTexts().back(), "T BD");
    EXPECT_TRUE(folder.entries().empty());

    // The folder went away: "no longer exists".
    engine.reset();
    TempFolder gone;
    std::filesystem::remove(gone.path);
    link.replies = {reply("M RT"), reply("R PMa"), reply("T FD")};
    op.boxes.clear();
    engine = std::make_unique<DownloadEngine>(client, op, Texts{"PROG1.PM"}, 0, gone.str());
    engine->setPauses(kNoPauses);
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(testing::runToEnd(*engine));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text,
              "QEL|The file 'PROG1.PM' no longer exists in the current directory.\nPress 'Retry' "
              "to look again.");
}

struct DataIoDownloadTest : DownloadTest {
    FakeLink dataIo;
    CncClient tape{linkOfType(DNC_LINK_DATAIO_XONXOFF), 0, dataIo};

    void receiveTape() {
        engine = std::make_unique<DownloadEngine>(tape, op, Texts{"*"}, 0, folder.str());
        engine->setPauses(kNoPauses);
        ASSERT_TRUE(engine->start());
        ASSERT_TRUE(testing::runToEnd(*engine));
        engine.reset();
        EXPECT_EQ(tape.transferState(), TransferState::Idle);
    }
};

TEST_F(DataIoDownloadTest, TheNamelessTapeIsStoredUnderTheNameTheOperatorGives) {
    dataIo.listens = {reply("N10 G0\r\n"), reply("N20 M30\r\n\x04")};
    op.newNames = {std::string("TAPE.PM")};
    receiveTape();
    EXPECT_EQ(op.prompts, Texts{"Enter a new name for '*':|*"});
    EXPECT_EQ(folder.read("TAPE.PM"), "N10 G0\r\nN20 M30\r\n");

    // No name: the tape is broken off (the reader's XOn/XOff state forgotten). A name still
    // beginning with "*": the tape is read to its end and dropped.
    dataIo.listens = {reply("X")};
    receiveTape();
    EXPECT_EQ(dataIo.setParams.back(), std::make_pair(DNC_PARAM_CLEAR_PEER_READY, 0));
    dataIo.listens = {reply("X"), reply("Y"), reply("Z\x04")};
    op.newNames = {std::string("*.PM")};
    receiveTape();
    EXPECT_TRUE(dataIo.listens.empty());
    EXPECT_EQ(folder.entries(), Names{"TAPE.PM"});
}

TEST(DataIoStop, AWaitWithoutLimitIsBrokenByDisconnectingAndLeavesNoFile) {
    FakeLink link;
    testing::WatchedLink watched(link);
    std::atomic<bool> disconnected{false};
    std::atomic<int> listens{0};
    // The second block never comes: the DataIO receive waits until the link goes.
    watched.beforeListen = [&] {
        if (++listens < 2) return;
        while (!disconnected) std::this_thread::sleep_for(1ms);
    };
    watched.afterDisconnect = [&] { disconnected = true; };
    link.listens = {reply("N10\r\n"), failure(DNC_ERR_ENDED)};
    CncClient tape(linkOfType(DNC_LINK_DATAIO_XONXOFF), 0, watched);
    ScriptedOperator op;
    op.newNames = {std::string("TAPE.PM")};
    TempFolder folder;
    DownloadEngine engine(tape, op, {"*"}, 0, folder.str());
    engine.setPauses({0ms, 0ms, 20ms});
    ASSERT_TRUE(engine.start());
    while (listens < 2) {
        engine.tick();  // asks for the tape's name
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(engine.cancel());  // on DataIO the dialog ends at once ...
    engine.stop();                  // ... and its end breaks the wait
    EXPECT_TRUE(disconnected);
    EXPECT_EQ(engine.status(), XS_STOPPING);
    EXPECT_TRUE(folder.entries().empty());
}

TEST(DownloadBarePercent, AMemoryStartingWithABarePercentLineIsReceivedByteExactUnderItsName) {
    FakeLink link;
    CncClient client(linkOfType(DNC_LINK_RXA2), 0, link);
    ScriptedOperator op;
    TempFolder folder;
    const std::string tape = "%\r\nN10 G0 X0\r\nN20 M30\r\n";
    link.replies = {reply("M RT"), reply("R PM" + tape.substr(0, 1)),
                    reply("R PM" + tape.substr(1)), reply("T FD")};
    DownloadEngine engine(client, op, {"PROG1.PM"}, kReceivePercentA | kReceivePercentB,
                          folder.str());
    engine.setPauses({0ms, 0ms, 50ms});
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(testing::runToEnd(engine));
    EXPECT_TRUE(engine.succeeded()) << engine.problem();
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});
    EXPECT_EQ(folder.read("PROG1.PM"), tape);
    EXPECT_TRUE(op.boxes.empty());
}

}  // namespace
}  // namespace qel
