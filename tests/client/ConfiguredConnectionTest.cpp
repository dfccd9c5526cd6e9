#include "client/ConfiguredConnection.h"

#include "FakeLink.h"
#include "config/FixedText.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(ConfiguredConnection, TcpClientHoldsItsPortAndReadsTheDestinationPortUnsigned) {
    ConfigRecord config;
    config.linkType = DNC_LINK_TCP_CLIENT;
    config.comPort = 3;
    config.destinationPort = static_cast<int16_t>(40000 - 65536);  // as stored in the file
    config.linkFlags = 0x10;
    config.ipAddressValue = 0x0a000005;
    setText(config.ipAddressText, "cnc.local");
    const LinkSettings settings = linkSettingsFor(config);
    EXPECT_EQ(settings.port, 40000);
    EXPECT_EQ(settings.flags, 0x10u | DNC_FLAG_RESERVE);
    EXPECT_EQ(settings.hostName, "cnc.local");
    EXPECT_EQ(settings.ipAddress, 0x0a000005u);
}

TEST(ConfiguredConnection, SerialLinkUsesTheComPortAndSetsTheLinkParamsAfterConnecting) {
    ConfigRecord config;
    config.linkType = DNC_LINK_RXA2;
    config.comPort = 2;
    config.destinationPort = 19000;
    config.baudRate = 4800;
    config.parityMode = 1;
    config.leaderTrailerSize = 20;
    config.retries = 3;
    config.timeout = 4;
    config.sendDelay = 10;
    testing::FakeLink link;
    const auto client = connectConfigured(config, link);
    ASSERT_TRUE(client->isConnected());
    EXPECT_EQ(link.lastParams.port, 2);
    EXPECT_EQ(link.lastParams.flags, 0u);
    EXPECT_EQ(link.lastParams.baudRate, 4800u);
    EXPECT_EQ(link.lastParams.parity, 1u);
    EXPECT_EQ(link.lastParams.hostName, nullptr);
    EXPECT_EQ(client->leaderLength(), 20);
    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(link.setParams, (std::vector<P>{{DNC_PARAM_RETRIES, 3},
                                              {DNC_PARAM_ACK_TIMEOUT, 4},
                                              {DNC_PARAM_REPLY_TIMEOUT, 6},
                                              {DNC_PARAM_SEND_DELAY, 10}}));
}

}  // namespace
}  // namespace qel
