// No exception leaves the C interface: a device opener that throws inside a connect, an exchange
// or a reservation makes the call fail with an error code, and leaves the port usable.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <system_error>

#include "ExportGuard.h"
#include "PortTable.h"
#include "SimulatedDevice.h"
#include "cablor.h"

namespace {

using cablor::DeviceOpener;
using cablor::PortTable;
using cablor::SimulatedPorts;

enum class Throw { Nothing, BadAlloc, SystemError, NotAnException };

class ExportGuard : public ::testing::Test {
  protected:
    void SetUp() override {
        DeviceOpener simulated = ports.opener();
        PortTable::instance().setDeviceOpener(
            [this, simulated](int port, cablor::DeviceOpenFailure* failure) {
                switch (throwing.load()) {
                    case Throw::BadAlloc:
                        throw std::bad_alloc();
                    case Throw::SystemError:
                        // What a thread or a lock the system refuses throws.
                        throw std::system_error(
                            std::make_error_code(std::errc::resource_unavailable_try_again));
                    case Throw::NotAnException:
                        throw 42;
                    case Throw::Nothing:
                        break;
                }
                return simulated(port, failure);
            });
        DncGetLastError(0);  // an earlier test's code must not be taken for this one's
    }
    void TearDown() override {
        if (h != 0) {
            DncDisconnect(h);
            DncCloseHandle(h);
        }
        PortTable::instance().setDeviceOpener(nullptr);
    }

    int32_t connect(int linkType) {
        DncConnectParams p{};
        p.version = 3;
        p.linkType = linkType;
        p.port = 2;
        p.ackTimeout = 1;
        p.replyTimeout = 2;
        p.baudRate = 9600;
        p.retries = 1;
        p.flags = DNC_FLAG_NO_LOGIN;
        return DncConnectEx(&p);
    }

    SimulatedPorts ports;
    std::atomic<Throw> throwing{Throw::Nothing};
    int32_t h = 0;
};

TEST_F(ExportGuard, ConnectWhoseDeviceOpenThrowsFailsWithError5AndLeavesThePortFree) {
    throwing = Throw::BadAlloc;
    EXPECT_EQ(connect(DNC_LINK_RXA2), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);
    EXPECT_EQ(PortTable::instance().record(2).users, 0);

    throwing = Throw::NotAnException;
    EXPECT_EQ(connect(DNC_LINK_DATAIO_RTSCTS), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);

    // The port record was not left locked or registered.
    throwing = Throw::Nothing;
    h = connect(DNC_LINK_RXA2);
    EXPECT_NE(h, 0);
    EXPECT_EQ(PortTable::instance().record(2).users, 1);
}

TEST_F(ExportGuard, ExchangesWhoseDeviceOpenThrowsFailWithTheirErrorOnTheHandle) {
    h = connect(DNC_LINK_RXA2);
    ASSERT_NE(h, 0);
    char buffer[DNC_MAX_MESSAGE] = "M FR";
    int32_t length = 4;

    throwing = Throw::SystemError;
    EXPECT_EQ(DncTransferEx(h, buffer, &length, 1), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_SEND);
    EXPECT_EQ(DncTransfer(h, buffer, &length, nullptr, nullptr, 1), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_SEND);
    throwing = Throw::BadAlloc;
    EXPECT_EQ(DncListenEx(h, buffer, &length), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_RECEIVE);
    throwing = Throw::NotAnException;
    EXPECT_EQ(DirectSend(h, buffer, 4), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_SEND);
    EXPECT_EQ(DncReserve(h), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_PORT);
    EXPECT_EQ(DncGetLastError(0), 0);  // the handle got the codes, not the handle-less slot

    // None of them left the port marked open: it opens for the next user.
    throwing = Throw::Nothing;
    EXPECT_FALSE(ports.isOpen(2));
    EXPECT_EQ(DncReserve(h), 1);
    EXPECT_TRUE(ports.isOpen(2));
    EXPECT_EQ(DncRelease(h), 1);
}

TEST_F(ExportGuard, DataIoListenWhoseDeviceOpenThrowsLeavesThePortNotBusy) {
    h = connect(DNC_LINK_DATAIO_RTSCTS);
    ASSERT_NE(h, 0);
    char buffer[16];
    int32_t length = sizeof buffer;
    throwing = Throw::BadAlloc;
    EXPECT_EQ(DncListenEx(h, buffer, &length), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_RECEIVE);
    EXPECT_FALSE(PortTable::instance().record(2).busy.load());
    EXPECT_FALSE(PortTable::instance().record(2).open.load());
}

TEST_F(ExportGuard, AFailureForAHandleThatIsGoneGoesToTheHandlelessSlot) {
    int32_t result =
        cablor::guardExport(12345, DNC_ERR_PARAM, []() -> int32_t { throw std::bad_alloc(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PARAM);
}

}  // namespace
