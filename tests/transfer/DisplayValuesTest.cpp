// What the transfer dialogs show: time left, rate, the display tick, the progress window and
// the status texts.
#include "transfer/DisplayTick.h"
#include "transfer/Progdlg.h"
#include "transfer/TimeLeft.h"
#include "transfer/Timer.h"
#include "transfer/TransferStatus.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(TimeLeft, StepsOfFiveSecondsMinutesFiveMinutesAndQuarterHours) {
    EXPECT_EQ(timeLeftText(59.4f), "60 s");
    EXPECT_EQ(timeLeftText(3599.0f), "60 min.");
    EXPECT_EQ(timeLeftText(3600.0f), "1 h 0 min.");
    EXPECT_EQ(timeLeftText(0.0f), "0 s");
    EXPECT_EQ(timeLeftText(12.4f), "10 s");
    EXPECT_EQ(timeLeftText(60.0f), "1 min.");
    EXPECT_EQ(timeLeftText(899.0f), "15 min.");
    EXPECT_EQ(timeLeftText(1000.0f), "15 min.");
    EXPECT_EQ(timeLeftText(5400.0f), "1 h 30 min.");
    // An absurd time stays a number of hours.
    EXPECT_NE(timeLeftText(1e30f).find(" h "), std::string::npos);
}

TEST(TimeLeft, FromBytesAndRate) {
    EXPECT_EQ(timeLeftText(10 * 1024, 1.0f), "10 s");
    EXPECT_EQ(timeLeftText(10 * 1024, 0.0f), "Unknown");
}

