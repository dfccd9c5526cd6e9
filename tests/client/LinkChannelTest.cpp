#include "client/LinkChannel.h"

#include "FakeLink.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using testing::failure;
using testing::FakeLink;
using testing::reply;

LinkSettings tcpClient() {
    LinkSettings settings;
    settings.linkType = DNC_LINK_TCP_CLIENT;
    settings.port = 19000;
    settings.flags = DNC_FLAG_RESERVE;
    settings.hostName = "cnc.local";
    return settings;
}

TEST(LinkChannelConnect, FillsTheBlockWithTheGivenValuesAndTheDefaults) {
    FakeLink link;
    LinkChannel channel(link);
    LinkSettings settings;
    settings.port = 2;
    settings.speed = 9600;
    settings.parity = 1;
    settings.flags = 0x10;
    settings.ipAddress = 0x7f000001;
    ASSERT_TRUE(channel.connect(settings));
    EXPECT_TRUE(channel.isConnected());
    EXPECT_EQ(channel.handle(), FakeLink::kHandle);
    const DncConnectParams& p = link.lastParams;
    EXPECT_EQ(p.version, 3);
    EXPECT_EQ(p.linkType, DNC_LINK_RXA2);
    EXPECT_EQ(p.port, 2);
    EXPECT_EQ(p.ackTimeout, 5);
    EXPECT_EQ(p.replyTimeout, 7);
    EXPECT_EQ(p.flags, 0x10u);
    EXPECT_EQ(p.baudRate, 9600u);
    EXPECT_EQ(p.parity, 1u);
    EXPECT_EQ(p.sendDelay, 0);
    EXPECT_EQ(p.retries, 5u);
    EXPECT_EQ(p.ipAddress, 0x7f000001u);
    EXPECT_EQ(p.hostName, nullptr);
    EXPECT_EQ(channel.reserveDepth(), 0);
}

TEST(LinkChannelConnect, PassesTheHostNameAndCountsTheReservationOfAnExclusiveLink) {
    FakeLink link;
    LinkChannel channel(link);
    ASSERT_TRUE(channel.connect(tcpClient()));
    EXPECT_EQ(link.lastHostName, "cnc.local");
    EXPECT_EQ(channel.reserveDepth(), 1);
    // Nested users of a connection that holds the port never reach the library.
    EXPECT_TRUE(channel.reserve());
    EXPECT_TRUE(channel.release());
    EXPECT_EQ(link.reserves, 0);
    EXPECT_EQ(link.releases, 0);
}

TEST(LinkChannelConnect, FailureLeavesNoHandleAndTheReasonReadable) {
    FakeLink link;
    link.connectSucceeds = false;
    link.connectError = DNC_ERR_TCP_PORT;
    LinkChannel channel(link);
    EXPECT_FALSE(channel.connect(tcpClient()));
    EXPECT_FALSE(channel.isConnected());
    EXPECT_EQ(channel.handle(), 0);
    EXPECT_EQ(channel.reserveDepth(), 0);
    // Nothing reaches the library without a handle, so the reason survives until read.
    std::string text = "M FR";
    EXPECT_FALSE(channel.exchange(text, true));
    EXPECT_FALSE(channel.reserve());
    EXPECT_EQ(channel.maxTelegram(), 0);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(channel.lastError(), DNC_ERR_TCP_PORT);
    EXPECT_FALSE(channel.disconnect());
    EXPECT_EQ(link.disconnects, 0);
}

TEST(LinkChannelLifetime, ReconnectClosesTheFirstHandleAndDestructionClosesTheLast) {
    FakeLink link;
    {
        LinkChannel channel(link);
        channel.connect(tcpClient());
        channel.connect(tcpClient());
        EXPECT_EQ(link.disconnects, 1);
        EXPECT_EQ(link.closes, 1);
    }
    EXPECT_EQ(link.disconnects, 2);
    EXPECT_EQ(link.closes, 2);
    EXPECT_FALSE(link.connected);
    EXPECT_TRUE(link.errors.empty());
}

TEST(LinkChannelLifetime, AfterDisconnectDestructionOnlyClosesTheHandle) {
    FakeLink link;
    {
        LinkChannel channel(link);
        channel.connect(tcpClient());
        EXPECT_TRUE(channel.disconnect());
        EXPECT_FALSE(channel.isConnected());
        EXPECT_EQ(channel.handle(), FakeLink::kHandle);
    }
    EXPECT_EQ(link.disconnects, 1);
    EXPECT_EQ(link.closes, 1);
    EXPECT_TRUE(link.errors.empty());
}

TEST(LinkChannelReservation, NestsAndReleasesOnlyAtTheOutermostRelease) {
    FakeLink link;
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    EXPECT_FALSE(channel.release());  // depth 0: nothing to give back, library not called
    EXPECT_EQ(link.releases, 0);
    EXPECT_TRUE(channel.reserve());
    EXPECT_TRUE(channel.reserve());
    EXPECT_TRUE(channel.release());
    EXPECT_EQ(link.reserves, 1);
    EXPECT_EQ(link.releases, 0);
    EXPECT_TRUE(channel.release());
    EXPECT_EQ(link.releases, 1);
    EXPECT_EQ(channel.reserveDepth(), 0);
}

TEST(LinkChannelReservation, AFailedReserveLeavesTheDepthAtZero) {
    FakeLink link;
    link.reserveSucceeds = false;
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    EXPECT_FALSE(channel.reserve());
    EXPECT_EQ(channel.reserveDepth(), 0);
    EXPECT_EQ(channel.lastError(), DNC_ERR_PORT);
}

