// Whole files in blocks: the CNC sends ("PR") and the CNC asks for one ("PT").
#include "RemoteCommandsFixture.h"

namespace qel::remote {
namespace {

using Texts = std::vector<std::string>;
using RemoteTransfers = testing::RemoteCommandsFixture;

// ---- PR: the CNC sends a file ----

TEST_F(RemoteTransfers, ReceivesAFileBlockByBlockAndNamesItOnlyAtTheEnd) {
    EXPECT_EQ(perform("PRPMNEW", {"R PMline 1\n", "R PMline 2\n", "T FD"}),
              (Texts{"M RR", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(testing::readFile(served / "NEW.PM"), "line 1\nline 2\n");
    EXPECT_EQ(testing::namesIn(served), Texts{"NEW.PM"});
    EXPECT_EQ(logged(), Texts{"'NEW.PM' successfully received from the CNC."});
    EXPECT_EQ(view.statuses(),
              (Texts{"Receiving the file 'NEW.PM' (size unknown)", "Waiting for DNC commands"}));
    // Kilobytes while receiving, one step per block; back to 0 % at the end.
    EXPECT_EQ(view.progress(), (Texts{"0|(0.00KB)", "0|(0.12KB)", "0|(0.24KB)", "0|0%"}));
    EXPECT_EQ(view.buttons(), (Texts{"-/-", "-/abort", "-/-"}));
    EXPECT_EQ(link.transferState(), TransferState::Idle);
}

TEST_F(RemoteTransfers, AFileOfTheNameThatAppearsMeanwhileStaysAndTheCncIsToldNotOk) {
    // Another program stores NEW.PM while the CNC sends its own.
    cnc.onSent = [this](const std::string& text) {
        if (text == "T NB") put("NEW.PM", "the other program's");
    };
    EXPECT_EQ(perform("PRPMNEW", {"R PMline 1\n", "T FD"}), (Texts{"M RR", "T NB", "T BD"}));
    EXPECT_EQ(testing::readFile(served / "NEW.PM"), "the other program's");
    EXPECT_EQ(testing::namesIn(served), Texts{"NEW.PM"});  // no hidden part left
    EXPECT_EQ(logged(), Texts{"Error while writing the file 'NEW.PM'."});
    EXPECT_EQ(link.transferState(), TransferState::Idle);
}

TEST_F(RemoteTransfers, ReceiveKeepsTextUpToANulAndGoesOnAfterAnEmptyBlock) {
    EXPECT_EQ(perform("PRPMNUL", {std::string("R PMab\0cd", 9), "R PM", "R PMef", "T FD"}),
              (Texts{"M RR", "T NB", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(testing::readFile(served / "NUL.PM"), "abef");
}

TEST_F(RemoteTransfers, ReceiveOfAnExistingFileIsRefusedAndLeavesItUntouched) {
    put("OLD.PM", "keep me");
    EXPECT_EQ(perform("PRPMold"), Texts{"M NR"});
    EXPECT_EQ(logged(), Texts{"The file 'old.PM' already exists."});
    EXPECT_EQ(testing::readFile(served / "OLD.PM"), "keep me");
    std::filesystem::create_directory(served / "DIR.PM");
    EXPECT_EQ(perform("PRPMDIR"), Texts{"T NP"});
    EXPECT_EQ(logged(), Texts{"Unable to create the file 'DIR.PM'."});
}

TEST_F(RemoteTransfers, ReceiveAnsweredWithFileDoneKeepsAnEmptyFileAndLogsNothing) {
    EXPECT_EQ(perform("PRPMEMPTY", {"T FD"}), (Texts{"M RR", "M OK"}));
    EXPECT_EQ(testing::readFile(served / "EMPTY.PM"), "");
    EXPECT_TRUE(logged().empty());
    EXPECT_EQ(view.statuses().back(), "Waiting for DNC commands");
}

TEST_F(RemoteTransfers, ReceiveWithoutAnswerKeepsNothingSoTheCncCanTryAgain) {
    EXPECT_EQ(perform("PRPMNEW"), Texts{"M RR"});  // silence
    EXPECT_EQ(perform("PRPMNEW", {"M NR"}), Texts{"M RR"});
    EXPECT_TRUE(testing::namesIn(served).empty());
    EXPECT_EQ(perform("PRPMNEW", {"R PMdata", "T FD"}), (Texts{"M RR", "T NB", "M OK"}));
    EXPECT_EQ(testing::readFile(served / "NEW.PM"), "data");
}

TEST_F(RemoteTransfers, ReceiveBrokenOffByTheCncDeletesThePartAndShowsItsReason) {
    EXPECT_EQ(perform("PRPMNEW", {"R PMpart", "T BDMEMORY FULL"}), (Texts{"M RR", "T NB"}));
    EXPECT_TRUE(testing::namesIn(served).empty());
    EXPECT_EQ(logged(), (Texts{"Receive was aborted or a communication failure has occured.",
                               "The CNC reports the following error: 'MEMORY FULL'"}));
    // An unexpected telegram: the PC breaks off and shows what came.
    EXPECT_EQ(perform("PRPMNEW", {"R PMpart", "M XX"}), (Texts{"M RR", "T NB", "T BD"}));
    EXPECT_EQ(logged().back(), "The CNC reports the following error: 'M XX'");
    // A lost link: no reason to show.
    EXPECT_EQ(perform("PRPMNEW", {"R PMpart"}), (Texts{"M RR", "T NB"}));
    EXPECT_EQ(logged(), Texts{"Receive was aborted or a communication failure has occured."});
    EXPECT_TRUE(testing::namesIn(served).empty());
    EXPECT_EQ(link.transferState(), TransferState::Idle);
}

TEST_F(RemoteTransfers, AbortDuringReceiveBreaksOffAndDeletesThePart) {
    // Abort pressed while the CNC sends the second block: the receive stops after it.
    cnc.onSent = [this](const std::string& text) {
        if (text == "T NB") abortRequested = true;
    };
    EXPECT_EQ(perform("PRPMNEW", {"R PMone", "R PMtwo", "R PMthree", "T FD"}),
              (Texts{"M RR", "T NB", "T BD"}));
    EXPECT_TRUE(testing::namesIn(served).empty());
    EXPECT_EQ(logged(), Texts{"Transfer of 'NEW.PM' aborted."});
    EXPECT_FALSE(abortRequested);
}

TEST_F(RemoteTransfers, AbortBeforeTheTransferIsForgottenButCountsOnceItStarted) {
    abortRequested = true;
    EXPECT_EQ(perform("PRPMNEW", {"R PMone", "T FD"}), (Texts{"M RR", "T NB", "M OK"}));
    EXPECT_EQ(testing::readFile(served / "NEW.PM"), "one");
    // Pressed while the first block was on its way: the receive stops right after it.
    cnc.onSent = [this](const std::string& text) {
        if (text == "M RR") abortRequested = true;
    };
    EXPECT_EQ(perform("PRPMOTHER", {"R PMone", "T FD"}), (Texts{"M RR", "T BD"}));
    EXPECT_EQ(logged(), Texts{"Transfer of 'OTHER.PM' aborted."});
    EXPECT_FALSE(std::filesystem::exists(served / "OTHER.PM"));
}

// ---- PT: the CNC asks for a file ----

TEST_F(RemoteTransfers, SendsAFileInBlocksEndedByFileDone) {
    const std::string content = std::string(124, 'a') + std::string(124, 'b') + "tail";
    put("PROG1.PM", content);
    EXPECT_EQ(perform("PTPMprog1", {"T NB", "T NB", "T NB", "T NB", "M OK"}),
              (Texts{"M RT", "R PM" + std::string(124, 'a'), "R PM" + std::string(124, 'b'),
                     "R PMtail", "T FD"}));
    EXPECT_EQ(logged(), Texts{"'prog1.PM' successfully sent to the CNC."});
    EXPECT_EQ(view.statuses(),
              (Texts{"Sending the file 'prog1.PM' (0.25 KB)", "Waiting for DNC commands"}));
    // Only full blocks move the display.
    EXPECT_EQ(view.progress(),
              (Texts{"0|0% (0.00KB)", "49|49% (0.12KB)", "98|98% (0.24KB)", "0|0%"}));
    EXPECT_EQ(link.transferState(), TransferState::Idle);
}

TEST_F(RemoteTransfers, SendOfAnEmptyFileIsJustFileDone) {
    put("EMPTY.PM", "");
    EXPECT_EQ(perform("PTPMEMPTY", {"T NB", "M OK"}), (Texts{"M RT", "T FD"}));
    EXPECT_EQ(logged(), Texts{"'EMPTY.PM' successfully sent to the CNC."});
}

TEST_F(RemoteTransfers, SendCutsABlockAtANulAndABlockStartingWithOneEndsTheFile) {
    put("NUL.PM", std::string("abc\0def", 7));
    EXPECT_EQ(perform("PTPMNUL", {"T NB", "T NB", "M OK"}), (Texts{"M RT", "R PMabc", "T FD"}));
    put("LEAD.PM", std::string(124, 'x') + std::string("\0rest", 5));
    EXPECT_EQ(perform("PTPMLEAD", {"T NB", "T NB", "M OK"}),
              (Texts{"M RT", "R PM" + std::string(124, 'x'), "T FD"}));
    EXPECT_EQ(logged(), Texts{"'LEAD.PM' successfully sent to the CNC."});
}

TEST_F(RemoteTransfers, SendOfAMissingOrUnreadableFileIsRefused) {
    EXPECT_EQ(perform("PTPMNONE"), Texts{"M NR"});
    EXPECT_EQ(logged(), Texts{"The file 'NONE.PM' was not found in current directory."});
    std::filesystem::create_directory(served / "DIR.PM");
    EXPECT_EQ(perform("PTPMDIR"), Texts{"T NP"});
    EXPECT_EQ(logged(), Texts{"The file 'DIR.PM' can not be uploaded."});
}

TEST_F(RemoteTransfers, SendBrokenOffByTheCncShowsItsReason) {
    put("BIG.PM", std::string(500, 'x'));
    EXPECT_EQ(perform("PTPMBIG", {"T NB", "T NB", "T BDNO ROOM"}),
              (Texts{"M RT", "R PM" + std::string(124, 'x'), "R PM" + std::string(124, 'x')}));
    EXPECT_EQ(logged(), (Texts{"Transfer of 'BIG.PM' aborted.",
                               "The CNC reports the following error: 'NO ROOM'"}));
    // An unexpected answer: the PC breaks off with "T BD".
    const Texts sent = perform("PTPMBIG", {"T NB", "M XXodd"});
    EXPECT_EQ(sent.back(), "T BD");
    EXPECT_EQ(logged().back(), "The CNC reports the following error: 'odd'");
    // No "T NB" to start with: nothing is sent.
    EXPECT_EQ(perform("PTPMBIG", {"M NR"}), Texts{"M RT"});
    EXPECT_EQ(logged(), Texts{"Communication failure."});
    EXPECT_EQ(link.transferState(), TransferState::Idle);
}

TEST_F(RemoteTransfers, SendWaitsOutSilenceButNotALostLink) {
    put("A.PM", "abc");
    cnc.cncSends("T NB");
    cnc.receiveFails(DNC_ERR_TIMEOUT);
    cnc.receiveFails(DNC_ERR_TIMEOUT);
    EXPECT_EQ(perform("PTPMA", {"T NB", "M OK"}), (Texts{"M RT", "R PMabc", "T FD"}));
    EXPECT_EQ(logged(), Texts{"'A.PM' successfully sent to the CNC."});

    cnc.cncSends("T NB");
    cnc.receiveFails(DNC_ERR_CONNECTION);
    EXPECT_EQ(perform("PTPMA", {"T NB", "M OK"}), (Texts{"M RT", "R PMabc", "T BD"}));
    EXPECT_EQ(logged(), Texts{"Transfer of 'A.PM' aborted."});
}

TEST_F(RemoteTransfers, AbortDuringSendStopsAtTheNextBlockWithoutTheCncsReason) {
    put("BIG.PM", std::string(1000, 'x'));
    int blocks = 0;
    cnc.onSent = [&](const std::string& text) {
        if (text.rfind("R PM", 0) == 0 && ++blocks == 2) abortRequested = true;
    };
    const Texts sent = perform("PTPMBIG", {"T NB", "T NB", "T NB", "T NB", "T NB"});
    EXPECT_EQ(sent.size(), 4u);  // "M RT", two blocks, "T BD"
    EXPECT_EQ(sent.back(), "T BD");
    EXPECT_EQ(logged(), Texts{"Transfer of 'BIG.PM' aborted."});
    EXPECT_FALSE(abortRequested);
}

}  // namespace
}  // namespace qel::remote
