// Serial ports shared between handles: registration, exclusive use, reservation, speed
// detection, and a device that goes away. The COM ports are simulated devices.
#include <gtest/gtest.h>

#include <cerrno>

#include "PortTable.h"
#include "SimulatedCnc.h"
#include "SimulatedDevice.h"
#include "cablor.h"

namespace {

using cablor::PortTable;
using cablor::SimulatedDevice;
using cablor::SimulatedPorts;

class PortTableTest : public ::testing::Test {
  protected:
    void SetUp() override { PortTable::instance().setDeviceOpener(ports.opener()); }
    void TearDown() override {
        for (int32_t h : handles) {
            DncDisconnect(h);
            DncCloseHandle(h);
        }
        PortTable::instance().setDeviceOpener(nullptr);
    }

    int32_t connect(int port, int linkType = DNC_LINK_RXA2, uint32_t flags = DNC_FLAG_NO_LOGIN,
                    uint32_t baud = 9600) {
        DncConnectParams p{};
        p.version = 3;
        p.linkType = linkType;
        p.port = port;
        p.ackTimeout = 1;
        p.replyTimeout = 2;
        p.baudRate = baud;
        p.retries = 2;
        p.flags = flags;
        int32_t h = DncConnectEx(&p);
        if (h != 0) handles.push_back(h);
        lastBlock = p;
        return h;
    }

    const cablor::PortRecord& record(int port) { return PortTable::instance().record(port); }