TEST(LinkChannelExchange, TheReplyReplacesTheText) {
    FakeLink link;
    link.replies.push_back(reply("R FR1048576"));
    LinkChannel channel(link);
    channel.connect(tcpClient());
    std::string text = "M FR";
    ASSERT_TRUE(channel.exchange(text, true));
    EXPECT_EQ(text, "R FR1048576");
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(link.sent[0].data, "M FR");
    EXPECT_TRUE(link.sent[0].expectReply);
}

TEST(LinkChannelExchange, WithoutReplyTheTextStaysAndFailureIsReported) {
    FakeLink link;
    LinkChannel channel(link);
    channel.connect(tcpClient());
    std::string text = "T BD";
    EXPECT_TRUE(channel.exchange(text, false));
    EXPECT_EQ(text, "T BD");
    EXPECT_FALSE(link.sent[0].expectReply);
    link.replies.push_back(failure(DNC_ERR_CONNECTION));
    EXPECT_FALSE(channel.exchange(text, true));
    EXPECT_EQ(channel.lastError(), DNC_ERR_CONNECTION);
}

TEST(LinkChannelExchange, AReplyLengthBeyondTheBufferIsCut) {
    FakeLink link;
    link.replies.push_back({true, std::string(DNC_MAX_MESSAGE, 'x'), 0, 70000});
    link.replies.push_back({true, "R FR", 0, -5});
    LinkChannel channel(link);
    channel.connect(tcpClient());
    std::string text = "M FR";
    ASSERT_TRUE(channel.exchange(text, true));
    EXPECT_EQ(text.size(), static_cast<size_t>(DNC_MAX_MESSAGE));
    ASSERT_TRUE(channel.exchange(text, true));
    EXPECT_EQ(text, "");
}

TEST(LinkChannelExchange, AnOverLongTelegramStillHasRoomForTheReply) {
    FakeLink link;
    link.replies.push_back(reply(std::string(DNC_MAX_MESSAGE, 'r')));
    LinkChannel channel(link);
    channel.connect(tcpClient());
    std::string text(3000, 's');
    ASSERT_TRUE(channel.exchange(text, true));
    EXPECT_EQ(link.sent[0].data.size(), 3000u);
    EXPECT_EQ(text, std::string(DNC_MAX_MESSAGE, 'r'));
}

TEST(LinkChannelListen, RoomForAWholeTelegramEvenWhenTheLinkReportsSmallerOnes) {
    FakeLink link;
    link.params[DNC_PARAM_MAX_TELEGRAM] = 124;
    link.listens.push_back({true, std::string(DNC_MAX_MESSAGE, 'x'), 0, 99999});
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    std::string text;
    ASSERT_TRUE(channel.listen(text));
    EXPECT_EQ(text.size(), static_cast<size_t>(DNC_MAX_MESSAGE));
    EXPECT_EQ(channel.lastReceived(), text);
}

TEST(LinkChannelListen, RawBlocksOfferTheLargestTelegramAsCapacity) {
    FakeLink link;
    link.listens.push_back(reply(std::string("G01\0X", 5)));
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    std::string data;
    ASSERT_TRUE(channel.listenRaw(data));
    EXPECT_EQ(data, std::string("G01\0X", 5));
    EXPECT_EQ(link.listenCapacities.back(), DNC_MAX_MESSAGE);
    EXPECT_FALSE(channel.listenRaw(data));  // nothing more: time-out
    EXPECT_EQ(channel.lastError(), DNC_ERR_TIMEOUT);
}

TEST(LinkChannelParameters, LinkParamsSetRetriesTimeoutsAndDelay) {
    FakeLink link;
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    EXPECT_TRUE(channel.setLinkParams(3, 4, 10));
    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(link.setParams, (std::vector<P>{{DNC_PARAM_RETRIES, 3},
                                              {DNC_PARAM_ACK_TIMEOUT, 4},
                                              {DNC_PARAM_REPLY_TIMEOUT, 6},
                                              {DNC_PARAM_SEND_DELAY, 10}}));
}

TEST(LinkChannelParameters, PendingSpeedIsAppliedOnceAndParityIsLeftAlone) {
    FakeLink link;
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    EXPECT_FALSE(channel.applyPendingSpeed());
    channel.setPendingSpeed(19200);
    EXPECT_TRUE(channel.applyPendingSpeed());
    EXPECT_FALSE(channel.applyPendingSpeed());
    EXPECT_TRUE(channel.applyParity());
    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(link.setParams, (std::vector<P>{{DNC_PARAM_BAUD_RATE, 19200}}));
}

TEST(LinkChannelParameters, MaxTelegramComesFromTheLinkAndIsZeroWithoutOne) {
    FakeLink link;
    link.params[DNC_PARAM_MAX_TELEGRAM] = 128;
    LinkChannel channel(link);
    channel.connect(LinkSettings{});
    EXPECT_EQ(channel.maxTelegram(), 128);
    link.params.erase(DNC_PARAM_MAX_TELEGRAM);
    EXPECT_EQ(channel.maxTelegram(), 0);
    int32_t value = 0;
    EXPECT_FALSE(channel.getParam(DNC_PARAM_PEER_NAME, value));  // a text, never into an int
}

}  // namespace
}  // namespace qel
