#include "client/QelComC.h"

#include "FakeLink.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using testing::failure;
using testing::FakeLink;
using testing::reply;
using Texts = std::vector<std::string>;

LinkSettings linkOfType(int linkType) {
    LinkSettings settings;
    settings.linkType = linkType;
    settings.port = linkType == DNC_LINK_TCP_CLIENT ? 19000 : 1;
    settings.speed = 9600;
    settings.hostName = "127.0.0.1";
    return settings;
}

// The block results in the words most tests here check: true for data or the end; the CNC's
// reason in text when it broke off, empty text when the link failed.
bool readBlock(CncClient& client, std::string& text) {
    const BlockResult result = client.readBlock();
    text = result.text;
    return result.ok();
}
bool writeBlock(CncClient& client, std::string& data) {
    const BlockResult result = client.writeBlock(data);
    if (!result.ok() || result.endOfMemory()) data = result.text;
    return result.ok();
}

// A serial RXA/2 client: every transfer reserves the port itself.
struct CncClientTest : ::testing::Test {
    FakeLink link;
    CncClient client{linkOfType(DNC_LINK_RXA2), 0, link};

    // Every way out of a transfer gives the reservation back exactly once.
    void expectIdleAndReleased() {
        EXPECT_EQ(client.transferState(), TransferState::Idle);
        EXPECT_EQ(client.reserveDepth(), 0);
        EXPECT_EQ(link.reserves, link.releases);
    }
};

TEST_F(CncClientTest, RequestsAddressTypeInCapitalsThenTheNameUnchanged) {
    link.replies = {reply("T NP"), reply("T NP"), reply("T NP"), reply("T NP")};
    client.readOpen("PROG1.pm");
    client.readOpen("PM.PM");
    client.readOpen("pm");
    client.readOpen("Dir.Sub.PMX");
    EXPECT_EQ(link.sentTexts(), (Texts{"PTPMPROG1", "PTPM", "PTPM", "PTPMDir.Sub"}));
    expectIdleAndReleased();
}

TEST_F(CncClientTest, NamesTheCncCannotAddressAreRefusedWithoutSending) {
    const std::string tooLong(121, 'A');
    for (const std::string& name :
         Texts{"PROG1", "P", "PROG1.", "PROG1.P", ".PM", tooLong + ".PM"}) {
        EXPECT_FALSE(client.readOpen(name)) << name;
        EXPECT_FALSE(client.writeOpen(name)) << name;
        EXPECT_FALSE(client.deleteMemory(name)) << name;
        EXPECT_FALSE(client.listOpen(name)) << name;
    }
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(link.reserves, 0);
    link.replies = {reply("M OK")};
    EXPECT_TRUE(client.deleteMemory(std::string(120, 'A') + ".PM"));
}

TEST_F(CncClientTest, DeleteAddressesTheMemoryOrTheWholeType) {
    link.replies = {reply("M OK"), reply("M OK"), reply("T NP"), reply("M OK")};
    EXPECT_TRUE(client.deleteMemory("PROG1.PM"));
    EXPECT_TRUE(client.deleteMemory("PM.PM"));
    EXPECT_FALSE(client.deleteMemory("GONE.pm"));
    // The name runs to the last dot: never a shorter memory of the same type.
    EXPECT_TRUE(client.deleteMemory("A.B.PM"));
    EXPECT_EQ(link.sentTexts(), (Texts{"MCPMPROG1", "MCPM", "MCPMGONE", "MCPMA.B"}));
}

TEST_F(CncClientTest, ReadOpenStartsReceivingOnlyWhenTheCncIsReadyToTransmit) {
    link.replies = {reply("M RT")};
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    EXPECT_EQ(client.transferState(), TransferState::Receiving);
    EXPECT_EQ(client.reserveDepth(), 1);
    // A client in a transfer refuses other requests.
    EXPECT_FALSE(client.readOpen("PROG2.PM"));
    EXPECT_FALSE(client.showMessage("hello"));
    EXPECT_FALSE(client.deleteMemory("PROG2.PM"));
    EXPECT_EQ(client.freeMemory(), -1);
    EXPECT_EQ(link.sent.size(), 1u);
}

