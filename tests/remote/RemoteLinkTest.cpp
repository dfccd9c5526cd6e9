// The link remote mode serves on, as a configuration describes it.
#include "remote/RemoteLink.h"

#include "ConversationLink.h"

#include "config/FixedText.h"

#include <gtest/gtest.h>

namespace qel::remote {
namespace {

using testing::ConversationLink;

ConfigRecord configuration(int linkType, uint32_t baudRate) {
    ConfigRecord config;
    config.inUse = 1;
    setText(config.name, "Mill 3");
    config.linkType = linkType;
    config.baudRate = baudRate;
    config.comPort = 2;
    config.parityMode = 1;
    config.timeout = 7;
    config.retries = 3;
    config.sendDelay = 15;
    config.linkFlags = 0x10;
    config.serverPort = 21000;
    config.destinationPort = static_cast<int16_t>(40000);  // stored negative above 32767
    setText(config.ipAddressText, "10.0.0.9");
    config.ipAddressValue = 0x0A000009;
    return config;
}

TEST(RemoteLink, DataIoConfigurationServesRxa2At19200WithoutParityButItsOwnTimeouts) {
    const RemoteLinkSetup setup = remoteLinkSetupFor(configuration(DNC_LINK_DATAIO_XONXOFF, 9600));
    EXPECT_EQ(setup.settings.linkType, DNC_LINK_RXA2);
    EXPECT_EQ(setup.settings.speed, 19200);
    EXPECT_EQ(setup.settings.parity, 0);
    EXPECT_EQ(setup.settings.port, 2);
    EXPECT_EQ(setup.timeout, 7);
    EXPECT_EQ(setup.retries, 3);
    EXPECT_EQ(setup.sendDelay, 15);
    EXPECT_EQ(setup.settings.flags, DNC_FLAG_RESERVE | DNC_FLAG_NO_LOGIN);
}

TEST(RemoteLink, Rxa2WithAutomaticSpeedStartsFromFixedValues) {
    const RemoteLinkSetup setup = remoteLinkSetupFor(configuration(DNC_LINK_RXA2, 0));
    EXPECT_EQ(setup.settings.linkType, DNC_LINK_RXA2);
    EXPECT_EQ(setup.settings.speed, 19200);
    EXPECT_EQ(setup.settings.parity, 0);
    EXPECT_EQ(setup.timeout, 2);
    EXPECT_EQ(setup.retries, 5);
    EXPECT_EQ(setup.sendDelay, 0);
    // With a fixed speed the configuration's values count.
    const RemoteLinkSetup fixed = remoteLinkSetupFor(configuration(DNC_LINK_RXA2, 38400));
    EXPECT_EQ(fixed.settings.speed, 38400);
    EXPECT_EQ(fixed.settings.parity, 1);
    EXPECT_EQ(fixed.timeout, 7);
}

TEST(RemoteLink, TcpClientConfigurationListensOnItsDestinationPort) {
    const RemoteLinkSetup setup = remoteLinkSetupFor(configuration(DNC_LINK_TCP_CLIENT, 0));
    EXPECT_EQ(setup.settings.linkType, DNC_LINK_TCP_SERVER);
    EXPECT_EQ(setup.settings.port, 40000);
    EXPECT_EQ(setup.settings.hostName, "10.0.0.9");
    EXPECT_EQ(setup.settings.ipAddress, 0x0A000009u);
    EXPECT_EQ(setup.settings.flags, DNC_FLAG_RESERVE | DNC_FLAG_NO_LOGIN);
}

TEST(RemoteLink, AConnectedClientIsTakenOverElseANewOneConnectsWithTheLinkParameters) {
    ConversationLink cnc;
    std::unique_ptr<CncClient> held;
    const ObtainedRemoteLink made =
        obtainRemoteLink(held, configuration(DNC_LINK_TCP_CLIENT, 0), cnc);
    ASSERT_NE(made.link, nullptr);
    EXPECT_TRUE(made.created);
    EXPECT_EQ(cnc.lastConnect().linkType, DNC_LINK_TCP_SERVER);
    EXPECT_EQ(cnc.lastConnect().flags, 0x22u);
    EXPECT_EQ(cnc.paramsSet(),
              (std::vector<std::pair<int32_t, int32_t>>{{DNC_PARAM_RETRIES, 3},
                                                        {DNC_PARAM_ACK_TIMEOUT, 7},
                                                        {DNC_PARAM_REPLY_TIMEOUT, 9},
                                                        {DNC_PARAM_SEND_DELAY, 15}}));

    const ObtainedRemoteLink again = obtainRemoteLink(held, configuration(DNC_LINK_RXA2, 0), cnc);
    EXPECT_EQ(again.link, made.link);
    EXPECT_FALSE(again.created);
    EXPECT_EQ(cnc.count("connect"), 1);
}

TEST(RemoteLink, AFailedConnectionGivesNoLinkAndTheOperatorsMessage) {
    ConversationLink cnc;
    cnc.failConnect();
    std::unique_ptr<CncClient> held;
    const ObtainedRemoteLink failed = obtainRemoteLink(held, configuration(DNC_LINK_RXA2, 0), cnc);
    EXPECT_EQ(failed.link, nullptr);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->lastError(), DNC_ERR_CONNECT);
    EXPECT_EQ(remoteConnectFailureText(configuration(DNC_LINK_RXA2, 0)),
              "Failed to connect to CNC \"Mill 3\". Press 'Help' for more information.");
}

}  // namespace
}  // namespace qel::remote
