// DataIO raw transfer: bursts of 100 bytes under XOn/XOff or RTS/CTS, receiving until EOT.
#include <chrono>
#include <thread>

#include "DataIo.h"
#include "LineFixture.h"

namespace cablor::test {
namespace {

using namespace ctl;

class DataIo : public LineTest {
  protected:
    static Bytes data(int n) {
        Bytes bytes(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7 + 1);
        return bytes;
    }
    DataIoResult send(LineMode mode, const Bytes& bytes) {
        return dataIoSend(line, mode, bytes.data(), static_cast<int>(bytes.size()), 50);
    }
    std::vector<size_t> writeSizes() const {
        std::vector<size_t> sizes;
        for (const Bytes& w : device->writes()) sizes.push_back(w.size());
        return sizes;
    }
    // Calls action after the given number of write calls.
    void afterWrite(int count, std::function<void(SimulatedDevice&)> action) {
        auto writes = std::make_shared<int>(0);
        device->setResponder([=](SimulatedDevice& d, const uint8_t*, int) {
            if (++*writes == count) action(d);
        });
    }
};

// --- XOn/XOff (type 2) ---

TEST_F(DataIo, XonXoffWaitsForXonThenSendsBurstsOf100) {
    push({kXon | 0x80});  // the top bit does not matter
    const Bytes bytes = data(250);
    ASSERT_EQ(send(LineMode::DataIoXonXoff, bytes), DataIoResult::Ok);
    EXPECT_EQ(writeSizes(), (std::vector<size_t>{100, 100, 50}));
    EXPECT_EQ(device->written(), bytes);
    EXPECT_TRUE(line.peerReady);

    // The CNC's XOn is remembered: the next send starts at once.
    device->clearLog();
    ASSERT_EQ(send(LineMode::DataIoXonXoff, data(10)), DataIoResult::Ok);
    EXPECT_EQ(writeSizes(), std::vector<size_t>{10});
}

TEST_F(DataIo, XonXoffPausesOnXoffAndGoesOnAtXon) {
    push({kXon});
    afterWrite(1, [](SimulatedDevice& d) { d.push({kXoff, kXon}); });
    const Bytes bytes = data(300);
    ASSERT_EQ(send(LineMode::DataIoXonXoff, bytes), DataIoResult::Ok);
    EXPECT_EQ(writeSizes(), (std::vector<size_t>{100, 100, 100}));
    EXPECT_EQ(device->written(), bytes);
    EXPECT_EQ(device->pendingInput(), 0u);
}

TEST_F(DataIo, XonXoffFailsWhenTheCncSendsSomethingElseThanXon) {
    push({'A'});
    EXPECT_EQ(send(LineMode::DataIoXonXoff, data(10)), DataIoResult::FlowControlFailure);
    EXPECT_EQ(device->trace(), "");
    EXPECT_FALSE(line.peerReady);
}

TEST_F(DataIo, AFailedWriteOfAFullBlockIsADeviceFailure) {
    push({kXon});
    device->failWritesAfter(1);
    EXPECT_EQ(send(LineMode::DataIoXonXoff, data(250)), DataIoResult::DeviceFailure);
}

// --- RTS/CTS (type 1) ---

TEST_F(DataIo, RtsCtsSendsWhileCtsIsHighAndWaitsForItToComeBack) {
    device->setCts(false);
    device->queueCtsChanges({true});
    afterWrite(2, [](SimulatedDevice& d) {
        d.setCts(false);
        d.queueCtsChanges({true});
    });
    const Bytes bytes = data(350);
    ASSERT_EQ(send(LineMode::DataIoRtsCts, bytes), DataIoResult::Ok);
    EXPECT_EQ(writeSizes(), (std::vector<size_t>{100, 100, 100, 50}));
    EXPECT_EQ(device->written(), bytes);
    EXPECT_TRUE(line.peerReady);
}

TEST_F(DataIo, RtsCtsFailsWhenCtsCannotBeReadAfterItWasHigh) {
    afterWrite(1, [](SimulatedDevice& d) { d.failCtsReads(true); });
    EXPECT_EQ(send(LineMode::DataIoRtsCts, data(100)), DataIoResult::FlowControlFailure);
}

// --- CTS per block (type 6) ---

TEST_F(DataIo, CtsPerBlockSamplesCtsBeforeEveryBlock) {
    device->setCts(false);
    device->queueCtsChanges({true});
    afterWrite(1, [](SimulatedDevice& d) {
        d.setCts(false);
        d.queueCtsChanges({true});
    });
    const Bytes bytes = data(230);
    ASSERT_EQ(send(LineMode::DataIoCts, bytes), DataIoResult::Ok);
    EXPECT_EQ(writeSizes(), (std::vector<size_t>{100, 100, 30}));
    EXPECT_EQ(device->written(), bytes);
    EXPECT_TRUE(line.peerReady);
}

TEST_F(DataIo, CtsPerBlockFailsWhenCtsCannotBeReadAfterTheLastBlock) {
    afterWrite(1, [](SimulatedDevice& d) { d.failCtsReads(true); });
    EXPECT_EQ(send(LineMode::DataIoCts, data(40)), DataIoResult::FlowControlFailure);
}

// --- Receive ---

class DataIoReceive : public DataIo {
  protected:
    DataIoResult receive(LineMode mode, int capacity = 64) {
        return dataIoReceive(line, mode, buffer, capacity, &length);
    }
    Bytes received() const { return Bytes(buffer, buffer + length); }

