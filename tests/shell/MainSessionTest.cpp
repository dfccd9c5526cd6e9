// The main window's connection, without a window: connecting on a worker, the greetings, the
// failure text, the panes' option words.
#include "shell/MainSession.h"

#include "FakeLink.h"
#include "config/FixedText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace qel {
namespace {

using testing::FakeLink;
using testing::reply;
using Texts = std::vector<std::string>;

ConfigRecord tcpConfig(uint8_t options) {
    ConfigRecord config;
    config.inUse = 1;
    setText(config.name, "Mill");
    config.linkType = DNC_LINK_TCP_CLIENT;
    config.destinationPort = 19000;
    setText(config.ipAddressText, "127.0.0.1");
    config.retries = 3;
    config.timeout = 4;
    config.sendDelay = 1;
    config.options = options;
    return config;
}

ConnectOutcome connectAndWait(MainSession& session) {
    session.startConnect();
    EXPECT_TRUE(session.connecting() || session.link() == nullptr);
    for (int i = 0; i < 2000; ++i) {
        if (auto outcome = session.takeConnectOutcome()) return *outcome;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "the connect did not end";
    return {};
}

TEST(MainSession, ConnectsOnAWorkerGreetsTheCncAndThenSetsTheConfiguredTimings) {
    FakeLink link;
    link.replies = {reply("M OK")};
    MainSession session(link);
    session.setConfig(tcpConfig(OPT_NOTIFY_CNC));
    EXPECT_EQ(session.title(), "Vantor 4.10 Veva - Mill");
    EXPECT_STREQ(session.connectionText(), "Not Connected");
    const ConnectOutcome outcome = connectAndWait(session);
    EXPECT_TRUE(outcome.connected);
    EXPECT_STREQ(session.connectionText(), "Connected to CNC");
    EXPECT_EQ(link.sentTexts(), Texts{"M DIQEL active on this CNC."});
    EXPECT_EQ(link.lastParams.flags & DNC_FLAG_RESERVE, static_cast<uint32_t>(DNC_FLAG_RESERVE));
    // The greeting's short time-out first, the configuration's last.
    ASSERT_GE(link.setParams.size(), 8u);
    EXPECT_EQ(link.setParams[0], std::make_pair(DNC_PARAM_RETRIES, 5));
    EXPECT_EQ(link.setParams[4], std::make_pair(DNC_PARAM_RETRIES, 3));
    EXPECT_EQ(link.setParams[5], std::make_pair(DNC_PARAM_ACK_TIMEOUT, 4));

    link.replies = {reply("M OK")};
    session.close();
    EXPECT_EQ(link.sentTexts().back(), "M DIQEL inactive.");
    EXPECT_EQ(session.link(), nullptr);
}

TEST(MainSession, WithoutNotifyNothingIsShownOnTheCnc) {
    FakeLink link;
    MainSession session(link);
    session.setConfig(tcpConfig(0));
    EXPECT_TRUE(connectAndWait(session).connected);
    session.close();
    EXPECT_TRUE(link.sentTexts().empty());
}

TEST(MainSession, AFailedConnectSaysWhyAndLeavesNoLinkToLend) {
    FakeLink link;
    link.connectSucceeds = false;
    link.connectError = DNC_ERR_CONNECT;
    MainSession session(link);
    session.setConfig(tcpConfig(OPT_NOTIFY_CNC | OPT_PERCENT_B));
    const ConnectOutcome outcome = connectAndWait(session);
    EXPECT_FALSE(outcome.connected);
    EXPECT_EQ(outcome.reason, "link error 23 (connection refused or unreachable)");
    EXPECT_EQ(session.connectFailureText(outcome),
              "Failed to connect to CNC \"Mill\". Press 'Help' for more information.\n\n"
              "link error 23 (connection refused or unreachable)");
    EXPECT_STREQ(session.connectionText(), "Not Connected");
    EXPECT_EQ(session.cncPaneOptions(), 0);
    EXPECT_EQ(session.localPaneOptions(), 0);
    session.close();
    EXPECT_TRUE(link.sentTexts().empty());  // no farewell to a CNC never reached
}

TEST(MainSession, ThePanesOptionWordsFollowTheLinkType) {
    FakeLink link;
    MainSession session(link);
    session.setConfig(tcpConfig(OPT_PERCENT_A | OPT_IGNORE_EMPTY));
    ASSERT_TRUE(connectAndWait(session).connected);
    // Telegram link: the CNC pane splits %B only, the local pane never joins.
    EXPECT_EQ(session.cncPaneOptions(), OPT_PERCENT_B | OPT_IGNORE_EMPTY);
    EXPECT_EQ(session.localPaneOptions(), OPT_IGNORE_EMPTY);
    EXPECT_TRUE(session.remoteModeAllowed());

    ConfigRecord tape = tcpConfig(OPT_PERCENT_A);
    tape.linkType = DNC_LINK_DATAIO_XONXOFF;
    tape.comPort = 1;
    tape.baudRate = 9600;
    session.setConfig(tape);
    ASSERT_TRUE(connectAndWait(session).connected);
    EXPECT_EQ(session.cncPaneOptions(), OPT_PERCENT_A);
    EXPECT_EQ(session.localPaneOptions(), OPT_PERCENT_A);
    EXPECT_FALSE(session.remoteModeAllowed());
    // Settings without connecting: the link stays, disconnected, and remote mode may start.
    session.disconnect();
    EXPECT_TRUE(session.remoteModeAllowed());
    EXPECT_STREQ(session.connectionText(), "Not Connected");
}

}  // namespace
}  // namespace qel
