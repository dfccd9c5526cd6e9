// COM ports on pseudo-terminals: exclusive opening against a second opener (under either of two
// names), devices that are not ttys, read time-outs, a pty whose other side goes away or that is
// hung up, and the driver's low latency asked for and given back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "ComPortProblem.h"
#include "LowLatency.h"
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
    EXPECT_FALSE(device->waitEvent(kEventCtsChange));
    EXPECT_TRUE(device->gone());
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

TEST(TermiosDevice, TwoNamesOfOneDeviceExcludeEachOther) {
    // A /dev/serial/by-id link and the device node it points to are one port.
    Pty pty;
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("by-id-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.slavePath, link);
    DeviceOpenFailure failure;
    {
        auto byLink = openTermiosDevice(link.string(), &failure);
        ASSERT_NE(byLink, nullptr) << failure.error;
        EXPECT_EQ(openTermiosDevice(pty.slavePath, &failure), nullptr);
        EXPECT_EQ(failure.error, EBUSY);
        EXPECT_EQ(ports::comPortProblem(link.string()), "held by another program");
    }
    {
        auto byNode = openTermiosDevice(pty.slavePath, &failure);
        ASSERT_NE(byNode, nullptr) << failure.error;
        EXPECT_EQ(openTermiosDevice(link.string(), &failure), nullptr);
        EXPECT_EQ(failure.error, EBUSY);
        EXPECT_EQ(failure.path, link.string());
    }
    EXPECT_NE(openTermiosDevice(link.string(), &failure), nullptr);
    std::filesystem::remove(link);
}

TEST(TermiosDevice, AHungUpTtyEndsAWaitingReadAtOnce) {
    // A USB adapter pulled out hangs its tty up: from then on it polls readable while every
    // read returns nothing. The kernel does the same for TIOCVHANGUP, which needs root.
    Pty pty;
    DeviceOpenFailure failure;
    std::shared_ptr<SerialDevice> device = openTermiosDevice(pty.slavePath, &failure);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->applySettings(LineSettings{}), 0);
    const int second = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (second < 0) GTEST_SKIP() << "the pty cannot be opened twice here";
    std::thread pull([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (::ioctl(second, TIOCVHANGUP) != 0) device->cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    uint8_t byte = 0;
    const int read = device->read(&byte, 1, 3000);
    const auto took = std::chrono::steady_clock::now() - start;
    pull.join();
    ::close(second);
    EXPECT_EQ(read, -1);
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_FALSE(device->waitEvent(kEventCharacter));
    EXPECT_FALSE(device->waitEvent(kEventCtsChange)) << "a DataIO wait for CTS ends too";
    EXPECT_TRUE(device->gone());
    LineErrors errors;
    int queued = 0;
    EXPECT_FALSE(device->queryStatus(&errors, &queued));
}

// A driver's TIOCGSERIAL/TIOCSSERIAL as the kernel would answer them, with a record of calls.
struct RecordedDriver {
    struct Call {
        unsigned long request;
        int flags;
    };
    int flags = ASYNC_SKIP_TEST;  // some flag of the driver's own that must survive
    bool supported = true;
    bool refusesChange = false;
    std::vector<Call> calls;

    SerialInfoIoctl ioctl() {
        return [this](int, unsigned long request, serial_struct* info) {
            calls.push_back({request, request == TIOCSSERIAL ? info->flags : flags});
            if (!supported) {
                errno = ENOTTY;
                return -1;
            }
            if (request == TIOCGSERIAL) {
                *info = serial_struct{};
                info->flags = flags;
                return 0;
            }
            if (refusesChange) {
                errno = EPERM;
                return -1;
            }
            flags = info->flags;
            return 0;
        };
    }
    std::vector<unsigned long> requests() const {
        std::vector<unsigned long> list;
        for (const Call& call : calls) list.push_back(call.request);
        return list;
    }
};

TEST(LowLatency, IsAskedForWhileThePortIsOpenAndTheDriversFlagsComeBackAtClose) {
    Pty pty;
    DeviceOpenFailure failure;
    RecordedDriver driver;
    auto device = openTermiosDevice(pty.slavePath, &failure, driver.ioctl());
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(driver.requests(), (std::vector<unsigned long>{TIOCGSERIAL, TIOCSSERIAL}));
    EXPECT_EQ(driver.calls[1].flags, ASYNC_SKIP_TEST | ASYNC_LOW_LATENCY);
    driver.flags |= ASYNC_SPD_HI;  // changed by someone else while the port was open
    device.reset();
    ASSERT_EQ(driver.requests().size(), 4u);
    EXPECT_EQ(driver.calls[3].request, static_cast<unsigned long>(TIOCSSERIAL));
    EXPECT_EQ(driver.calls[3].flags, ASYNC_SKIP_TEST | ASYNC_SPD_HI);
}

TEST(LowLatency, ADriverWithoutItOrAlreadyLowOrRefusingIsLeftAsItIs) {
    Pty pty;
    DeviceOpenFailure failure;
    RecordedDriver without;
    without.supported = false;  // a pseudo-terminal, a network tty
    RecordedDriver low;
    low.flags |= ASYNC_LOW_LATENCY;
    RecordedDriver refusing;
    refusing.refusesChange = true;
    for (RecordedDriver* driver : {&without, &low, &refusing}) {
        auto device = openTermiosDevice(pty.slavePath, &failure, driver->ioctl());
        ASSERT_NE(device, nullptr) << failure.error;
        const size_t atOpen = driver->calls.size();
        device.reset();
        EXPECT_EQ(driver->calls.size(), atOpen) << "nothing to give back";
        EXPECT_EQ(driver->flags & ASYNC_LOW_LATENCY, driver == &low ? ASYNC_LOW_LATENCY : 0);
    }
    // The real driver of a pty has no such request: the port opens all the same.
    EXPECT_NE(openTermiosDevice(pty.slavePath, &failure), nullptr);
    EXPECT_FALSE(LowLatency::request(pty.master).changed());
}

}  // namespace
