#include "Rxa2Receiver.h"

#include <gtest/gtest.h>

#include "ControlBytes.h"
#include "Rxa2Frame.h"

namespace cncsim {
namespace {

using Answer = Rxa2Receiver::Answer;
using Outcome = Rxa2Receiver::Outcome;

// Feeds bytes and collects the answers the CNC would write, up to the first final outcome.
struct Feed {
    std::vector<Answer> answers;
    Outcome outcome = Outcome::Pending;
};
Feed feed(Rxa2Receiver& receiver, std::string_view bytes) {
    Feed result;
    for (char c : bytes) {
        auto step = receiver.onByte(static_cast<std::uint8_t>(c));
        if (step.answer != Answer::None) result.answers.push_back(step.answer);
        if (step.outcome != Outcome::Pending) {
            result.outcome = step.outcome;
            break;
        }
    }
    return result;
}

const std::string kEnqByte(1, static_cast<char>(kEnq));
const std::string kEotByte(1, static_cast<char>(kEot));

TEST(Rxa2FrameTest, FramesTheVersionRequestWithItsBlockCheck) {
    EXPECT_EQ(encodeFrame("M VN"), std::string("\x10\x02M VN\x10\x03\x76", 9));
}

TEST(Rxa2FrameTest, DoublesDleInDataButCountsItOnceInTheBlockCheck) {
    const std::string telegram(
        "A\x10"
        "B",
        3);
    EXPECT_EQ(blockCheck(telegram), 0x03 ^ 'A' ^ 0x10 ^ 'B');
    EXPECT_EQ(encodeFrame(telegram), std::string("\x10\x02"
                                                 "A\x10\x10"
                                                 "B\x10\x03",
                                                 8) +
                                         char(blockCheck(telegram)));
}

TEST(Rxa2ReceiverTest, AcknowledgesAGoodBlockAndEndsOnEot) {
    Rxa2Receiver receiver;
    Feed result = feed(receiver, kEnqByte + encodeFrame("PTPMA\x10Z") + kEotByte);
    EXPECT_EQ(result.answers, (std::vector<Answer>{Answer::Ack0, Answer::Ack1}));
    EXPECT_EQ(result.outcome, Outcome::Received);
    EXPECT_EQ(receiver.telegram(), "PTPMA\x10Z");
}

TEST(Rxa2ReceiverTest, RejectsABadBlockCheckUntilTheBlockComesAgain) {
    Rxa2Receiver receiver;
    std::string bad = encodeFrame("M VN");
    bad.back() ^= 0x01;
    // NAK for the block, NAK again for the PC's enquiry, then the good block is taken.
    Feed result = feed(receiver, kEnqByte + bad + kEnqByte + encodeFrame("M VN") + kEotByte);
    EXPECT_EQ(result.answers,
              (std::vector<Answer>{Answer::Ack0, Answer::Nak, Answer::Nak, Answer::Ack1}));
    EXPECT_EQ(result.outcome, Outcome::Received);
    EXPECT_EQ(receiver.telegram(), "M VN");
}

TEST(Rxa2ReceiverTest, RejectsABlockOfMoreThan1024Bytes) {
    Rxa2Receiver receiver;
    Feed result = feed(receiver, kEnqByte + encodeFrame(std::string(1025, 'x')));
    ASSERT_GE(result.answers.size(), 2u);
    EXPECT_EQ(result.answers[1], Answer::Nak);
    EXPECT_NE(result.outcome, Outcome::Received);
    EXPECT_TRUE(receiver.overflowed());
    Rxa2Receiver exact;
    EXPECT_EQ(feed(exact, kEnqByte + encodeFrame(std::string(1024, 'x')) + kEotByte).outcome,
              Outcome::Received);
}

TEST(Rxa2ReceiverTest, StrayByteBeforeAnyEnquiryIsNoTelegram) {
    Rxa2Receiver receiver;
    EXPECT_EQ(feed(receiver, kEotByte).outcome, Outcome::Ended);
    Rxa2Receiver idle;
    EXPECT_EQ(idle.onTimeout().outcome, Outcome::TimedOut);
}

TEST(Rxa2ReceiverTest, MissingEotIsATimeOutUnlessTheAcknowledgementWasRepeated) {
    Rxa2Receiver silent;
    feed(silent, kEnqByte + encodeFrame("M OK"));
    EXPECT_EQ(silent.onTimeout().outcome, Outcome::TimedOut);

    Rxa2Receiver noisy;
    Feed result = feed(noisy, kEnqByte + encodeFrame("M OK") + "?");
    EXPECT_EQ(result.answers.back(), Answer::Ack1);
    EXPECT_EQ(noisy.onTimeout().outcome, Outcome::Received);
}

TEST(Rxa2ReceiverTest, NakFaultRejectsTheFirstTransmissionOnly) {
    Rxa2Receiver receiver(Rxa2Receiver::AckFault::Nak);
    Feed result = feed(receiver, kEnqByte + encodeFrame("M VN") + encodeFrame("M VN") + kEotByte);
    EXPECT_EQ(result.answers, (std::vector<Answer>{Answer::Ack0, Answer::Nak, Answer::Ack1}));
    EXPECT_EQ(result.outcome, Outcome::Received);
}

TEST(Rxa2ReceiverTest, WithheldAcknowledgementIsGivenWhenThePcEnquiresAgain) {
    Rxa2Receiver receiver(Rxa2Receiver::AckFault::Withhold);
    Feed result = feed(receiver, kEnqByte + encodeFrame("M VN") + kEnqByte + kEotByte);
    EXPECT_EQ(result.answers, (std::vector<Answer>{Answer::Ack0, Answer::Ack1}));
    EXPECT_EQ(result.outcome, Outcome::Received);
}

TEST(Rxa2ReceiverTest, TimeOutInsideABlockLeadsToNakOnTheNextEnquiry) {
    Rxa2Receiver receiver;
    feed(receiver, kEnqByte +
                       "\x10\x02"
                       "M V");
    receiver.onTimeout();
    Feed result = feed(receiver, kEnqByte);
    EXPECT_EQ(result.answers, std::vector<Answer>{Answer::Nak});
}

}  // namespace
}  // namespace cncsim
