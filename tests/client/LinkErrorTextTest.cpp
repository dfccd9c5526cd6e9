#include "client/LinkErrorText.h"

#include <cablor.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdlib>

namespace qel {
namespace {

TEST(LinkErrorText, NamesCodeAndMeaning) {
    EXPECT_EQ(linkErrorText(12), "link error 12 (time-out: no telegram arrived in time)");
    EXPECT_EQ(linkErrorText(0), "no link error reported");
    EXPECT_STREQ(linkErrorMeaning(27), "unknown error");
}

TEST(SerialPortDevice, EnvironmentOverridesTheDefaultDevice) {
    ::setenv("CABLOR_PORTS", "/nonexistent/ports", 1);  // no port map of the user's
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(serialPortDevice(3), "/dev/ttyS2");
    ::setenv("CABLOR_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ(serialPortDevice(3), "/dev/ttyUSB0");
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(serialPortDevice(0), "");
    EXPECT_EQ(serialPortDevice(5), "");
}

TEST(LinkFailureText, AFailureOnASerialDeviceThatDisappearedSaysItIsGone) {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::setenv("CABLOR_COM2", name, 1);
    LinkSettings serial;
    serial.linkType = DNC_LINK_RXA2;
    serial.port = 2;
    EXPECT_EQ(linkFailureText(7, serial), linkErrorText(7));
    ::close(slave);
    ::close(master);  // the pty's node goes with its last descriptor, as an adapter's does
    EXPECT_EQ(linkFailureText(7, serial),
              linkErrorText(7) + ": the device " + std::string(name) + " is gone");
    EXPECT_EQ(linkFailureText(0, serial), "no link error reported");
    LinkSettings tcp = serial;
    tcp.linkType = DNC_LINK_TCP_CLIENT;
    EXPECT_EQ(linkFailureText(7, tcp), linkErrorText(7));
    ::unsetenv("CABLOR_COM2");
}

TEST(SerialPortProblem, TellsAMissingDeviceFromOneHeldByAnotherProgram) {
    EXPECT_EQ(serialPortProblem("/dev/qelveva-no-such-port"), "no such device");
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    EXPECT_EQ(serialPortProblem(name), "");
    const int holder = ::open(name, O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(serialPortProblem(name), "held by another program");
    ::close(holder);
    ::close(slave);
    ::close(master);
}

}  // namespace
}  // namespace qel