    SimulatedPorts ports;
    std::vector<int32_t> handles;
    DncConnectParams lastBlock{};
};

TEST_F(PortTableTest, TwoHandlesShareAPortUntilBothHaveDisconnected) {
    int32_t a = connect(2), b = connect(2);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_EQ(record(2).users, 2);
    EXPECT_EQ(record(2).deviceName, "COM2");
    EXPECT_FALSE(ports.isOpen(2));  // registering checks the device and closes it again
    DncDisconnect(a);
    EXPECT_EQ(record(2).users, 1);
    EXPECT_EQ(record(2).deviceName, "COM2");
    DncDisconnect(b);
    EXPECT_EQ(record(2).users, 0);
    EXPECT_EQ(record(2).deviceName, "None");
}

TEST_F(PortTableTest, ExclusiveRegistrationRefusesEveryOtherConnect) {
    ASSERT_NE(connect(1, DNC_LINK_RXA2, DNC_FLAG_NO_LOGIN | DNC_FLAG_RESERVE), 0);
    EXPECT_TRUE(ports.isOpen(1));  // reserved for the handle's whole life
    EXPECT_EQ(connect(1), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);
    EXPECT_EQ(record(1).users, 1);
}

TEST_F(PortTableTest, DataIoCannotJoinAPortRegisteredForRxa2) {
    ASSERT_NE(connect(3), 0);
    EXPECT_EQ(connect(3, DNC_LINK_DATAIO_XONXOFF), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);
    EXPECT_EQ(record(3).users, 1);
    EXPECT_EQ(record(3).lineMode, cablor::LineMode::Rxa2);
}

TEST_F(PortTableTest, ReservationKeepsTheDeviceOpenAndIsNotCounted) {
    int32_t h = connect(2);
    ASSERT_NE(h, 0);
    EXPECT_EQ(DncRelease(h), 0);  // nothing to release: no error either
    EXPECT_EQ(DncGetLastError(h), 0);
    ASSERT_EQ(DncReserve(h), 1);
    EXPECT_TRUE(ports.isOpen(2));
    int32_t notReserved = -1;
    DncGetParamEx(h, DNC_PARAM_NOT_RESERVED, &notReserved);
    EXPECT_EQ(notReserved, 0);
    EXPECT_EQ(DncReserve(h), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_RESERVED);
    EXPECT_EQ(DncRelease(h), 1);
    EXPECT_FALSE(ports.isOpen(2));
}

TEST_F(PortTableTest, AReservedPortIsBusyForTheOtherHandles) {
    int32_t a = connect(2), b = connect(2);
    ASSERT_EQ(DncReserve(a), 1);
    EXPECT_EQ(DncReserve(b), 0);
    EXPECT_EQ(DncGetLastError(b), DNC_ERR_PORT);
    char text[DNC_MAX_MESSAGE] = "M FR";
    int32_t length = 4;
    EXPECT_EQ(DncTransferEx(b, text, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(b), DNC_ERR_PORT);
}

TEST_F(PortTableTest, ADisconnectedHandleCannotReserveAndBlockThePort) {
    int32_t a = connect(2), b = connect(2);
    ASSERT_EQ(DncDisconnect(a), 1);
    EXPECT_EQ(DncReserve(a), 0);
    EXPECT_EQ(DncGetLastError(a), DNC_ERR_NOT_CONNECTED);
    EXPECT_FALSE(ports.isOpen(2));
    EXPECT_EQ(DncReserve(b), 1);
}

TEST_F(PortTableTest, ADataIoHandleWhoseReservationFailedLeavesTheOtherHandlesDevice) {
    int32_t holder = connect(3, DNC_LINK_DATAIO_XONXOFF);
    ASSERT_EQ(DncReserve(holder), 1);
    // Registered next to it, but its own reservation at connect time fails (port busy).
    int32_t late = connect(3, DNC_LINK_DATAIO_XONXOFF, DNC_FLAG_NO_LOGIN | DNC_FLAG_RESERVE);
    ASSERT_NE(late, 0);
    EXPECT_EQ(record(3).users, 2);
    EXPECT_EQ(DncDisconnect(late), 1);
    EXPECT_TRUE(ports.isOpen(3));
    EXPECT_TRUE(record(3).open.load());
    EXPECT_TRUE(record(3).busy.load());
    EXPECT_EQ(DncRelease(holder), 1);
    EXPECT_FALSE(ports.isOpen(3));
}

TEST_F(PortTableTest, FlagReserveHoldsTheReservationUntilDisconnect) {
    int32_t h = connect(4, DNC_LINK_RXA2, DNC_FLAG_NO_LOGIN | DNC_FLAG_RESERVE);
    ASSERT_NE(h, 0);
    EXPECT_EQ(DncReserve(h), 1);
    EXPECT_EQ(DncRelease(h), 0);
    EXPECT_TRUE(ports.isOpen(4));
    DncDisconnect(h);
    EXPECT_FALSE(ports.isOpen(4));
    EXPECT_EQ(record(4).users, 0);
    EXPECT_FALSE(record(4).exclusive);
}

TEST_F(PortTableTest, ExchangesOpenTheDeviceOnlyWhileTheyRun) {
    testing_cnc::SimulatedCnc cnc;
    cnc.attach(*ports.port(1), [](const std::string& t) {
        return t == "M FR" ? std::string("R FR4096") : std::string();
    });
    int32_t h = connect(1);
    ASSERT_NE(h, 0);
    int opensAfterConnect = ports.openCount(1);
    for (int i = 0; i < 2; ++i) {
        char text[DNC_MAX_MESSAGE] = "M FR";
        int32_t length = 4;
        ASSERT_EQ(DncTransferEx(h, text, &length, 1), 1);
        EXPECT_EQ(std::string(text, static_cast<size_t>(length)), "R FR4096");
        EXPECT_FALSE(ports.isOpen(1));
    }
    EXPECT_EQ(ports.openCount(1), opensAfterConnect + 2);
    ASSERT_EQ(DncReserve(h), 1);
    char text[DNC_MAX_MESSAGE] = "M FR";
    int32_t length = 4;
    ASSERT_EQ(DncTransferEx(h, text, &length, 1), 1);
    EXPECT_TRUE(ports.isOpen(1));
    EXPECT_EQ(ports.openCount(1), opensAfterConnect + 3);
}

TEST_F(PortTableTest, LoginGreetsTheCncAndClassifiesIt) {
    testing_cnc::SimulatedCnc cnc;
    cnc.attach(*ports.port(1), [](const std::string& t) {
        return t == "M VN" ? std::string("R VNS4_V4xx410 Lathe") : std::string("M OK");
    });
    int32_t h = connect(1, DNC_LINK_RXA2, 0);
    ASSERT_NE(h, 0);
    int32_t value = 0;
    DncGetParamEx(h, DNC_PARAM_CNC_CLASS, &value);
    EXPECT_EQ(value, DNC_CNC_410);
    DncGetParamEx(h, DNC_PARAM_MAX_TELEGRAM, &value);
    EXPECT_EQ(value, 128);
    // The greeting's short time-outs are undone.
    DncGetParamEx(h, DNC_PARAM_REPLY_TIMEOUT, &value);
    EXPECT_EQ(value, 2);
    DncGetParamEx(h, DNC_PARAM_RETRIES, &value);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(cnc.received(), (std::vector<std::string>{"M  I", "M VN"}));
}

TEST_F(PortTableTest, SilentCncFailsTheLoginAndFreesThePort) {
    EXPECT_EQ(connect(1, DNC_LINK_RXA2, 0), 0);
    EXPECT_NE(DncGetLastError(0), 0);
    EXPECT_EQ(record(1).users, 0);
}

TEST_F(PortTableTest, SetParamsSetsRetriesBothTimeoutsAndSendDelay) {
    int32_t h = connect(3);
    EXPECT_EQ(DncSetParams(h, 3, 4, 10), 1);
    int32_t v = 0;
    DncGetParamEx(h, DNC_PARAM_RETRIES, &v);
    EXPECT_EQ(v, 3);
    DncGetParamEx(h, DNC_PARAM_ACK_TIMEOUT, &v);
    EXPECT_EQ(v, 4);
    DncGetParamEx(h, DNC_PARAM_REPLY_TIMEOUT, &v);
    EXPECT_EQ(v, 6);
    DncGetParamEx(h, DNC_PARAM_SEND_DELAY, &v);
    EXPECT_EQ(v, 10);
    // Speed and parity need the port open.
    EXPECT_EQ(DncSetParamEx(h, DNC_PARAM_BAUD_RATE, 19200), 0);
    ASSERT_EQ(DncReserve(h), 1);
    EXPECT_EQ(DncSetParamEx(h, DNC_PARAM_BAUD_RATE, 19200), 1);
    EXPECT_EQ(ports.port(3)->currentSettings().speed, 19200u);
    ports.port(3)->refuseSpeed(300);
    EXPECT_EQ(DncSetParamEx(h, DNC_PARAM_BAUD_RATE, 300), 0);
    DncGetParamEx(h, DNC_PARAM_BAUD_RATE, &v);
    EXPECT_EQ(v, 19200);
    EXPECT_EQ(DncPatchSpeed(h, 38400), 1);
    EXPECT_EQ(ports.port(3)->currentSettings().speed, 38400u);
    EXPECT_EQ(DncRestoreSpeed(h), 1);
    EXPECT_EQ(ports.port(3)->currentSettings().speed, 19200u);
    DncRelease(h);
    EXPECT_EQ(DncPatchSpeed(h, 38400), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_PORT);
}

TEST_F(PortTableTest, DetectionFinds9600WithEvenParityAndWritesItBack) {
    auto device = ports.port(2);
    // The CNC runs at 9600 baud, 7 data bits, even parity. Probed without parity its DLE
    // arrives with the top bit set.
    device->setResponder([](SimulatedDevice& d, const uint8_t* bytes, int count) {
        if (count != 1 || bytes[0] != cablor::ctl::kEnq) return;
        cablor::LineSettings s = d.currentSettings();
        if (s.speed != 9600) return;
        if (s.parity == cablor::Parity::None) {
            d.push({0x90, 0xB0});
        } else {
            d.push({0x10, 0x30});
        }
    });
    device->refuseSpeed(43200);  // skipped, not fatal
    int32_t h = connect(2, DNC_LINK_RXA2, DNC_FLAG_NO_LOGIN, 0);
    ASSERT_NE(h, 0);
    EXPECT_EQ(lastBlock.baudRate, 9600u);
    EXPECT_EQ(lastBlock.parity, 1u);
    EXPECT_EQ(record(2).speed, 9600u);
    EXPECT_EQ(record(2).parity, cablor::Parity::Even);
    EXPECT_EQ(record(2).dataBits, 7u);
    int32_t v = 0;
    DncGetParamEx(h, DNC_PARAM_PARITY, &v);
    EXPECT_EQ(v, 1);
    // The probe ends the CNC's answer with EOT.
    EXPECT_EQ(device->written().back(), cablor::ctl::kEot);
}

TEST_F(PortTableTest, DetectionTriesEverySpeedThenFails) {
    std::vector<uint32_t> tried;
    ports.port(2)->setSettingsHook([&](const cablor::LineSettings& s) {
        tried.push_back(s.speed);
        return 0;
    });
    EXPECT_EQ(connect(2, DNC_LINK_RXA2, DNC_FLAG_NO_LOGIN, 0), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);
    std::vector<uint32_t> expected = {1200,  2400,  4800,  9600,  19200, 38400, 40800, 43200,
                                      45600, 48000, 50400, 52800, 55200, 57000, 57600};
    for (uint32_t s = 60000; s <= 115200; s += 2400) expected.push_back(s);
    EXPECT_EQ(tried, expected);
}

TEST_F(PortTableTest, NulAnswerEndsTheDetection) {
    ports.port(2)->setResponder([](SimulatedDevice& d, const uint8_t*, int) { d.push({0x00}); });
    EXPECT_EQ(connect(2, DNC_LINK_RXA2, DNC_FLAG_NO_LOGIN, 0), 0);
    EXPECT_EQ(ports.openCount(2), 1);
    EXPECT_EQ(record(2).users, 0);
}

TEST_F(PortTableTest, DeviceThatDisappearsGivesError5AndLeavesTheTableConsistent) {
    int32_t h = connect(2);
    ASSERT_NE(h, 0);
    ports.failOpen(2, ENOENT);  // the USB adapter was unplugged
    char text[DNC_MAX_MESSAGE] = "M FR";
    int32_t length = 4;
    EXPECT_EQ(DncTransferEx(h, text, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_PORT);
    EXPECT_EQ(DncReserve(h), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_PORT);
    EXPECT_EQ(record(2).users, 1);
    EXPECT_FALSE(record(2).open.load());
    EXPECT_FALSE(record(2).busy.load());
    EXPECT_EQ(PortTable::instance().lastOpenFailure().error, ENOENT);
    ports.failOpen(2, 0);  // plugged in again
    EXPECT_EQ(DncReserve(h), 1);
}

}  // namespace
