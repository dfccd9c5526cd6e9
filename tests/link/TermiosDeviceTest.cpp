// COM ports on pseudo-terminals: exclusive opening against a second opener, devices that are
// not ttys, read time-outs and a pty whose other side goes away.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "PortTable.h"
#include "SerialLine.h"
#include "TermiosDevice.h"
#include "cablor.h"

namespace {

using namespace cablor;

struct Pty {
    int master = -1;
    std::string slavePath;
    Pty() {
        int slave = -1;
        char name[256];
        EXPECT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        slavePath = name;
        ::close(slave);
    }
    ~Pty() {
        if (master >= 0) ::close(master);
    }
};

DncConnectParams rxa2Block(int port) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_RXA2;
    p.port = port;
    p.ackTimeout = 1;
    p.replyTimeout = 2;
    p.baudRate = 19200;
    p.flags = DNC_FLAG_NO_LOGIN;
    return p;
}

TEST(TermiosDevice, ASecondOpenerIsRefusedUntilTheFirstCloses) {
    Pty pty;
    DeviceOpenFailure failure;
    auto first = openTermiosDevice(pty.slavePath, &failure);
    ASSERT_NE(first, nullptr) << failure.error;
    EXPECT_EQ(openTermiosDevice(pty.slavePath, &failure), nullptr);
    EXPECT_EQ(failure.error, EBUSY);
    EXPECT_EQ(failure.path, pty.slavePath);

    // Through the library: connect fails with 5 and the reason names the device.
    ::setenv("CABLOR_COM3", pty.slavePath.c_str(), 1);
    DncConnectParams p = rxa2Block(3);
    EXPECT_EQ(DncConnectEx(&p), 0);
    EXPECT_EQ(DncGetLastError(0), DNC_ERR_PORT);
    EXPECT_EQ(PortTable::instance().lastOpenFailure().path, pty.slavePath);
    EXPECT_EQ(PortTable::instance().lastOpenFailure().error, EBUSY);

    first.reset();
    int32_t h = DncConnectEx(&p);
    EXPECT_NE(h, 0);
    DncDisconnect(h);
    DncCloseHandle(h);
    ::unsetenv("CABLOR_COM3");
}

TEST(TermiosDevice, AnotherProcessHoldingThePortMakesTheExchangeFail) {
    Pty pty;
    ::setenv("CABLOR_COM4", pty.slavePath.c_str(), 1);
    DncConnectParams p = rxa2Block(4);
    int32_t h = DncConnectEx(&p);
    ASSERT_NE(h, 0);
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t child = ::fork();
    if (child == 0) {
        DeviceOpenFailure failure;
        auto held = openTermiosDevice(pty.slavePath, &failure);
        char byte = held ? 'y' : 'n';
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    EXPECT_EQ(DncReserve(h), 0);
    EXPECT_EQ(DncGetLastError(h), DNC_ERR_PORT);
    (void)!::write(release[1], "x", 1);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(DncReserve(h), 1);
    DncDisconnect(h);
    DncCloseHandle(h);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
    ::unsetenv("CABLOR_COM4");
}

TEST(TermiosDevice, APathThatIsNotATtyIsRefused) {
    DeviceOpenFailure failure;
    EXPECT_EQ(openTermiosDevice("/dev/null", &failure), nullptr);
    EXPECT_EQ(failure.error, ENOTTY);
    EXPECT_EQ(openTermiosDevice("/dev/no-such-port", &failure), nullptr);
    EXPECT_EQ(failure.error, ENOENT);
}

TEST(TermiosDevice, ReadsTimeOutAtOnceWithZeroAndBurstsComeInOneRead) {
    Pty pty;
    DeviceOpenFailure failure;
    std::shared_ptr<SerialDevice> device = openTermiosDevice(pty.slavePath, &failure);
    ASSERT_NE(device, nullptr);
    SerialLine line(device);
    LineSettings settings;
    settings.speed = 115200;
    ASSERT_EQ(line.configure(settings, 0), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line.readByte(0).kind, ReadKind::Timeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

    const uint8_t burst[] = {0x10, 0x02, 'M', 0xFF, 0x10, 0x03};
    ASSERT_EQ(::write(pty.master, burst, sizeof burst), static_cast<ssize_t>(sizeof burst));
    EXPECT_TRUE(line.readByte(1000).is(0x10));
    EXPECT_EQ(line.readAheadPending(), 5);  // the rest waits in the read-ahead buffer
    for (size_t i = 1; i < sizeof burst; ++i) EXPECT_TRUE(line.readByte(0).is(burst[i])) << i;

    // Speeds without a B constant are set too.
    settings.speed = 43200;
    EXPECT_EQ(line.configure(settings, 0), 0);
}

TEST(TermiosDevice, ThePeerGoingAwayIsADeviceFailureNotAHang) {
    Pty pty;
    DeviceOpenFailure failure;
    std::shared_ptr<SerialDevice> device = openTermiosDevice(pty.slavePath, &failure);
    ASSERT_NE(device, nullptr);
    SerialLine line(device);
    ASSERT_EQ(line.configure(LineSettings{}, 0), 0);
    ::close(pty.master);
    pty.master = -1;
    EXPECT_EQ(line.readByte(-1).kind, ReadKind::DeviceFailure);
}

TEST(TermiosDevice, CancelEndsAWaitWithoutLimit) {
    Pty pty;
    DeviceOpenFailure failure;
    std::shared_ptr<SerialDevice> device = openTermiosDevice(pty.slavePath, &failure);
    ASSERT_NE(device, nullptr);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        device->cancel();
    });
    uint8_t byte;
    EXPECT_EQ(device->read(&byte, 1, -1), -1);
    EXPECT_FALSE(device->waitEvent(kEventCharacter | kEventCtsChange));
    canceller.join();
}

}  // namespace
