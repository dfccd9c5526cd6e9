// The PC receives a telegram: ACK0 to the CNC's ENQ, ACK1 to a good block, NAK to a bad one.
#include <algorithm>

#include "LineFixture.h"

namespace cablor::test {
namespace {

using namespace ctl;

class ReceiveTelegram : public LineTest {
  protected:
    ReceiveTelegram() { std::fill(std::begin(buffer), std::end(buffer), 0xEE); }

    ReceiveResult receive(int replyTimeoutMs = 300, int sendDelayMs = 0) {
        return receiveTelegram(line, buffer, &length, replyTimeoutMs, sendDelayMs);
    }
    Bytes received() const { return Bytes(buffer, buffer + length); }
    bool bufferUntouched() const {
        return std::all_of(std::begin(buffer), std::end(buffer),
                           [](uint8_t b) { return b == 0xEE; });
    }

    uint8_t buffer[kMaxTelegram + 16];
    int length = -1;
};

// --- Good blocks ---

TEST_F(ReceiveTelegram, AnswersEnqWithAck0AndTheBlockWithAck1AndEndsAtEot) {
    cncSends(bytesOf("R VN"));
    push({kEnq});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(received(), bytesOf("R VN"));
    EXPECT_EQ(device->trace(), "[10 30] [10 31]");
}

TEST_F(ReceiveTelegram, UndoublesDleAndAcceptsTheLargestTelegram) {
    Bytes text(kMaxTelegram, 'a');
    text[0] = kDle;
    text[kMaxTelegram - 1] = kDle;
    cncSends(text);
    push({kEnq});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(received(), text);
    EXPECT_EQ(buffer[kMaxTelegram], 0xEE);
}

TEST_F(ReceiveTelegram, SendDelayPausesOncePerAcknowledgement) {
    cncSends(bytesOf("M OK"));
    push({kEnq});
    ASSERT_EQ(receive(300, 15), ReceiveResult::Ok);
    EXPECT_EQ(device->trace(), "~15 [10 30] ~15 [10 31]");
}

TEST_F(ReceiveTelegram, AfterTheEnquiryEveryWaitAllowsTwoSecondsMoreOrTenSecondsForNoTimeout) {
    push({kEnq});
    EXPECT_EQ(receive(300), ReceiveResult::Timeout);
    EXPECT_EQ(device->timedOutReads(), (std::vector<int>{2300, 2300}));

    device->clearLog();
    push({kEnq});
    EXPECT_EQ(receive(0), ReceiveResult::Timeout);
    EXPECT_EQ(device->timedOutReads(), (std::vector<int>{10000, 10000}));
    EXPECT_EQ(device->trace(), "[10 30]");

    // Waiting without limit for the first byte does not make the block wait without limit.
    device->clearLog();
    push({kEnq});
    EXPECT_EQ(receive(-1), ReceiveResult::Timeout);
    EXPECT_EQ(device->timedOutReads(), (std::vector<int>{10000, 10000}));
}

TEST_F(ReceiveTelegram, NoTimeoutAndNoPendingEnquiryFailsAtOnce) {
    EXPECT_EQ(receive(0), ReceiveResult::Timeout);
    EXPECT_EQ(device->timedOutReads(), std::vector<int>{0});
    EXPECT_EQ(device->trace(), "");
    EXPECT_EQ(length, -1);
}

// --- After ACK1: waiting for EOT ---

TEST_F(ReceiveTelegram, AStrayByteAfterAck1IsReacknowledgedAndSilenceThenCountsAsSuccess) {
    push({kEnq});
    push(frameOf(bytesOf("M OK")));
    push({'x'});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(received(), bytesOf("M OK"));
    EXPECT_EQ(device->trace(), "[10 30] [10 31] [10 31]");
}

TEST_F(ReceiveTelegram, SilenceAfterAck1WithoutReacknowledgementIsATimeout) {
    push({kEnq});
    push(frameOf(bytesOf("M OK")));
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    EXPECT_EQ(device->timedOutReads(), std::vector<int>{2300});
    EXPECT_TRUE(bufferUntouched());

    // An ENQ after the stray byte asks for ACK1 again and withdraws the re-acknowledgement.
    device->clearLog();
    push({kEnq});
    push(frameOf(bytesOf("M OK")));
    push({'x', kEnq});
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    EXPECT_EQ(device->trace(), "[10 30] [10 31] [10 31] [10 31]");
}

TEST_F(ReceiveTelegram, ARepeatedBlockAfterAck1ReplacesTheFirst) {
    push({kEnq});
    push(frameOf(bytesOf("AAAA")));
    push(frameOf(bytesOf("BB")));
    push({kEot});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(received(), bytesOf("BB"));
    EXPECT_EQ(device->trace(), "[10 30] [10 31] [10 31]");
}

// --- Rejected blocks ---

TEST_F(ReceiveTelegram, ABadBlockCheckIsNakedAndEnquiriesGetNakUntilTheBlockComesAgain) {
    Bytes bad = frameOf(bytesOf("M OK"));
    bad.back() ^= 0x01;
    push({kEnq});
    push(bad);
    push({kEnq});
    push(frameOf(bytesOf("M OK")));
    push({kEot});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(received(), bytesOf("M OK"));
    EXPECT_EQ(device->trace(), "[10 30] [15] [15] [10 31]");
}

TEST_F(ReceiveTelegram, ABlockOfMoreThan1024BytesIsNakedAndNothingReachesTheCaller) {
    push({kEnq});
    push(frameOf(Bytes(kMaxTelegram + 1, 'z')));
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    // NAK on the 1025th byte. The closing DLE then reads as the start of a repeated block,
    // and the ETX after it is answered with ACK0 (send the block again).
    EXPECT_EQ(device->trace(), "[10 30] [15] [10 30]");
    EXPECT_TRUE(bufferUntouched());
    EXPECT_EQ(length, -1);
}

TEST_F(ReceiveTelegram, ADoubledDleAsThe1025thByteIsNakedToo) {
    Bytes text(kMaxTelegram, 'z');
    text.push_back(kDle);
    push({kEnq});
    push(frameOf(text));
    EXPECT_NE(receive(), ReceiveResult::Ok);
    EXPECT_EQ(device->writes().at(1), Bytes{kNak});
    EXPECT_TRUE(bufferUntouched());
}

TEST_F(ReceiveTelegram, AParityErrorInsideTheBlockRejectsIt) {
    push({kEnq, kDle, kStx, 'A'});
    device->pushParityError('B');
    push({'C', kDle, kEtx, static_cast<uint8_t>(kEtx ^ 'A' ^ 'B' ^ 'C')});
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    EXPECT_EQ(device->trace(), "[10 30] [15]");
    EXPECT_TRUE(bufferUntouched());
}

TEST_F(ReceiveTelegram, SilenceAfterDleInsideTheBlockIsNaked) {
    push({kEnq, kDle, kStx, 'A', kDle});
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    EXPECT_EQ(device->trace(), "[10 30] [15]");
}

TEST_F(ReceiveTelegram, ALineErrorInsideTheBlockDropsToIdleAndTheNextEnquiryStartsAgain) {
    push({kEnq, kDle, kStx, 'A'});
    device->pushLineError(SimulatedDevice::LineFault::Framing);
    push({kEnq});
    push(frameOf(bytesOf("AB")));
    push({kEot});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(received(), bytesOf("AB"));
    EXPECT_EQ(device->trace(), "[10 30] [10 30] [10 31]");
}

// --- Failures before a block ---

TEST_F(ReceiveTelegram, FirstByteOtherThanEnqMeansTheCncHasEnded) {
    push({kEot});
    EXPECT_EQ(receive(), ReceiveResult::Ended);
    EXPECT_EQ(device->trace(), "");
}

TEST_F(ReceiveTelegram, EotInsteadOfTheBlockEndsOrReportsAnEarlierParityError) {
    push({kEnq, kEot});
    EXPECT_EQ(receive(), ReceiveResult::Ended);

    push({kEnq});
    device->pushParityError('x');
    push({kEnq, 0x84});  // EOT with its parity bit set
    EXPECT_EQ(receive(), ReceiveResult::ParityError);
}

TEST_F(ReceiveTelegram, LineAndParityErrorsWhileIdleFailWithTheirOwnResult) {
    device->pushLineError(SimulatedDevice::LineFault::Break);
    EXPECT_EQ(receive(), ReceiveResult::LineError);
    device->pushParityError(kEnq);
    EXPECT_EQ(receive(), ReceiveResult::ParityError);

    // A parity error instead of DLE, then silence.
    push({kEnq});
    device->pushParityError(kDle);
    EXPECT_EQ(receive(), ReceiveResult::ParityError);
}

TEST_F(ReceiveTelegram, WrongByteAfterDleIsAnsweredWithAck0) {
    push({kEnq, kDle, 'x', kDle, kStx, 'A', kDle, kEtx, static_cast<uint8_t>(kEtx ^ 'A'), kEot});
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(device->trace(), "[10 30] [10 30] [10 31]");
}

TEST_F(ReceiveTelegram, DeviceFailureEndsTheReceive) {
    push({kEnq});
    device->failWritesAfter(0);
    EXPECT_EQ(receive(), ReceiveResult::DeviceFailure);
    device->cancel();
    EXPECT_EQ(receive(), ReceiveResult::DeviceFailure);
}

}  // namespace
}  // namespace cablor::test