    uint8_t buffer[256] = {};
    int length = -1;
};

TEST_F(DataIoReceive, SignalsGoReceivesUntilEotAndSignalsStop) {
    device->pushGap();
    push({'A', 'B'});
    device->pushGap();
    push({'C', kEot});
    ASSERT_EQ(receive(LineMode::DataIoXonXoff), DataIoResult::Ok);
    EXPECT_EQ(received(), (Bytes{'A', 'B', 'C', kEot}));
    // XOn, a 100 ms pause after each wake-up, XOff.
    EXPECT_EQ(device->trace(), "[11] ~100 ~100 [13]");
}

TEST_F(DataIoReceive, CtsPerBlockModeSignalsWithRtsToo) {
    push({'A', kEot});
    ASSERT_EQ(receive(LineMode::DataIoCts), DataIoResult::Ok);
    EXPECT_EQ(received(), (Bytes{'A', kEot}));
    EXPECT_EQ(device->trace(), "RTS1 RTS0");
}

TEST_F(DataIoReceive, RemovesLeadingNulBytes) {
    push({0x00, 0x00, 0x00, 'N', 0x00, '1', kEot});
    ASSERT_EQ(receive(LineMode::DataIoRtsCts), DataIoResult::Ok);
    EXPECT_EQ(received(), (Bytes{'N', 0x00, '1', kEot}));
    EXPECT_EQ(device->trace(), "RTS1 RTS0");
}

TEST_F(DataIoReceive, StopsAtCapacityWithoutEot) {
    device->pushGap();
    push({'1', '2', '3', '4', '5'});
    ASSERT_EQ(receive(LineMode::DataIoXonXoff, 3), DataIoResult::Ok);
    EXPECT_EQ(received(), bytesOf("123"));
    EXPECT_EQ(device->trace(), "[11] ~100 [13]");
}

TEST_F(DataIoReceive, MoreWaitingThanTheCapacityIsTakenDirectlyAndTheCncHeld) {
    push({'1', '2', '3', '4', '5'});
    ASSERT_EQ(receive(LineMode::DataIoRtsCts, 4), DataIoResult::Ok);
    EXPECT_EQ(received(), bytesOf("1234"));
    EXPECT_EQ(device->trace(), "RTS0");
    EXPECT_FALSE(device->rts());
}

// --- Waits without limit end when the device is cancelled ---

TEST_F(DataIo, CancellingTheDeviceEndsEveryWaitWithoutLimit) {
    auto cancelSoon = [this] {
        return std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            device->cancel();
        });
    };
    {
        std::thread canceller = cancelSoon();
        EXPECT_EQ(send(LineMode::DataIoXonXoff, data(10)), DataIoResult::DeviceFailure);
        canceller.join();
    }
    device->reopen();
    device->setCts(false);
    {
        std::thread canceller = cancelSoon();
        EXPECT_EQ(send(LineMode::DataIoRtsCts, data(10)), DataIoResult::DeviceFailure);
        canceller.join();
    }
    device->reopen();
    {
        std::thread canceller = cancelSoon();
        EXPECT_EQ(send(LineMode::DataIoCts, data(10)), DataIoResult::DeviceFailure);
        canceller.join();
    }
    device->reopen();
    {
        std::thread canceller = cancelSoon();
        uint8_t buffer[16];
        int length = -1;
        EXPECT_EQ(dataIoReceive(line, LineMode::DataIoXonXoff, buffer, 16, &length),
                  DataIoResult::DeviceFailure);
        EXPECT_EQ(length, -1);
        canceller.join();
    }
}

TEST_F(DataIo, DataArrivingFromAnotherThreadEndsTheReceiveWait) {
    std::thread cnc([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        device->push({'O', 'K', kEot});
    });
    uint8_t buffer[16];
    int length = -1;
    EXPECT_EQ(dataIoReceive(line, LineMode::DataIoXonXoff, buffer, 16, &length), DataIoResult::Ok);
    EXPECT_EQ(Bytes(buffer, buffer + length), (Bytes{'O', 'K', kEot}));
    cnc.join();
}

}  // namespace
}  // namespace cablor::test
