// The remote-mode engine with its worker thread, talking to a scripted CNC that waits like a
// TCP server link: starting, serving, Abort, Exit and Browse.
#include "remote/TesselD.h"

#include "ConversationLink.h"
#include "RemoteTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace qel::remote {
namespace {

using std::chrono::milliseconds;
using testing::ConversationLink;
using Texts = std::vector<std::string>;

RemoteLinkSetup tcpServerSetup() {
    RemoteLinkSetup setup;
    setup.settings.linkType = DNC_LINK_TCP_SERVER;
    setup.settings.port = 19000;
    setup.settings.flags = DNC_FLAG_RESERVE | DNC_FLAG_NO_LOGIN;
    setup.timeout = 1;
    setup.retries = 2;
    return setup;
}

// Polls a condition the worker brings about; fails the wait after two seconds.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 2000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return condition();
}

struct RemoteEngineTest : ::testing::Test {
    testing::TempFolder folder;
    ConversationLink cnc{true};
    CncClient link{tcpServerSetup().settings, 0, cnc};
    RemoteModeDisplay display;
    testing::RecordingView view{display};
    RemoteModeEngine engine{link, display, folder.string()};

    // Sends a telegram as the CNC and returns the PC's next one.
    std::string ask(const std::string& telegram) {
        cnc.cncSends(telegram);
        return cnc.nextSent().value_or("(nothing)");
    }
    std::string next() { return cnc.nextSent().value_or("(nothing)"); }
    void exitAndFinish() {
        engine.requestExit();
        engine.finish();
    }
};

TEST_F(RemoteEngineTest, StartsWaitingForCommandsAndAnswersThemInOrder) {
    cnc.staleErrors({DNC_ERR_TIMEOUT, DNC_ERR_SEND});
    engine.start();
    EXPECT_EQ(display.status(), "Waiting for DNC commands");
    EXPECT_EQ(ask("MPINLathe"), "M OKRemote Mode QEL 4.10 Veva");
    EXPECT_EQ(ask("M VN"), "R VNSxxxx_V4xx QEL Veva");
    EXPECT_EQ(ask("XXXX"), "M NR3");
    // Old errors were cleared before serving: none is taken for a receive error.
    EXPECT_EQ(view.lines(), (Texts{"Connected to CNC: Lathe", "Connected to CNC: QEL"}));
    exitAndFinish();
    EXPECT_FALSE(engine.workerRunning());
}

TEST_F(RemoteEngineTest, APortThatCannotBeReservedMakesRemoteModeSlowerNotStop) {
    // A serial link: the reservation is made by the engine, not by the connection.
    ConversationLink serialCnc{true};
    LinkSettings serial;
    serial.linkType = DNC_LINK_RXA2;
    serial.port = 1;
    CncClient serialLink(serial, 0, serialCnc);
    serialCnc.failReserve();
    RemoteModeDisplay serialDisplay;
    RemoteModeEngine serialEngine(serialLink, serialDisplay, folder.string());
    serialEngine.start();
    EXPECT_EQ(serialDisplay.status(), "Port alreay in use. Remote mode will be slower");
    serialCnc.cncSends("M VN");
    EXPECT_EQ(serialCnc.nextSent(), "R VNSxxxx_V4xx QEL Veva");
    serialEngine.requestExit();
    serialEngine.finish();
    EXPECT_EQ(serialCnc.count("release"), 0);  // nothing reserved, nothing to give back
}

TEST_F(RemoteEngineTest, ReceiveErrorsAreLoggedOneByOneAndSilenceIsNot) {
    engine.start();
    cnc.receiveFails(DNC_ERR_TIMEOUT);
    cnc.receiveFails(DNC_ERR_ENDED);
    cnc.receiveFails(DNC_ERR_RECEIVE);
    EXPECT_EQ(ask("M VN"), "R VNSxxxx_V4xx QEL Veva");
    EXPECT_EQ(view.lines(), (Texts{"A communication error occured while waiting for commands. (11)",
                                   "A communication error occured while waiting for commands. (8)",
                                   "Connected to CNC: QEL"}));
    exitAndFinish();
}

TEST_F(RemoteEngineTest, ExitBreaksTheWaitForACommandAndReturnsTheLine) {
    engine.start();
    ASSERT_TRUE(cnc.waitUntilPcListens());
    engine.requestExit();
    engine.requestExit();  // pressed again while closing: logged once
    engine.finish();
    EXPECT_FALSE(engine.workerRunning());
    EXPECT_EQ(view.lines(), Texts{"Closing server. Please wait..."});
    EXPECT_EQ(cnc.count("disconnect"), 1);
    EXPECT_EQ(link.reserveDepth(), 1);  // only the connection's own reservation is left
}

