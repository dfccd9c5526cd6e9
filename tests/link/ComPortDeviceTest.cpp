// The COM port rules shared by the library and the program: which device a port number names,
// and what keeps a device from opening, seen without opening it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "ComPortDevice.h"
#include "ComPortProblem.h"
#include "PortMap.h"

namespace {

using cablor::ports::comPortDevice;
using cablor::ports::comPortProblem;
using cablor::ports::parsePortMap;
using cablor::ports::portMapFile;
using cablor::ports::portMapWith;

// A pseudo-terminal: a character device that is a serial line as far as the library knows.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    Pty() {
        char name[256] = {};
        EXPECT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        path = name;
    }
    ~Pty() {
        ::close(slave);
        ::close(master);
    }
};

// A scratch folder for files and links that are not devices.
struct Scratch {
    std::string dir;
    Scratch() {
        std::string pattern = ::testing::TempDir() + "qelveva-ports-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    ~Scratch() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

TEST(ComPortDevice, EnvironmentNamesThePortsDeviceElseTheStandardSerialDevice) {
    ::setenv("CABLOR_PORTS", "/nonexistent/ports", 1);  // no port map
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(comPortDevice(3), "/dev/ttyS2");
    ::setenv("CABLOR_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ(comPortDevice(3), "/dev/ttyUSB0");
    EXPECT_EQ(comPortDevice(2), "/dev/ttyS1");  // only its own port
    ::setenv("CABLOR_COM3", "", 1);
    EXPECT_EQ(comPortDevice(3), "/dev/ttyS2");
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(comPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(comPortDevice(4), "/dev/ttyS3");
    EXPECT_EQ(comPortDevice(0), "");
    EXPECT_EQ(comPortDevice(5), "");
    EXPECT_EQ(comPortDevice(-1), "");
}

TEST(ComPortProblem, AFreeSerialDeviceHasNone) {
    Pty pty;
    EXPECT_EQ(comPortProblem(pty.path), "");
}

TEST(ComPortProblem, PathsThatAreNoSerialDeviceAreTold) {
    Scratch scratch;
    EXPECT_EQ(comPortProblem(""), "no device for this port number");
    EXPECT_EQ(comPortProblem("/dev/qelveva-no-such-port"), "no such device");
    EXPECT_EQ(comPortProblem(scratch.dir + "/missing/ttyS0"), "no such device");

    const std::string file = scratch.dir + "/program.nc";
    ::close(::open(file.c_str(), O_WRONLY | O_CREAT, 0600));
    EXPECT_EQ(comPortProblem(file), "not a serial device");
    EXPECT_EQ(comPortProblem(scratch.dir), "not a serial device");
    EXPECT_EQ(comPortProblem(file + "/ttyS0"), "no such device");

    const std::string dangling = scratch.dir + "/dangling";
    ASSERT_EQ(::symlink("/dev/qelveva-no-such-port", dangling.c_str()), 0);
    EXPECT_EQ(comPortProblem(dangling), "no such device");
}

TEST(ComPortProblem, AFlockOnTheDeviceIsSeenThroughALinkAndEndsWithIt) {
    Pty pty;
    Scratch scratch;
    const std::string link = scratch.dir + "/ttyCNC";
    ASSERT_EQ(::symlink(pty.path.c_str(), link.c_str()), 0);

    // Another open of the same device, as another program would have it.
    const int holder = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // This process holds it: no process number, which would only name ourselves.
    EXPECT_EQ(comPortProblem(pty.path), "held by another program");
    EXPECT_EQ(comPortProblem(link), "held by another program");

    ASSERT_EQ(::flock(holder, LOCK_UN), 0);
    EXPECT_EQ(comPortProblem(pty.path), "");
    ::close(holder);
}

TEST(ComPortProblem, AnotherProcessHoldingTheDeviceIsNamed) {
    Pty pty;
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other program: takes the device as the library would and keeps it until the
        // test closes its end of `release`.
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
        const char answer = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &answer, 1);
        char byte;
        n = ::read(release[0], &byte, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');
    EXPECT_EQ(comPortProblem(pty.path),
              "held by another program (process " + std::to_string(child) + ")");
    ::close(release[1]);  // the child ends
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    EXPECT_EQ(comPortProblem(pty.path), "");
}

TEST(ComPortProblem, ADeviceTheUserMayNotOpenIsTold) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may open every device";
    Pty pty;
    ASSERT_EQ(::chmod(pty.path.c_str(), 0), 0);
    EXPECT_EQ(comPortProblem(pty.path), "permission denied (add the user to the dialout group)");
}

TEST(PortMap, LinesNameDevicesOfComPortsAndEverythingElseIsReportedAndIgnored) {
    const auto map = parsePortMap(
        "# the shop's adapters\n"
        "COM1 = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
        "  com2=/dev/ttyACM0   # lower case and no blanks are fine\n"
        "\n"
        "COM3 = ttyUSB1\n"       // relative: refused
        "COM5 = /dev/ttyUSB2\n"  // no such COM port
        "COM4 /dev/ttyUSB3\n"    // no "="
        "COM4 =\n"
        "COM2 = /dev/ttyUSB4\n");  // the last line for a port counts
    EXPECT_EQ(map.devices[0], "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(map.devices[1], "/dev/ttyUSB4");
    EXPECT_EQ(map.devices[2], "");
    EXPECT_EQ(map.devices[3], "");
    ASSERT_EQ(map.problems.size(), 4u);
    EXPECT_EQ(map.problems[0], "line 5: the device must be an absolute path");
    EXPECT_EQ(map.problems[1], "line 6: COM1 to COM4 expected before \"=\"");
    EXPECT_EQ(map.problems[2], "line 7: not \"COMn = PATH\"");
    EXPECT_EQ(map.problems[3], "line 8: no device after \"=\"");
}

TEST(PortMap, EnvironmentFirstThenTheMapFileThenTheStandardDevice) {
    Scratch scratch;
    const std::string file = scratch.dir + "/ports";
    std::ofstream(file) << "COM2 = /dev/ttyUSB0\nCOM3 = /dev/ttyACM0\n";
    ::setenv("CABLOR_PORTS", file.c_str(), 1);
    ::unsetenv("CABLOR_COM2");
    ::setenv("CABLOR_COM3", "/dev/pts/7", 1);
    EXPECT_EQ(comPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(comPortDevice(2), "/dev/ttyUSB0");
    EXPECT_EQ(comPortDevice(3), "/dev/pts/7");
    ::unsetenv("CABLOR_COM3");
    EXPECT_EQ(comPortDevice(3), "/dev/ttyACM0");

    // Without CABLOR_PORTS: the user's file when there is one, else the machine's.
    ::unsetenv("CABLOR_PORTS");
    const std::string oldConfig =
        std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    ::setenv("XDG_CONFIG_HOME", scratch.dir.c_str(), 1);
    EXPECT_EQ(portMapFile(), "/etc/qelveva/ports");
    ::mkdir((scratch.dir + "/qelveva").c_str(), 0700);
    std::ofstream(scratch.dir + "/qelveva/ports") << "COM4 = /dev/ttyUSB9\n";
    EXPECT_EQ(portMapFile(), scratch.dir + "/qelveva/ports");
    EXPECT_EQ(comPortDevice(4), "/dev/ttyUSB9");
    if (oldConfig.empty())
        ::unsetenv("XDG_CONFIG_HOME");
    else
        ::setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    ::setenv("CABLOR_PORTS", "/nonexistent/ports", 1);
    EXPECT_EQ(comPortDevice(4), "/dev/ttyS3");  // a map file named but missing: no map
}

TEST(PortMap, SettingAPortKeepsTheOtherLinesAndUnsettingRemovesItsLine) {
    const std::string text = "# adapters\nCOM1 = /dev/ttyUSB0\nCOM2 = /dev/ttyUSB1 # spindle\n";
    EXPECT_EQ(portMapWith(text, 2, "/dev/ttyACM0"),
              "# adapters\nCOM1 = /dev/ttyUSB0\nCOM2 = /dev/ttyACM0\n");
    EXPECT_EQ(portMapWith(text, 3, "/dev/ttyACM1"), text + "COM3 = /dev/ttyACM1\n");
    EXPECT_EQ(portMapWith(text, 1, ""), "# adapters\nCOM2 = /dev/ttyUSB1 # spindle\n");
    EXPECT_EQ(portMapWith("", 4, "/dev/ttyS9"), "COM4 = /dev/ttyS9\n");
}

}  // namespace
