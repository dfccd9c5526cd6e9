#include <gtest/gtest.h>

#include <thread>

#include "ControlBytes.h"
#include "LinePair.h"
#include "Rxa2Frame.h"
#include "Rxa2Link.h"
#include "TcpFraming.h"
#include "TcpLink.h"

namespace cncsim {
namespace {

using testing::LinePair;

const std::string kAck0(
    "\x10"
    "0",
    2);
const std::string kAck1(
    "\x10"
    "1",
    2);
const std::string kEnqByte(1, static_cast<char>(kEnq));
const std::string kEotByte(1, static_cast<char>(kEot));
const std::string kNakByte(1, static_cast<char>(kNak));

class Rxa2LinkTest : public ::testing::Test {
  protected:
    Rxa2Link makeLink(FaultOptions options = {}) {
        plan = FaultPlan(std::move(options));
        return Rxa2Link(*pair.line, plan, trace, settings);
    }
    LinePair pair;
    FaultPlan plan;
    TraceLog trace{nullptr};
    Rxa2Settings settings{200, 200, 2};
};

TEST_F(Rxa2LinkTest, SendsEnquiryBlockAndEotWhenThePcAcknowledges) {
    Rxa2Link link = makeLink();
    std::thread pc([&] {
        EXPECT_EQ(pair.pcRead(1), kEnqByte);
        pair.pcWrite(kAck0);
        EXPECT_EQ(pair.pcRead(9), encodeFrame("R VN"));
        pair.pcWrite(kAck1);
        EXPECT_EQ(pair.pcRead(1), kEotByte);
    });
    EXPECT_TRUE(link.send("R VN"));
    pc.join();
}

TEST_F(Rxa2LinkTest, CorruptedFrameIsSentAgainIntactAfterNak) {
    FaultOptions faults;
    faults.corruptSent = {1};
    Rxa2Link link = makeLink(faults);
    const std::string good = encodeFrame("R PMN10 G0 X5");
    std::thread pc([&] {
        pair.pcRead(1);
        pair.pcWrite(kAck0);
        std::string first = pair.pcRead(good.size());
        EXPECT_NE(first, good);
        pair.pcWrite(kNakByte);
        EXPECT_EQ(pair.pcRead(good.size()), good);
        pair.pcWrite(kAck1);
        EXPECT_EQ(pair.pcRead(1), kEotByte);
    });
    EXPECT_TRUE(link.send("R PMN10 G0 X5"));
    pc.join();
}

TEST_F(Rxa2LinkTest, GivesUpWithEotAfterTheRetriesAndAtOnceOnNakToItsEnquiry) {
    settings.retries = 1;
    Rxa2Link silent = makeLink();
    EXPECT_FALSE(silent.send("M OK"));
    EXPECT_EQ(pair.pcRead(3, 100), kEnqByte + kEnqByte + kEotByte);

    Rxa2Link refused = makeLink();
    std::thread pc([&] {
        pair.pcRead(1);
        pair.pcWrite(kNakByte);
    });
    EXPECT_FALSE(refused.send("M OK"));
    pc.join();
    EXPECT_EQ(pair.pcRead(1), kEotByte);
}

TEST_F(Rxa2LinkTest, CollisionKeepsTheCncEnquiryPendingForThePc) {
    Rxa2Link link = makeLink();
    std::thread pc([&] {
        pair.pcRead(1);
        pair.pcWrite(kEnqByte);  // the PC wanted to send too, gives way and then answers
        pair.pcWrite(kAck0);
        pair.pcRead(encodeFrame("M OK").size());
        pair.pcWrite(kAck1);
        pair.pcRead(1);
    });
    EXPECT_TRUE(link.send("M OK"));
    pc.join();
}

TEST_F(Rxa2LinkTest, ReceivesATelegramAndReportsAClosedLine) {
    Rxa2Link link = makeLink();
    pair.pcWrite(kEnqByte + encodeFrame("M VN") + kEotByte);
    Incoming in = link.receive(500);
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(in.text, "M VN");
    EXPECT_EQ(pair.pcRead(4), kAck0 + kAck1);
    pair.closePc();
    EXPECT_EQ(link.receive(500).status, Incoming::Status::Closed);
}

TEST_F(Rxa2LinkTest, DelayedAcknowledgementStillArrives) {
    FaultOptions faults;
    faults.delayAckMs[1] = 50;
    Rxa2Link link = makeLink(faults);
    pair.pcWrite(kEnqByte + encodeFrame("M VN"));
    std::thread pc([&] {
        EXPECT_EQ(pair.pcRead(2), kAck0);
        EXPECT_EQ(pair.pcRead(2, 20), "");  // not yet
        EXPECT_EQ(pair.pcRead(2), kAck1);
        pair.pcWrite(kEotByte);
    });
    EXPECT_TRUE(link.receive(500).ok());
    pc.join();
}

TEST(TcpLinkTest, FramesTelegramsWithABigEndianLength) {
    EXPECT_EQ(encodeMessage("M VN"), std::string("\0\0\0\x04M VN", 8));
    const unsigned char header[4] = {0x00, 0x01, 0x02, 0x03};
    EXPECT_EQ(decodeLength(header), 0x010203u);
}

TEST(TcpLinkTest, DropsTheRestOfAnOverlongMessageAndKeepsTheNextIntact) {
    LinePair pair;
    FaultPlan plan;
    TraceLog trace(nullptr);
    TcpLink link(*pair.line, plan, trace, 200);
    pair.pcWrite(encodeMessage(std::string(2000, 'x')) + encodeMessage("M VN"));
    Incoming first = link.receive(500);
    EXPECT_EQ(first.status, Incoming::Status::TooLong);
    EXPECT_EQ(first.text.size(), 1024u);
    Incoming second = link.receive(500);
    EXPECT_TRUE(second.ok());
    EXPECT_EQ(second.text, "M VN");
    EXPECT_EQ(link.receive(0).status, Incoming::Status::Timeout);
}

TEST(TcpLinkTest, ReportsAConnectionLostInTheMiddleOfAMessage) {
    LinePair pair;
    FaultPlan plan;
    TraceLog trace(nullptr);
    TcpLink link(*pair.line, plan, trace, 200);
    pair.pcWrite(std::string("\0\0\0\x10M V", 7));
    pair.closePc();
    EXPECT_EQ(link.receive(500).status, Incoming::Status::Closed);
}

TEST(TcpLinkTest, WithholdsOrDamagesTheChosenReplies) {
    LinePair pair;
    FaultOptions faults;
    faults.withholdAck = {1};
    faults.corruptSent = {2};
    FaultPlan plan(faults);
    TraceLog trace(nullptr);
    TcpLink link(*pair.line, plan, trace, 200);
    pair.pcWrite(encodeMessage("M VN"));
    ASSERT_TRUE(link.receive(500).ok());
    EXPECT_TRUE(link.send("R VN410"));  // withheld
    EXPECT_TRUE(link.send("R VN410"));  // damaged
    std::string wire = pair.pcRead(11);
    EXPECT_EQ(wire.size(), 11u);
    EXPECT_EQ(wire.substr(0, 4), std::string("\0\0\0\x07", 4));
    EXPECT_NE(wire.substr(4), "R VN410");
}

TEST(FaultPlanTest, SameSeedGivesTheSameDamage) {
    FaultOptions faults;
    faults.corruptPercent = 50;
    faults.seed = 42;
    FaultPlan a(faults), b(faults);
    for (int n = 1; n < 50; ++n) {
        ByteFault x = a.outgoing(n, 100), y = b.outgoing(n, 100);
        EXPECT_EQ(x.kind, y.kind);
        EXPECT_EQ(x.index, y.index);
        EXPECT_EQ(x.mask, y.mask);
    }
}

}  // namespace
}  // namespace cncsim
