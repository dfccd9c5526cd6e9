#include "client/LinkErrorText.h"

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
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(serialPortDevice(3), "/dev/ttyS2");
    ::setenv("CABLOR_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ(serialPortDevice(3), "/dev/ttyUSB0");
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(serialPortDevice(0), "");
    EXPECT_EQ(serialPortDevice(5), "");
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
