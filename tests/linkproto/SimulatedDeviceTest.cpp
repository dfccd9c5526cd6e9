// The simulated device's own promises, which the protocol and port-table tests build on.
#include <cerrno>

#include "LineFixture.h"

namespace cablor::test {
namespace {

TEST(SimulatedDevice, MarkedBytesArriveAloneWithTheirErrorsAndGapsTimeOutOnlyWaitingReads) {
    SimulatedDevice device;
    device.push({'a', 'b'});
    device.pushParityError('c');
    device.pushGap();
    device.push({'d'});

    LineErrors errors;
    int count = 0;
    uint8_t buffer[8];
    ASSERT_TRUE(device.queryStatus(&errors, &count));
    EXPECT_EQ(count, 2);  // up to the marked byte
    EXPECT_EQ(device.read(buffer, 8, 0), 2);
    ASSERT_TRUE(device.queryStatus(&errors, &count));
    EXPECT_FALSE(errors.any());
    EXPECT_EQ(count, 1);  // the marked byte alone
    EXPECT_EQ(device.read(buffer, 8, 0), 1);
    EXPECT_EQ(buffer[0], 'c');
    ASSERT_TRUE(device.queryStatus(&errors, &count));
    EXPECT_TRUE(errors.parity);
    EXPECT_EQ(count, 0);                       // a gap is next
    EXPECT_EQ(device.read(buffer, 8, 0), 0);   // does not wait: the gap stays
    EXPECT_EQ(device.read(buffer, 8, 50), 0);  // waits: times out on the gap
    EXPECT_EQ(device.read(buffer, 8, 50), 1);
    EXPECT_EQ(device.timedOutReads(), (std::vector<int>{0, 50}));
}

TEST(SimulatedDevice, PortsOpenExclusivelyAndKeepOneScriptableDeviceAcrossOpens) {
    SimulatedPorts ports;
    DeviceOpener open = ports.opener();
    DeviceOpenFailure failure;

    auto first = open(2, &failure);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(ports.isOpen(2));
    EXPECT_EQ(open(2, &failure), nullptr);
    EXPECT_EQ(failure.error, EBUSY);
    EXPECT_EQ(open(0, &failure), nullptr);
    EXPECT_EQ(failure.error, ENOENT);

    first->pause(5);
    first->cancel();
    first.reset();
    EXPECT_FALSE(ports.isOpen(2));

    auto second = open(2, &failure);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->write(reinterpret_cast<const uint8_t*>("x"), 1));  // not cancelled
    EXPECT_EQ(ports.port(2)->trace(), "OPEN ~5 CLOSE OPEN [78]");
    EXPECT_EQ(ports.openCount(2), 2);

    ports.failOpen(3, ENOENT);
    EXPECT_EQ(open(3, &failure), nullptr);
    EXPECT_EQ(failure.error, ENOENT);
}

TEST(SimulatedDevice, SettingsCanBeRefusedPerSpeedOrByHook) {
    SimulatedDevice device;
    device.refuseSpeed(38400);
    device.setSettingsHook([](const LineSettings& s) { return s.parity == Parity::Odd ? EIO : 0; });
    LineSettings settings;
    settings.speed = 38400;
    EXPECT_EQ(device.applySettings(settings), EINVAL);
    settings.speed = 9600;
    settings.parity = Parity::Odd;
    EXPECT_EQ(device.applySettings(settings), EIO);
    settings.parity = Parity::Even;
    EXPECT_EQ(device.applySettings(settings), 0);
    EXPECT_EQ(device.currentSettings().parity, Parity::Even);
    EXPECT_EQ(device.appliedSettings().size(), 1u);
}

}  // namespace
}  // namespace cablor::test