TEST(CRateMeter, RateOverTheWindowOfFortySamples) {
    CRateMeter meter;
    // The first sample spans the whole clock: near 0.
    EXPECT_LT(meter.sample(1024, 1'000'000'000), 0.01f);
    // 1 KB per 100 ms: 10 KB/s once the window holds only such samples.
    float rate = 0;
    for (uint32_t i = 1; i <= 60; ++i) rate = meter.sample(1024, 1'000'000'000 + i * 100);
    EXPECT_FLOAT_EQ(rate, 10.0f);
    // Forty quiet samples empty the window.
    for (uint32_t i = 61; i < 100; ++i) rate = meter.sample(0, 1'000'000'000 + i * 100);
    EXPECT_GT(rate, 0.0f);
    EXPECT_EQ(meter.sample(0, 1'000'000'000 + 100 * 100), 0.0f);
    // Two samples in the same millisecond give 0, not a division by zero.
    meter.reset();
    meter.sample(0, 5);
    EXPECT_EQ(meter.sample(100, 5), 0.0f);
}

TEST(CRateMeter, TheClockWrapCostsOnlyASmallRate) {
    CRateMeter meter;
    meter.sample(0, UINT32_MAX - 50);
    EXPECT_NEAR(meter.sample(1024, 50), 1024 / 1024.0f / 0.101f, 0.01f);
}

TEST(DisplayTick, SpeedOnceASecondTimeLeftEveryTwoSeconds) {
    DisplayTick tick(TransferDirection::Send);
    TickInput input;
    input.sizesKnown = true;
    input.fileRemaining = 20 * 1024;
    input.totalRemaining = 40 * 1024;
    int speeds = 0;
    int timesLeft = 0;
    TickOutput out;
    for (uint32_t i = 0; i < 40; ++i) {
        input.nowMs = 1'000'000'000 + i * 100;
        input.bytesThisTick = 1024;
        out = tick.advance(input);
        if (out.speed) ++speeds;
        if (out.timeLeftFile) ++timesLeft;
        if (i == 0) {
            EXPECT_EQ(*out.speed, "0.00");
        }
    }
    EXPECT_EQ(speeds, 4);
    EXPECT_EQ(timesLeft, 2);
    EXPECT_EQ(*out.timeLeftFile, "0 s");
    EXPECT_FLOAT_EQ(out.rate, 10.0f);
    EXPECT_EQ(*out.timeLeftFile, "0 s");
    input.fileRemaining = 600 * 1024;  // 60 s at 10 KB/s
    for (uint32_t i = 40; i < 60; ++i) {
        input.nowMs = 1'000'000'000 + i * 100;
        out = tick.advance(input);
    }
    EXPECT_EQ(*out.timeLeftFile, "1 min.");
    EXPECT_EQ(*out.timeLeftTotal, "5 s");
}

TEST(DisplayTick, AStallShowsWaitingOnceTheWindowEmptiesAndTransferringWithTheFirstBytes) {
    DisplayTick tick(TransferDirection::Receive);
    TickInput input;
    uint32_t now = 1'000'000'000;
    TickOutput out;
    for (int i = 0; i < 45; ++i) {
        input.nowMs = now += 100;
        input.bytesThisTick = 500;
        out = tick.advance(input);
        if (i == 0) {
            EXPECT_EQ(out.status, std::optional<int>(XS_TRANSFER));
        }
    }
    int quietTicks = 0;
    do {
        input.nowMs = now += 100;
        input.bytesThisTick = 0;
        out = tick.advance(input);
        ++quietTicks;
        if (quietTicks < 40) {
            EXPECT_FALSE(out.status) << quietTicks;
        }
    } while (!out.status && quietTicks < 100);
    EXPECT_EQ(out.status, std::optional<int>(XS_WAIT_CNC));
    EXPECT_EQ(quietTicks, 40);
    EXPECT_FALSE(out.animate);
    input.nowMs = now += 100;
    input.bytesThisTick = 10;
    out = tick.advance(input);
    EXPECT_EQ(out.status, std::optional<int>(XS_TRANSFER));
    EXPECT_TRUE(out.animate);
    // The receive dialog never knows the time left.
    for (int i = 0; i < 20 && !out.timeLeftTotal; ++i) out = tick.advance(input);
    EXPECT_EQ(*out.timeLeftTotal, "Unknown");
}

TEST(DisplayTick, TheSendAnimationRunsOnOneQuietTickAfterData) {
    DisplayTick receive(TransferDirection::Receive);
    DisplayTick send(TransferDirection::Send);
    TickInput data{100, 1000, false, 0, 0};
    TickInput quiet{0, 1100, false, 0, 0};
    receive.advance(data);
    send.advance(data);
    EXPECT_FALSE(receive.advance(quiet).animate);
    EXPECT_TRUE(send.advance(quiet).animate);
    quiet.nowMs = 1200;
    EXPECT_FALSE(send.advance(quiet).animate);
}

TEST(ProgressState, PercentageAmountAndRateByDisplayMode) {
    ProgressState progress;
    progress.setRange(0, 2000);
    EXPECT_FALSE(progress.setStep(0));
    EXPECT_TRUE(progress.setStep(120));
    EXPECT_FALSE(progress.setPosition(-1));
    EXPECT_EQ(progress.text(), "0 %");
    progress.stepIt();
    progress.stepIt();
    EXPECT_EQ(progress.position(), 240);
    EXPECT_EQ(progress.percent(), 12);
    progress.setDisplayMode(ProgressState::kPercentAmountAndRate);
    progress.secondTick();
    progress.secondTick();
    EXPECT_EQ(progress.bytesPerSecond(), 120);
    EXPECT_EQ(progress.text(), "12 % (0.23 KB at 120 Bps)");
    progress.setDisplayMode(ProgressState::kAmountAndRate);
    EXPECT_EQ(progress.text(), "(0.23 KB at 120 Bps)");
}

TEST(ProgressState, LargeFilesDoNotOverflowAndAnEmptyFileShowsComplete) {
    ProgressState progress;
    progress.setRange(0, 3'000'000'000LL);
    progress.setPosition(1'500'000'000LL);
    EXPECT_EQ(progress.percent(), 50);
    progress.setRange(0, 0);
    progress.setPosition(0);
    EXPECT_EQ(progress.percent(), 100);
}

TEST(TransferStatus, EachDialogHasItsTexts) {
    EXPECT_EQ(statusText(TransferDirection::Receive, XS_TRANSFER), "Receiving data from CNC...");
    EXPECT_EQ(statusText(TransferDirection::Send, XS_TRANSFER), "Sending data to CNC...");
    EXPECT_EQ(statusText(TransferDirection::Send, XS_COMPLETE), " Upload complete");
    EXPECT_EQ(statusText(TransferDirection::Receive, XS_STOPPING),
              "Stopping download. Please wait...");
    EXPECT_EQ(statusText(TransferDirection::Receive, XS_ERROR),
              " Error. Waiting for user response,,,");
    EXPECT_EQ(statusText(TransferDirection::Receive, 42), " Status unknown...");
}

}  // namespace
}  // namespace qel
