// The PC sends a telegram: enquiry, block, acknowledgement, EOT, with retries and collisions.
#include "LineFixture.h"

namespace cablor::test {
namespace {

using namespace ctl;

class SendTelegram : public LineTest {
  protected:
    SendResult send(const Bytes& text, int retries = 2, int sendDelayMs = 0) {
        return sendTelegram(line, text.data(), static_cast<int>(text.size()), retries, 50,
                            sendDelayMs);
    }
};

TEST_F(SendTelegram, PutsTheFramedBlockInOneWriteAfterAck0AndEndsWithEot) {
    push({kDle, kAck0, kDle, kAck1});
    EXPECT_EQ(send(bytesOf("M VN")), SendResult::Ok);
    EXPECT_EQ(device->trace(), "[05] [10 02 4D 20 56 4E 10 03 76] [04]");
}

TEST_F(SendTelegram, DoublesDleInTheTextAndCountsItOnceInTheBlockCheck) {
    push({kDle, kAck0, kDle, kAck1});
    EXPECT_EQ(send({'A', 0x10, 'B'}), SendResult::Ok);
    const uint8_t bcc = 0x03 ^ 'A' ^ 0x10 ^ 'B';
    EXPECT_EQ(device->trace(),
              "[05] " + traced({0x10, 0x02, 'A', 0x10, 0x10, 'B', 0x10, 0x03, bcc}) + " [04]");
}

TEST_F(SendTelegram, SendDelayPausesBeforeEachControlByteAndWritesTextByteByByte) {
    push({kDle, kAck0, kDle, kAck1});
    EXPECT_EQ(send({'A', 0x10}, 2, 20), SendResult::Ok);
    const uint8_t bcc = 0x03 ^ 'A' ^ 0x10;
    EXPECT_EQ(device->trace(), "~20 [05] ~20 [10] ~20 [02] [41] [10] [10] ~20 [10] ~20 [03] ~20 " +
                                   traced({bcc}) + " ~20 [04]");
}

TEST_F(SendTelegram, RefusesTelegramsOverTheLimitWithoutTouchingTheLine) {
    Bytes longest(kMaxTelegram, 'x');
    Bytes tooLong(kMaxTelegram + 1, 'x');
    EXPECT_EQ(sendTelegram(line, tooLong.data(), kMaxTelegram + 1, 2, 50, 0), SendResult::TooLong);
    EXPECT_EQ(sendTelegram(line, tooLong.data(), -1, 2, 50, 0), SendResult::TooLong);
    EXPECT_EQ(device->trace(), "");

    push({kDle, kAck0, kDle, kAck1});
    EXPECT_EQ(send(longest), SendResult::Ok);
    EXPECT_EQ(device->writes().at(1), frameOf(longest));
}

TEST_F(SendTelegram, WithNoRetriesMakesOneEnquiryAndGivesUpWithEot) {
    EXPECT_EQ(send(bytesOf("M VN"), 0), SendResult::RetriesExhausted);
    EXPECT_EQ(device->trace(), "[05] [04]");
    EXPECT_EQ(device->timedOutReads(), std::vector<int>{50});  // the ACK time-out
}

TEST_F(SendTelegram, EnquiresRetriesPlusOneTimesWhenTheCncStaysSilentOrAnswersNonsense) {
    push({'x'});  // neither silence nor an answer: also costs an attempt
    EXPECT_EQ(send(bytesOf("M VN"), 2), SendResult::RetriesExhausted);
    EXPECT_EQ(device->trace(), "[05] [05] [05] [04]");
}

TEST_F(SendTelegram, NakToTheEnquiryIsARefusalClosedWithEot) {
    push({kNak});
    EXPECT_EQ(send(bytesOf("M VN")), SendResult::Refused);
    EXPECT_EQ(device->trace(), "[05] [04]");
}

TEST_F(SendTelegram, Ack1ToTheEnquiryClosesTheOldExchangeAndEnquiresAgain) {
    push({kDle, kAck1, kDle, kAck0, kDle, kAck1});
    EXPECT_EQ(send(bytesOf("T"), 1), SendResult::Ok);
    EXPECT_EQ(device->trace(), "[05] [04] [05] " + traced(frameOf(bytesOf("T"))) + " [04]");
}

TEST_F(SendTelegram, BlockPhaseResendsOnNakAndAck0UntilRetriesAreSpent) {
    // Retries 2: the ACK0 to the enquiry resets the counter, so the block goes out three
    // times (first, after NAK, after ACK0); the silence that follows exhausts the retries.
    push({kDle, kAck0, kNak, kDle, kAck0});
    EXPECT_EQ(send(bytesOf("T"), 2), SendResult::RetriesExhausted);
    const std::string block = traced(frameOf(bytesOf("T")));
    EXPECT_EQ(device->trace(), "[05] " + block + " " + block + " " + block + " [04]");
}

TEST_F(SendTelegram, SilenceAfterTheBlockIsAnsweredWithAnEnquiryForTheAcknowledgement) {
    push({kDle, kAck0});
    device->pushGap();
    push({kDle, kAck1});
    EXPECT_EQ(send(bytesOf("T"), 1), SendResult::Ok);
    EXPECT_EQ(device->trace(), "[05] " + traced(frameOf(bytesOf("T"))) + " [05] [04]");
}

TEST_F(SendTelegram, EnquiriesOfTheCncDuringTheBlockPhaseCostNoRetry) {
    push({kDle, kAck0, kEnq, kEnq, kEnq, kDle, kAck1});
    EXPECT_EQ(send(bytesOf("T"), 0), SendResult::Ok);
    EXPECT_EQ(device->trace(), "[05] " + traced(frameOf(bytesOf("T"))) + " [04]");
}

TEST_F(SendTelegram, DeviceFailuresEndTheSendAtOnce) {
    device->failWritesAfter(0);
    EXPECT_EQ(send(bytesOf("T")), SendResult::DeviceFailure);

    // The CNC acknowledged, but EOT could not be written: not a success.
    device->failWritesAfter(2);
    push({kDle, kAck0, kDle, kAck1});
    EXPECT_EQ(send(bytesOf("T")), SendResult::DeviceFailure);

    device->failWritesAfter(-1);
    device->cancel();
    EXPECT_EQ(send(bytesOf("T")), SendResult::DeviceFailure);
}

// --- Collisions: the CNC answers our ENQ with its own ---

TEST_F(SendTelegram, CollisionFailsAtOnceAndTheNextReceiveAnswersTheCncsEnquiry) {
    push({kEnq, kEnq});  // the CNC's enquiry, repeated while we were deciding
    EXPECT_EQ(send(bytesOf("M VN")), SendResult::Collision);
    EXPECT_EQ(device->trace(), "[05]");

    device->clearLog();
    cncSends(bytesOf("M OK"));
    uint8_t buffer[kMaxTelegram];
    int length = 0;
    ASSERT_EQ(receiveTelegram(line, buffer, &length, 0, 0), ReceiveResult::Ok);
    EXPECT_EQ(Bytes(buffer, buffer + length), bytesOf("M OK"));
    EXPECT_EQ(device->trace(), "[10 30] [10 31]");
}

TEST_F(SendTelegram, CollisionKeepsOnlyTheLastEnquiryOfARun) {
    push({kEnq, kEnq, kEnq, kEnq});
    EXPECT_EQ(send(bytesOf("M VN")), SendResult::Collision);
    device->clearLog();
    uint8_t buffer[kMaxTelegram];
    int length = 0;
    // One pending ENQ, one ACK0; then the CNC sends nothing more.
    EXPECT_EQ(receiveTelegram(line, buffer, &length, 0, 0), ReceiveResult::Timeout);
    EXPECT_EQ(device->trace(), "[10 30]");
}

TEST_F(SendTelegram, CollisionDropsAnEnquiryTheCncWithdrewWithEot) {
    push({kEnq, kEnq, kEnq, kEot, 'x'});
    EXPECT_EQ(send(bytesOf("M VN")), SendResult::Collision);
    EXPECT_EQ(line.readAheadPending(), 1);
    EXPECT_EQ(line.readAhead()[line.readAheadIndex()], 'x');

    line.clearReadAhead();
    device->clearLog();
    push({kEnq, kEnq, kEot});
    EXPECT_EQ(send(bytesOf("M VN")), SendResult::Collision);
    EXPECT_EQ(line.readAheadPending(), 0);
    uint8_t buffer[kMaxTelegram];
    int length = 0;
    EXPECT_EQ(receiveTelegram(line, buffer, &length, 0, 0), ReceiveResult::Timeout);
    EXPECT_EQ(device->trace(), "[05]");
}

TEST_F(SendTelegram, CollisionTidyingStaysWithinTheBytesRead) {
    // Stale bytes beyond the fill count must not count as a run of ENQs or an EOT.
    uint8_t* ahead = line.readAhead();
    for (int i = 0; i < SerialLine::kReadAheadSize; ++i) ahead[i] = kEnq;
    line.readAheadCount() = 2;
    line.readAheadIndex() = 1;
    tidyAfterCollision(line);
    EXPECT_EQ(line.readAheadIndex(), 1);
    ahead[2] = kEot;
    tidyAfterCollision(line);
    EXPECT_EQ(line.readAheadIndex(), 1);
}

}  // namespace
}  // namespace cablor::test
