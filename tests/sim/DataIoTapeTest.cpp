#include "DataIoTape.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "ControlBytes.h"
#include "LinePair.h"
#include "TempStore.h"

namespace cncsim {
namespace {

using testing::LinePair;
using testing::TempStore;

const std::string kXOnByte(1, static_cast<char>(kXOn));
const std::string kXOffByte(1, static_cast<char>(kXOff));

TEST(DataIoTapeTest, PunchStoresTheTapeWithoutLeaderUnderItsHeaderName) {
    LinePair pair;
    TempStore folder;
    MemoryStore store(folder.path());
    TraceLog trace(nullptr);
    std::ostringstream report;
    pair.pcWrite(std::string("\0\0\0%PM5\r\nN1 G0\r\n\x04\0\0", 18));
    auto stored = punchTape(*pair.line, store, TapeOptions{}, trace, &report);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, "5.PM");
    EXPECT_EQ(folder.get("5.PM"), "%PM5\r\nN1 G0\r\n");
    EXPECT_EQ(pair.pcRead(1), kXOnByte);  // the punch said it was ready
}

TEST(DataIoTapeTest, PunchHoldsTheSenderWithXOffAndReleasesIt) {
    LinePair pair;
    TempStore folder;
    MemoryStore store(folder.path());
    TraceLog trace(nullptr);
    TapeOptions options;
    options.memory = "T.PM";
    options.xoffEvery = 3;
    options.xoffHoldMs = 1;
    pair.pcWrite("ABCDEF\x04");
    ASSERT_TRUE(punchTape(*pair.line, store, options, trace, nullptr));
    EXPECT_EQ(folder.get("T.PM"), "ABCDEF");
    EXPECT_EQ(pair.pcRead(5), kXOnByte + kXOffByte + kXOnByte + kXOffByte + kXOnByte);
}

TEST(DataIoTapeTest, PunchWithoutEotStoresNothing) {
    LinePair pair;
    TempStore folder;
    MemoryStore store(folder.path());
    TraceLog trace(nullptr);
    pair.pcWrite("%PM5\r\nN1");
    pair.closePc();
    EXPECT_FALSE(punchTape(*pair.line, store, TapeOptions{}, trace, nullptr));
    EXPECT_FALSE(folder.has("5.PM"));
}

TEST(DataIoTapeTest, ReaderWaitsForXOnPausesOnXOffAndEndsWithEot) {
    LinePair pair;
    TempStore folder;
    folder.put("R.PM", "N10 G0\r\nN20 M30\r\n");
    MemoryStore store(folder.path());
    TraceLog trace(nullptr);
    TapeOptions options;
    options.memory = "R.PM";
    options.leader = 2;
    options.chunk = 4;
    std::thread reader([&] { EXPECT_TRUE(readTape(*pair.line, store, options, trace, nullptr)); });
    EXPECT_EQ(pair.pcRead(1, 30), "");  // nothing before the PC's XOn
    pair.pcWrite(kXOnByte + kXOffByte);
    EXPECT_EQ(pair.pcRead(1, 30), "");  // held by the XOff that came with it
    pair.pcWrite(kXOnByte);
    const std::string expected =
        std::string(2, '\0') + "N10 G0\r\nN20 M30\r\n\x04" + std::string(2, '\0');
    EXPECT_EQ(pair.pcRead(expected.size()), expected);
    reader.join();
}

TEST(DataIoTapeTest, ReaderRefusesAMissingMemory) {
    LinePair pair;
    TempStore folder;
    MemoryStore store(folder.path());
    TraceLog trace(nullptr);
    TapeOptions options;
    options.memory = "NONE.PM";
    EXPECT_FALSE(readTape(*pair.line, store, options, trace, nullptr));
}

}  // namespace
}  // namespace cncsim
