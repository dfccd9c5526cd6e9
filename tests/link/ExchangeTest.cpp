// Exchanges on serial handles through the exported calls: the older status exchange, direct
// port access, DataIO listening that a disconnect from another thread ends.
#include <gtest/gtest.h>

#include <cstring>
#include <future>

#include "PortTable.h"
#include "SimulatedCnc.h"
#include "SimulatedDevice.h"
#include "cablor.h"

namespace {

using cablor::PortTable;
using cablor::SimulatedDevice;
using cablor::SimulatedPorts;

class SerialExchange : public ::testing::Test {
  protected:
    void SetUp() override { PortTable::instance().setDeviceOpener(ports.opener()); }
    void TearDown() override {
        if (h != 0) {
            DncDisconnect(h);
            DncCloseHandle(h);
        }
        PortTable::instance().setDeviceOpener(nullptr);
    }
    void connect(int linkType) {
        DncConnectParams p{};
        p.version = 3;
        p.linkType = linkType;
        p.port = 1;
        p.ackTimeout = 1;
        p.replyTimeout = 2;
        p.baudRate = 9600;
        p.retries = 1;
        p.flags = DNC_FLAG_NO_LOGIN;
        h = DncConnectEx(&p);
        ASSERT_NE(h, 0);
    }

    SimulatedPorts ports;
    int32_t h = 0;
};

TEST_F(SerialExchange, StatusTelegramIsAcknowledgedKeptAndFollowedByTheRealReply) {
    testing_cnc::SimulatedCnc cnc;
    cnc.attach(*ports.port(1), [](const std::string& t) {
        if (t == "PTPMPROG1") return std::string("R ST busy reading");
        if (t == "M OK") return std::string("M RT");
        return std::string();
    });
    connect(DNC_LINK_RXA2);
    char buffer[DNC_MAX_MESSAGE] = "PTPMPROG1";
    int32_t length = 9;
    char status[130];
    int32_t statusLength = -1;
    ASSERT_EQ(DncTransfer(h, buffer, &length, status, &statusLength, 1), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "M RT");
    EXPECT_EQ(std::string(status, static_cast<size_t>(statusLength)), "R ST busy reading");
    EXPECT_EQ(cnc.received(), (std::vector<std::string>{"PTPMPROG1", "M OK"}));

    // Without a status telegram the status length is 0 and the reply stays in the buffer.
    std::memcpy(buffer, "PTPMPROG1", 9);
    length = 9;
    cnc.attach(*ports.port(1), [](const std::string&) { return std::string("M RT"); });
    ASSERT_EQ(DncTransfer(h, buffer, &length, status, &statusLength, 1), 1);
    EXPECT_EQ(statusLength, 0);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "M RT");
}

TEST_F(SerialExchange, ListenWithNothingArrivingFailsAtOnceWithATimeout) {
    connect(DNC_LINK_RXA2);
    char buffer[DNC_MAX_MESSAGE];
    int32_t length = 0;
    EXPECT_EQ(DncListen(h, buffer, &length, nullptr, nullptr), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_TIMEOUT);
    EXPECT_FALSE(ports.isOpen(1));
}

TEST_F(SerialExchange, DirectSendWritesRawBytesAndDirectRecvReadsWhatIsThere) {
    connect(DNC_LINK_RXA2);
    auto device = ports.port(1);
    ASSERT_EQ(DirectSend(h, "\x11G01", 4), 1);
    EXPECT_EQ(device->written(), (std::vector<uint8_t>{0x11, 'G', '0', '1'}));
    device->push("N10 X5");
    char buffer[16];
    int32_t length = 3;
    ASSERT_EQ(DirectRecv(h, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "N10");
    device->failWritesAfter(0);
    EXPECT_EQ(DirectSend(h, "x", 1), 0);  // a failed write is not reported as success
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_SEND);
    EXPECT_FALSE(ports.isOpen(1));
}

TEST_F(SerialExchange, DataIoListenReceivesUntilEotWithoutLeadingNuls) {
    connect(DNC_LINK_DATAIO_XONXOFF);
    ports.port(1)->push(std::string("\0\0%\nN10 G00\n\x04", 13));
    char buffer[DNC_MAX_MESSAGE];
    int32_t length = sizeof buffer;
    ASSERT_EQ(DncListenEx(h, buffer, &length), 1);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "%\nN10 G00\n\x04");
    // XOn went out before the data, XOff after it.
    auto written = ports.port(1)->written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written.front(), 0x11);
    EXPECT_EQ(written.back(), 0x13);
}

TEST_F(SerialExchange, DisconnectEndsADataIoWaitWithoutLimit) {
    connect(DNC_LINK_DATAIO_XONXOFF);
    auto listening = std::async(std::launch::async, [this] {
        char buffer[DNC_MAX_MESSAGE];
        int32_t length = sizeof buffer;
        return DncListenEx(h, buffer, &length);
    });
    // The tape has not started: the listen waits until the handle is disconnected.
    EXPECT_EQ(listening.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    EXPECT_EQ(DncDisconnect(h), 1);
    EXPECT_EQ(listening.get(), 0);
    EXPECT_EQ(PortTable::instance().record(1).users, 0);
    EXPECT_FALSE(ports.isOpen(1));
}

}  // namespace