TEST_F(RemoteEngineTest, ExitDuringASendEndsItAbortedAtTheNextBlock) {
    testing::writeFile(folder / "BIG.PM", std::string(1000, 'x'));
    engine.start();
    EXPECT_EQ(ask("PTPMBIG"), "M RT");
    EXPECT_EQ(ask("T NB").substr(0, 4), "R PM");
    EXPECT_FALSE(display.exitEnabled());
    EXPECT_TRUE(display.abortEnabled());
    engine.requestExit();  // the PC waits for the CNC's "T NB"
    engine.finish();
    EXPECT_EQ(view.lines(),
              (Texts{"Closing server. Please wait...", "Transfer of 'BIG.PM' aborted."}));
    EXPECT_EQ(display.status(), "Waiting for DNC commands");
    EXPECT_FALSE(display.abortEnabled());
    EXPECT_EQ(link.transferState(), TransferState::Idle);
}

TEST_F(RemoteEngineTest, ExitDuringAReceiveDeletesThePartlyReceivedFile) {
    engine.start();
    EXPECT_EQ(ask("PRPMNEW"), "M RR");
    EXPECT_EQ(ask("R PMfirst block"), "T NB");
    engine.requestExit();
    engine.finish();
    EXPECT_EQ(view.lines().back(), "Transfer of 'NEW.PM' aborted.");
    EXPECT_TRUE(testing::namesIn(folder.path()).empty());
}

TEST_F(RemoteEngineTest, AbortDuringAReceiveStopsAfterTheBlockInFlight) {
    engine.start();
    EXPECT_EQ(ask("PRPMNEW"), "M RR");
    EXPECT_EQ(ask("R PMone"), "T NB");
    EXPECT_EQ(ask("R PMtwo"), "T NB");
    engine.abortTransfer();
    EXPECT_EQ(ask("R PMthree"), "T BD");
    ASSERT_TRUE(eventually([&] { return display.exitEnabled(); }));
    EXPECT_EQ(view.lines(), Texts{"Transfer of 'NEW.PM' aborted."});
    EXPECT_TRUE(testing::namesIn(folder.path()).empty());
    // Serving goes on, and the next transfer is not aborted.
    EXPECT_EQ(ask("PRPMNEW"), "M RR");
    EXPECT_EQ(ask("R PMagain"), "T NB");
    EXPECT_EQ(ask("T FD"), "M OK");
    ASSERT_TRUE(eventually([&] { return view.lines().size() == 2; }));
    EXPECT_EQ(testing::readFile(folder / "NEW.PM"), "again");
    exitAndFinish();
}

TEST_F(RemoteEngineTest, AbortWhileIdleDoesNotTouchTheNextTransfer) {
    testing::writeFile(folder / "A.PM", "abc");
    engine.start();
    engine.abortTransfer();
    EXPECT_EQ(ask("PTPMA"), "M RT");
    EXPECT_EQ(ask("T NB"), "R PMabc");
    EXPECT_EQ(ask("T NB"), "T FD");
    cnc.cncSends("M OK");
    ASSERT_TRUE(eventually([&] { return !view.lines().empty(); }));
    EXPECT_EQ(view.lines(), Texts{"'A.PM' successfully sent to the CNC."});
    exitAndFinish();
}

TEST_F(RemoteEngineTest, BrowseTakesEffectWithTheNextDirectoryRequest) {
    testing::TempFolder other;
    testing::writeFile(other / "THERE.PM", "t");
    engine.start();
    engine.setServedFolder(other.string());
    EXPECT_EQ(engine.servedFolder(), other.string());
    EXPECT_EQ(ask("PTPMTHERE"), "M NR");
    EXPECT_EQ(ask("MPDR*.PM").substr(0, 14), "M OK0 THERE.PM");
    EXPECT_EQ(ask("PTPMTHERE"), "M RT");
    exitAndFinish();
}

TEST_F(RemoteEngineTest, ATcpServerLinkWaitsForTheNextCncAfterOneHangsUp) {
    engine.reconnectWith(tcpServerSetup());
    engine.start();
    cnc.receiveFails(DNC_ERR_CONNECTION);
    EXPECT_EQ(ask("M VN"), "R VNSxxxx_V4xx QEL Veva");
    EXPECT_EQ(cnc.count("connect"), 2);
    EXPECT_EQ(view.lines().front(),
              "A communication error occured while waiting for commands. (28)");
    // The new connection got the link parameters again.
    const auto params = cnc.paramsSet();
    ASSERT_GE(params.size(), 4u);
    EXPECT_EQ(params[params.size() - 3], (std::pair<int32_t, int32_t>{DNC_PARAM_ACK_TIMEOUT, 1}));
    exitAndFinish();
}

TEST_F(RemoteEngineTest, DestroyingARunningEngineStopsItsWorker) {
    {
        RemoteModeEngine scoped(link, display, folder.string());
        scoped.start();
        ASSERT_TRUE(cnc.waitUntilPcListens());
    }
    EXPECT_FALSE(cnc.connected());
}

}  // namespace
}  // namespace qel::remote