TEST_F(CncClientTest, ReadOpenRefusedOrUnansweredLeavesTheClientIdle) {
    link.replies = {reply("T NP"), failure(DNC_ERR_TIMEOUT)};
    EXPECT_FALSE(client.readOpen("PROG1.PM"));
    EXPECT_FALSE(client.readOpen("PROG1.PM"));
    EXPECT_EQ(client.lastError(), DNC_ERR_TIMEOUT);
    expectIdleAndReleased();
}

TEST_F(CncClientTest, ReadBlockDeliversDataTelegramsFromTheirFifthCharacter) {
    link.replies = {reply("M RT"),    reply("R PMG01 X10"), reply("S PMN20"),
                    reply("DIPMN30"), reply("R "),          reply("T FD")};
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    std::string text;
    ASSERT_TRUE(readBlock(client, text));
    EXPECT_EQ(text, "G01 X10");
    ASSERT_TRUE(readBlock(client, text));
    EXPECT_EQ(text, "N20");
    ASSERT_TRUE(readBlock(client, text));
    EXPECT_EQ(text, "N30");
    ASSERT_TRUE(readBlock(client, text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(client.transferState(), TransferState::Receiving);
    // "T FD" ends the file: acknowledged with "M OK", no reply awaited.
    ASSERT_TRUE(readBlock(client, text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(link.sent.back().expectReply);
    EXPECT_EQ(link.sent.back().data, "M OK");
    expectIdleAndReleased();
    EXPECT_FALSE(readBlock(client, text));
    EXPECT_EQ(link.sentTexts(),
              (Texts{"PTPMPROG1", "T NB", "T NB", "T NB", "T NB", "T NB", "M OK"}));
}

TEST_F(CncClientTest, ReadBlockHandsBackTheCncsReasonForBreakingOff) {
    link.replies = {reply("M RT"), reply("T BD"), reply("M RT"), reply("T BDNo tape")};
    std::string text;
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    EXPECT_FALSE(readBlock(client, text));
    EXPECT_EQ(text, "-");
    expectIdleAndReleased();
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    EXPECT_FALSE(readBlock(client, text));
    EXPECT_EQ(text, "No tape");
    expectIdleAndReleased();
}

TEST_F(CncClientTest, ReadBlockAbortsOnAnUnexpectedReplyAndEndsOnALinkFailure) {
    link.replies = {reply("M RT"), reply("M XX?"), reply("M RT"), failure(DNC_ERR_RECEIVE)};
    std::string text;
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    EXPECT_FALSE(readBlock(client, text));
    EXPECT_EQ(text, "M XX?");
    EXPECT_EQ(link.sent.back().data, "T BD");
    EXPECT_FALSE(link.sent.back().expectReply);
    expectIdleAndReleased();
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    const BlockResult failed = client.readBlock();
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.text, "");
    EXPECT_EQ(failed.linkError, DNC_ERR_RECEIVE);  // the result carries the link error
    expectIdleAndReleased();
}

TEST_F(CncClientTest, ListingOfAnEmptyTypeEndsAtTheFirstRead) {
    link.replies = {reply("T NP")};
    ASSERT_TRUE(client.listOpen("PM"));
    expectIdleAndReleased();
    std::string text = "stale";
    EXPECT_FALSE(readBlock(client, text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(link.sentTexts(), (Texts{"LIPM"}));
}

TEST_F(CncClientTest, ListingDeliversBlocksOfNamesUntilFileDone) {
    link.replies = {reply("M RT"), reply("R PMPROG1,PROG2"), reply("T FD"), reply("M NR")};
    ASSERT_TRUE(client.listOpen("pm"));
    std::string text;
    ASSERT_TRUE(readBlock(client, text));
    EXPECT_EQ(text, "PROG1,PROG2");
    ASSERT_TRUE(readBlock(client, text));
    expectIdleAndReleased();
    EXPECT_FALSE(client.listOpen("PM"));
    expectIdleAndReleased();
}

TEST_F(CncClientTest, WriteOpenKeepsTheReasonOfARefusal) {
    link.replies = {reply("T BDdisk full"), reply("M NR"), failure(DNC_ERR_TIMEOUT), reply("T NP"),
                    reply("M ??")};
    for (int expected : {51, 52, 54, 56, 0}) {
        EXPECT_FALSE(client.writeOpen("PROG1.PM"));
        EXPECT_EQ(client.takeFailureKind(), expected);
        EXPECT_EQ(client.takeFailureKind(), 0);
        expectIdleAndReleased();
    }
    EXPECT_EQ(link.sent[0].data, "PRPMPROG1");
}

TEST_F(CncClientTest, WriteBlockSendsTypedBlocksAndEndsWithFileDone) {
    link.replies = {reply("M RR"), reply("T NB"), reply("M OK")};
    ASSERT_TRUE(client.writeOpen("prog1.pm"));
    EXPECT_EQ(client.memoryType(), "PM");
    std::string data = "G01 X10";
    ASSERT_TRUE(writeBlock(client, data));
    data.clear();
    ASSERT_TRUE(writeBlock(client, data));
    EXPECT_EQ(link.sentTexts(), (Texts{"PRPMprog1", "R PMG01 X10", "T FD"}));
    expectIdleAndReleased();
    data = "late";
    EXPECT_FALSE(writeBlock(client, data));
    EXPECT_EQ(data, "");
}

TEST_F(CncClientTest, WriteBlockBrokenOffByTheCnc) {
    link.replies = {reply("M RR"), reply("T BD"), reply("M RR"), reply("T BDProtected")};
    std::string data = "N10";
    ASSERT_TRUE(client.writeOpen("PROG1.PM"));
    EXPECT_FALSE(writeBlock(client, data));
    EXPECT_EQ(data, "-");
    expectIdleAndReleased();
    data = "N10";
    ASSERT_TRUE(client.writeOpen("PROG1.PM"));
    EXPECT_FALSE(writeBlock(client, data));
    EXPECT_EQ(data, "Protected");
    expectIdleAndReleased();
}

TEST_F(CncClientTest, WriteBlockAbortsOnUnexpectedRepliesAndEndsOnLinkFailure) {
    link.replies = {reply("M RR"), reply("M OK"), reply("M RR"), failure(DNC_ERR_SEND)};
    std::string data = "N10";
    ASSERT_TRUE(client.writeOpen("PROG1.PM"));
    // "M OK" to a data block is not the end of the file.
    EXPECT_FALSE(writeBlock(client, data));
    EXPECT_EQ(data, "M OK");
    EXPECT_EQ(link.sent.back().data, "T BD");
    expectIdleAndReleased();
    data = "N10";
    ASSERT_TRUE(client.writeOpen("PROG1.PM"));
    EXPECT_FALSE(writeBlock(client, data));
    EXPECT_EQ(data, "");
    expectIdleAndReleased();
}

TEST_F(CncClientTest, FileDoneIsOnlyConfirmedByOk) {
    link.replies = {reply("M RR"), reply("T NB")};
    ASSERT_TRUE(client.writeOpen("PROG1.PM"));
    std::string data;
    EXPECT_FALSE(writeBlock(client, data));
    EXPECT_EQ(data, "T NB");
    EXPECT_EQ(link.sent.back().data, "T BD");
    expectIdleAndReleased();
}

TEST_F(CncClientTest, BehindTapeReaderOnlyForPartPrograms) {
    EXPECT_FALSE(client.btrOpen("PROG1.MP"));
    EXPECT_FALSE(client.btrOpen("PROG1.pm"));
    EXPECT_TRUE(link.sent.empty());
    link.replies = {reply("M RR"), reply("M NR")};
    ASSERT_TRUE(client.btrOpen("Prog1.PM"));
    EXPECT_EQ(client.transferState(), TransferState::Sending);
    EXPECT_TRUE(client.abort());
    expectIdleAndReleased();
    EXPECT_FALSE(client.btrOpen("Prog1.PM"));
    expectIdleAndReleased();
    EXPECT_EQ(link.sentTexts(), (Texts{"BRPMProg1", "T BD", "BRPMProg1"}));
}

TEST_F(CncClientTest, AbortOnlyBreaksOffATransferInProgress) {
    EXPECT_FALSE(client.abort());
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(CncClientTest, FreeMemoryReadsTheNumberAfterTheCode) {
    link.replies = {
        reply("R FR123456"), reply("R FR 42 bytes"),   reply("R FR"),
        reply("M NR"),       failure(DNC_ERR_TIMEOUT), reply("R FR99999999999999999999999")};
    EXPECT_EQ(client.freeMemory(), 123456);
    EXPECT_EQ(client.freeMemory(), 42);
    EXPECT_EQ(client.freeMemory(), -1);
    EXPECT_EQ(client.freeMemory(), -1);
    EXPECT_EQ(client.freeMemory(), -1);
    EXPECT_GT(client.freeMemory(), 0);  // saturates instead of overflowing
    EXPECT_EQ(link.sent[0].data, "M FR");
}

TEST_F(CncClientTest, ShowMessageIsCutToOneTelegram) {
    link.params[DNC_PARAM_MAX_TELEGRAM] = 128;
    link.replies = {reply("M OK"), reply("T BD")};
    EXPECT_TRUE(client.showMessage("QEL active on this CNC."));
    EXPECT_TRUE(client.showMessage(std::string(300, 'x')));  // the reply is not examined
    EXPECT_EQ(link.sent[0].data, "M DIQEL active on this CNC.");
    EXPECT_EQ(link.sent[1].data.size(), 128u);
}

TEST_F(CncClientTest, BlockPayloadFollowsTheTelegramSize) {
    link.params[DNC_PARAM_MAX_TELEGRAM] = 124;
    EXPECT_EQ(client.blockPayload(), 120);
    link.params[DNC_PARAM_MAX_TELEGRAM] = 128;
    EXPECT_EQ(client.blockPayload(), 124);
    link.params[DNC_PARAM_MAX_TELEGRAM] = 1024;
    EXPECT_EQ(client.blockPayload(), 124);
}

TEST(CncClientLifetime, DestroyingDuringATransferBreaksItOffThenDisconnects) {
    FakeLink link;
    link.replies = {reply("M RT")};
    {
        CncClient client(linkOfType(DNC_LINK_TCP_CLIENT), 0, link);
        ASSERT_TRUE(client.readOpen("PROG1.PM"));
    }
    EXPECT_EQ(link.sent.back().data, "T BD");
    EXPECT_EQ(link.disconnects, 1);
    EXPECT_EQ(link.closes, 1);
}

// Remote mode: the CNC asks, the PC serves.
TEST_F(CncClientTest, ServeTransmitNeedsAPtRequestAndExactlyNextBlock) {
    EXPECT_FALSE(client.serveTransmit("PRPMPROG1"));
    EXPECT_FALSE(client.serveTransmit("PT"));
    EXPECT_TRUE(link.sent.empty());
    link.replies = {reply("T NBX"), reply("T NB")};
    EXPECT_FALSE(client.serveTransmit("PTPMPROG1"));
    expectIdleAndReleased();
    ASSERT_TRUE(client.serveTransmit("PTMPPROG1"));
    EXPECT_EQ(client.memoryType(), "MP");
    EXPECT_EQ(link.sentTexts(), (Texts{"M RT", "M RT"}));
}

TEST_F(CncClientTest, ServeTransmitSendsBlocksAndFileDone) {
    link.replies = {reply("T NB")};
    link.listens = {reply("T NB"), reply("M OK")};
    ASSERT_TRUE(client.serveTransmit("PTPMPROG1"));
    std::string text = "G01";
    ASSERT_TRUE(client.serveBlock(text));
    EXPECT_EQ(client.serveAwait(text), ServeAnswer::Continue);
    EXPECT_EQ(client.transferState(), TransferState::Sending);
    text.clear();
    ASSERT_TRUE(client.serveBlock(text));
    EXPECT_EQ(client.serveAwait(text), ServeAnswer::Continue);
    expectIdleAndReleased();
    EXPECT_EQ(link.sent[1].data, "R PMG01");
    EXPECT_FALSE(link.sent[1].expectReply);
    EXPECT_EQ(link.sent[2].data, "T FD");
}

TEST_F(CncClientTest, ServeAwaitHandsBackTheCncsReason) {
    link.replies = {reply("T NB"), reply("T NB"), reply("T NB")};
    link.listens = {reply("T BD"), reply("T BDStopped"), reply("M XXwhat")};
    for (const std::string& expected : Texts{"0", "Stopped", "what"}) {
        ASSERT_TRUE(client.serveTransmit("PTPMPROG1"));
        std::string text = "G01";
        client.serveBlock(text);
        EXPECT_EQ(client.serveAwait(text), ServeAnswer::Stop);
        EXPECT_EQ(text, expected);
        expectIdleAndReleased();
    }
    EXPECT_EQ(link.sent.back().data, "T BD");  // the unexpected answer is broken off
}

TEST_F(CncClientTest, ServeAwaitWithoutAnAnswerKeepsTheTransferForTheCaller) {
    link.replies = {reply("T NB")};
    ASSERT_TRUE(client.serveTransmit("PTPMPROG1"));
    std::string text = "G01";
    client.serveBlock(text);
    EXPECT_EQ(client.serveAwait(text), ServeAnswer::NoAnswer);
    EXPECT_EQ(client.transferState(), TransferState::Sending);
    EXPECT_TRUE(client.abort());
    expectIdleAndReleased();
}

TEST_F(CncClientTest, ServeBlockFailureEndsTheTransfer) {
    link.replies = {reply("T NB")};
    ASSERT_TRUE(client.serveTransmit("PTPMPROG1"));
    link.failSends = true;
    std::string text = "G01";
    EXPECT_FALSE(client.serveBlock(text));
    EXPECT_EQ(text, "");
    expectIdleAndReleased();
}

TEST_F(CncClientTest, ServeReceiveLeavesTheFirstBlockInTheRequest) {
    link.replies = {reply("R PMG01"), reply("T FD")};
    std::string request = "PRPMPROG1";
    ASSERT_TRUE(client.serveReceive(request));
    EXPECT_EQ(request, "R PMG01");
    EXPECT_EQ(client.transferState(), TransferState::Receiving);
    std::string text;
    ASSERT_TRUE(readBlock(client, text));
    expectIdleAndReleased();
}

TEST_F(CncClientTest, ServeReceiveOfAnEmptyFileIsAcknowledged) {
    link.replies = {reply("T FD"), reply("M NR")};
    std::string request = "PRPMPROG1";
    EXPECT_FALSE(client.serveReceive(request));
    EXPECT_EQ(link.sentTexts(), (Texts{"M RR", "M OK"}));
    expectIdleAndReleased();
    EXPECT_FALSE(client.serveReceive(request));
    request = "PTPMPROG1";
    EXPECT_FALSE(client.serveReceive(request));
    expectIdleAndReleased();
    EXPECT_EQ(link.sent.size(), 3u);
}

// DataIO: raw data, no telegrams.
struct DataIoClientTest : ::testing::Test {
    FakeLink link;
    std::unique_ptr<CncClient> client;

    void open(int linkType, int leaderLength) {
        client = std::make_unique<CncClient>(linkOfType(linkType), leaderLength, link);
    }
};

TEST_F(DataIoClientTest, LeaderAndTrailerFrameTheFile) {
    open(DNC_LINK_DATAIO_XONXOFF, 10);
    ASSERT_TRUE(client->writeOpen("PROG1.PM"));
    std::string data = "%\nG01\n";
    ASSERT_TRUE(writeBlock(*client, data));
    data.clear();
    ASSERT_TRUE(writeBlock(*client, data));
    EXPECT_EQ(link.sentTexts(), (Texts{std::string(10, '\0'), "%\nG01\n",
                                       std::string("\x04") + std::string(9, '\0')}));
    for (const auto& sent : link.sent) EXPECT_FALSE(sent.expectReply);
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_EQ(link.reserves, link.releases);
}

TEST_F(DataIoClientTest, WithoutLeaderTheTrailerIsTheEotAlone) {
    open(DNC_LINK_DATAIO_RTSCTS, 0);
    ASSERT_TRUE(client->writeOpen("x"));
    std::string data;
    ASSERT_TRUE(writeBlock(*client, data));
    EXPECT_EQ(link.sentTexts(), (Texts{"\x04"}));
}

TEST_F(DataIoClientTest, LeaderIsLimitedByTheTelegramSize) {
    open(DNC_LINK_DATAIO_RTSCTS, 5000);
    EXPECT_EQ(client->leaderLength(), DNC_MAX_MESSAGE - 1);
    EXPECT_EQ(client->blockPayload(), DNC_MAX_MESSAGE);
}

TEST_F(DataIoClientTest, ASendFailureEndsTheTransferWithFailure) {
    open(DNC_LINK_DATAIO_RTSCTS, 4);
    link.failSends = true;
    EXPECT_FALSE(client->writeOpen("PROG1.PM"));  // the leader did not go out
    EXPECT_EQ(link.reserves, link.releases);
    link.failSends = false;
    ASSERT_TRUE(client->writeOpen("PROG1.PM"));
    link.failSends = true;
    std::string data = "G01";
    EXPECT_FALSE(writeBlock(*client, data));
    EXPECT_EQ(data, "");
    ASSERT_EQ(client->transferState(), TransferState::Idle);
    link.failSends = false;
    ASSERT_TRUE(client->writeOpen("PROG1.PM"));
    link.failSends = true;
    data.clear();
    EXPECT_FALSE(writeBlock(*client, data));  // the trailer did not go out
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_EQ(link.reserves, link.releases);
}

TEST_F(DataIoClientTest, ReadingEndsAtTheEot) {
    open(DNC_LINK_DATAIO_XONXOFF, 0);
    link.listens = {reply("%\nG01\n"), reply(std::string("M30\n\x04junk", 9))};
    ASSERT_TRUE(client->readOpen("ignored"));
    EXPECT_FALSE(client->readOpen("again"));
    std::string text;
    ASSERT_TRUE(readBlock(*client, text));
    EXPECT_EQ(text, "%\nG01\n");
    ASSERT_TRUE(readBlock(*client, text));
    EXPECT_EQ(text, "M30\n");
    EXPECT_EQ(client->transferState(), TransferState::DataIoEndSeen);
    EXPECT_EQ(link.reserves, link.releases);
    ASSERT_TRUE(readBlock(*client, text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_FALSE(readBlock(*client, text));
    EXPECT_EQ(link.reserves, link.releases);
}

TEST_F(DataIoClientTest, AReadFailureEndsTheTransfer) {
    open(DNC_LINK_DATAIO_XONXOFF, 0);
    ASSERT_TRUE(client->readOpen("x"));
    std::string text = "stale";
    EXPECT_FALSE(readBlock(*client, text));  // nothing scripted: time-out
    EXPECT_EQ(text, "");
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_EQ(link.reserves, link.releases);
}

TEST_F(DataIoClientTest, AbortForgetsThePeerStateAndReleasesOnlyAnOpenTransfer) {
    open(DNC_LINK_DATAIO_XONXOFF, 0);
    EXPECT_TRUE(client->abort());
    EXPECT_EQ(link.releases, 0);
    ASSERT_TRUE(client->readOpen("x"));
    EXPECT_TRUE(client->abort());
    EXPECT_EQ(link.reserves, link.releases);
    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(link.setParams.back(), (P{DNC_PARAM_CLEAR_PEER_READY, 0}));
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(DataIoClientTest, TelegramRequestsFailWithoutSendingOnEveryDataIoType) {
    for (int type : {DNC_LINK_DATAIO_RTSCTS, DNC_LINK_DATAIO_XONXOFF, DNC_LINK_DATAIO_CTS}) {
        open(type, 0);
        EXPECT_FALSE(client->showMessage("hello")) << type;
        EXPECT_FALSE(client->deleteMemory("PROG1.PM")) << type;
        EXPECT_FALSE(client->listOpen("PM")) << type;
        EXPECT_FALSE(client->btrOpen("PROG1.PM")) << type;
        EXPECT_FALSE(client->serveTransmit("PTPMPROG1")) << type;
        EXPECT_EQ(client->freeMemory(), 0) << type;
    }
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(CncClientTest, ABlockResultSaysHowTheExchangeEndedWithoutASecondTrip) {
    link.replies = {
        reply("M RT"), reply("R PMN10"),         reply("T FD"), reply("M RT"), reply("T BDNo tape"),
        reply("M RT"), failure(DNC_ERR_TIMEOUT), reply("M RR"), reply("T NB"), reply("M OK")};
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    BlockResult block = client.readBlock();
    EXPECT_EQ(block.end, BlockEnd::Data);
    EXPECT_EQ(block.text, "N10");
    EXPECT_EQ(client.readBlock().end, BlockEnd::EndOfMemory);

    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    block = client.readBlock();
    EXPECT_EQ(block.end, BlockEnd::BrokenOff);
    EXPECT_EQ(block.text, "No tape");

    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    block = client.readBlock();
    EXPECT_EQ(block.end, BlockEnd::LinkFailed);
    EXPECT_EQ(block.linkError, DNC_ERR_TIMEOUT);  // taken where it happened
    EXPECT_EQ(client.lastError(), 0);
    expectIdleAndReleased();

    ASSERT_TRUE(client.writeOpen("PROG1.PM"));
    EXPECT_EQ(client.writeBlock("N10").end, BlockEnd::Data);
    EXPECT_EQ(client.writeBlock("").end, BlockEnd::EndOfMemory);
    expectIdleAndReleased();
}

TEST_F(CncClientTest, AnEndConfirmedLaterIsAnsweredOkOrRefusedWithBreakOff) {
    link.replies = {reply("M RT"), reply("T FD"), reply("M RT"), reply("T FD")};
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    EXPECT_EQ(client.readBlock(CncClient::EndConfirmation::Later).end, BlockEnd::EndOfMemory);
    EXPECT_EQ(link.sentTexts().back(), "T NB");  // nothing answered yet
    EXPECT_EQ(client.transferState(), TransferState::Receiving);
    EXPECT_TRUE(client.confirmEnd());
    EXPECT_EQ(link.sentTexts().back(), "M OK");
    expectIdleAndReleased();
    ASSERT_TRUE(client.readOpen("PROG1.PM"));
    EXPECT_EQ(client.readBlock(CncClient::EndConfirmation::Later).end, BlockEnd::EndOfMemory);
    EXPECT_TRUE(client.abort());
    EXPECT_EQ(link.sentTexts().back(), "T BD");
    EXPECT_FALSE(client.confirmEnd());
    expectIdleAndReleased();
}

TEST(CncClientConnect, AClientConnectsOnlyWhenAskedAndReconnectsWithANewLinkType) {
    FakeLink link;
    CncClient client(link);
    EXPECT_EQ(link.connects, 0);
    EXPECT_FALSE(client.isConnected());
    EXPECT_TRUE(client.connect(linkOfType(DNC_LINK_RXA2), 0));
    EXPECT_EQ(client.linkType(), DNC_LINK_RXA2);
    link.connectSucceeds = false;
    EXPECT_FALSE(client.connect(linkOfType(DNC_LINK_TCP_CLIENT), 0));
    EXPECT_EQ(client.linkType(), DNC_LINK_TCP_CLIENT);
    EXPECT_EQ(client.lastError(), DNC_ERR_CONNECT);
}

}  // namespace
}  // namespace qel
