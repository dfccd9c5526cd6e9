// The simulated USB adapter: bytes both ways arrive late by the latency, in order and whole, and
// a PC that goes away still ends the CNC's reads.
#include "LatentLine.h"

#include <gtest/gtest.h>

#include <chrono>

#include "LinePair.h"

namespace cncsim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(LatentLine, BytesBothWaysAreHeldForTheLatencyAndKeepTheirOrder) {
    testing::LinePair pair;
    LatentLine adapter(*pair.line, milliseconds(40));

    auto start = Clock::now();
    pair.pcWrite("AB");
    EXPECT_EQ(adapter.readByte(10), kReadTimeout) << "not seen before the latency";
    EXPECT_EQ(adapter.readByte(1000), 'A');
    EXPECT_GE(Clock::now() - start, milliseconds(40));
    EXPECT_EQ(adapter.readByte(0), 'B');

    start = Clock::now();
    ASSERT_TRUE(adapter.write("xyz"));
    ASSERT_TRUE(adapter.write("!"));
    EXPECT_EQ(pair.pcRead(4, 10), "") << "nothing on the wire yet";
    EXPECT_EQ(pair.pcRead(4, 1000), "xyz!");
    EXPECT_GE(Clock::now() - start, milliseconds(40));
}

TEST(LatentLine, WhatIsHeldForSendingLeavesBeforeTheLineIsDropped) {
    testing::LinePair pair;
    {
        LatentLine adapter(*pair.line, milliseconds(30));
        ASSERT_TRUE(adapter.write("\x04"));
    }
    EXPECT_EQ(pair.pcRead(1, 0), "\x04");
}

TEST(LatentLine, APcThatHangsUpEndsEveryLaterRead) {
    testing::LinePair pair;
    LatentLine adapter(*pair.line, milliseconds(5));
    pair.pcWrite("Q");
    pair.closePc();
    EXPECT_EQ(adapter.readByte(1000), 'Q');
    EXPECT_EQ(adapter.readByte(1000), kReadClosed);
    EXPECT_EQ(adapter.readByte(1000), kReadClosed);
}

}  // namespace
}  // namespace cncsim
