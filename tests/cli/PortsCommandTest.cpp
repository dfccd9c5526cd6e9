// qel ports: the listing from a made-up sysfs and /dev (drivers, by-id names, the latency
// timer, devices on no COM port), the condition of real pseudo-terminals (free, held by a second
// process, missing, no permission for a user outside dialout) and the port map edits.
#include "cli/PortsCommand.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ComPortDevice.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using cablor::ports::DeviceState;

struct TempFolder {
    fs::path path;
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "qel-ports-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
};

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

std::string readText(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    Pty() {
        char name[128] = {};
        EXPECT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        path = name;
    }
    ~Pty() {
        ::close(slave);
        ::close(master);
    }
};

// Every COM port named by the environment, so that neither the user's port map nor the
// machine's own serial ports take part.
struct PortsTest : ::testing::Test {
    TempFolder folder;
    fs::path map = folder.path / "ports";
    void SetUp() override {
        ::setenv("CABLOR_PORTS", map.c_str(), 1);
        for (int port = 1; port <= 4; ++port) {
            const std::string missing = (folder.path / ("none" + std::to_string(port))).string();
            ::setenv(("CABLOR_COM" + std::to_string(port)).c_str(), missing.c_str(), 1);
        }
    }
    void TearDown() override {
        ::unsetenv("CABLOR_PORTS");
        for (int port = 1; port <= 4; ++port) {
            ::unsetenv(("CABLOR_COM" + std::to_string(port)).c_str());
        }
    }
    int run(const std::vector<std::string>& args, const cablor::ports::SystemFolders& folders) {
        out.str({});
        err.str({});
        return runPortsCommand(args, out, err, folders);
    }
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(PortsTest, ListsDriversByIdNamesTheLatencyTimerAndDevicesOnNoComPort) {
    // A made-up machine: an FTDI adapter (on COM2 by its by-id name), an ACM modem on no COM
    // port, a real 16550 and a 16550 the kernel lists without hardware, a virtual console.
    const fs::path sys = folder.path / "sys";
    const fs::path dev = folder.path / "dev";
    for (const char* node : {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "tty0"}) {
        writeText(dev / node, "");
    }
    const fs::path byId = dev / "serial" / "by-id";
    fs::create_directories(byId);
    fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_USB_UART_A1B2-if00-port0");
    fs::create_symlink("../../ttyACM0", byId / "usb-Maker_Board_42-if00");
    auto driver = [&](const char* node, const char* name) {
        const fs::path device = sys / "devices" / node;
        fs::create_directories(device);
        fs::create_directories(sys / "bus" / "drivers" / name);
        fs::create_directories(sys / "class" / "tty" / node);
        fs::create_symlink(device, sys / "class" / "tty" / node / "device");
        fs::create_symlink(sys / "bus" / "drivers" / name, device / "driver");
        return device;
    };
    writeText(driver("ttyUSB0", "ftdi_sio") / "latency_timer", "16\n");
    driver("ttyACM0", "cdc_acm");
    driver("ttyS0", "serial8250");
    writeText(sys / "class" / "tty" / "ttyS0" / "type", "4\n");
    driver("ttyS1", "serial8250");
    writeText(sys / "class" / "tty" / "ttyS1" / "type", "0\n");
    fs::create_directories(sys / "class" / "tty" / "tty0");

    const std::string ftdi = (byId / "usb-FTDI_FT232R_USB_UART_A1B2-if00-port0").string();
    ::setenv("CABLOR_COM2", ftdi.c_str(), 1);
    const std::string acm = (dev / "ttyACM0").string();
    const cablor::ports::PortSurvey survey = cablor::ports::surveyPorts({sys, dev});
    ASSERT_EQ(survey.ports.size(), 4u);
    EXPECT_EQ(survey.ports[1].facts.node, "ttyUSB0");
    EXPECT_EQ(survey.ports[1].facts.driver, "ftdi_sio");
    EXPECT_EQ(survey.ports[1].facts.latencyMs, 16);
    EXPECT_EQ(survey.ports[1].facts.byId, "") << "the port is named by its by-id name already";

    ASSERT_EQ(run({}, {sys, dev}), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("COM1  " + (folder.path / "none1").string() + "  missing\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("COM2  " + ftdi +
                        "  not a serial device  driver ftdi_sio  latency timer 16 ms (slow: the "
                        "udev rule sets 1 ms)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("serial devices on no COM port:\n  " + acm + "  by-id " +
                        (byId / "usb-Maker_Board_42-if00").string() + "  driver cdc_acm\n  " +
                        (dev / "ttyS0").string() + "  driver serial8250\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("ttyS1"), std::string::npos) << "a port without hardware is no device";
    EXPECT_EQ(text.find("tty0"), std::string::npos);

    // A COM port on the kernel's name gets the by-id name beside it.
    ::setenv("CABLOR_COM3", acm.c_str(), 1);
    ASSERT_EQ(run({"--json"}, {sys, dev}), 0);
    const std::string json = out.str();
    EXPECT_NE(json.find("{\"port\": \"COM3\", \"device\": \"" + acm + "\", \"byId\": \"" +
                        (byId / "usb-Maker_Board_42-if00").string() +
                        "\", \"driver\": \"cdc_acm\", \"latencyMs\": null, \"state\": "
                        "\"not a serial device\""),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("ttyACM0\", \"byId\"", json.find("\"others\"")), std::string::npos)
        << "a device on a COM port is not among the others";
}

TEST_F(PortsTest, TellsFreeHeldByWhomMissingAndNoPermission) {
    Pty free;
    Pty held;
    Pty locked;
    ::setenv("CABLOR_COM1", free.path.c_str(), 1);
    ::setenv("CABLOR_COM2", held.path.c_str(), 1);
    ::setenv("CABLOR_COM4", locked.path.c_str(), 1);
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        // Only the held pty is open here, or the others would be seen as held too.
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != ready[1] && fd != release[0]) ::close(fd);
        }
        const int fd = ::open(held.path.c_str(), O_RDWR | O_NOCTTY);
        char byte = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
        n = ::read(release[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');

    const cablor::ports::SystemFolders noSys{folder.path / "sys", folder.path / "dev"};
    ASSERT_EQ(run({}, noSys), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("COM1  " + free.path + "  free\n"), std::string::npos) << text;
    const std::string heldBy = "COM2  " + held.path + "  held by another program (";
    ASSERT_NE(text.find(heldBy), std::string::npos) << text;
    EXPECT_NE(text.find("process " + std::to_string(holder) + ")\n"), std::string::npos) << text;
    EXPECT_NE(text.find("COM3  " + (folder.path / "none3").string() + "  missing\n"),
              std::string::npos);

    ::close(release[1]);
    ::waitpid(holder, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);

    // A user outside the device's group: the survey runs in a child that gives up root.
    ASSERT_EQ(::chmod(locked.path.c_str(), 0600), 0);
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    const pid_t user = ::fork();
    if (user == 0) {
        char state = 's';  // skipped: this test cannot become another user
        if (::getuid() == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            state = static_cast<char>(
                '0' + static_cast<int>(cablor::ports::deviceCondition(locked.path).state));
        } else if (::getuid() != 0 && ::access(locked.path.c_str(), R_OK | W_OK) != 0) {
            state = static_cast<char>(
                '0' + static_cast<int>(cablor::ports::deviceCondition(locked.path).state));
        }
        [[maybe_unused]] ssize_t n = ::write(answer[1], &state, 1);
        ::_exit(0);
    }
    char state = 0;
    ASSERT_EQ(::read(answer[0], &state, 1), 1);
    ::waitpid(user, nullptr, 0);
    ::close(answer[0]);
    ::close(answer[1]);
    if (state == 's') GTEST_SKIP() << "no other user to try the device as";
    EXPECT_EQ(state, '0' + static_cast<int>(DeviceState::NoPermission));
    cablor::ports::DeviceCondition noPermission;
    noPermission.state = DeviceState::NoPermission;
    EXPECT_EQ(cablor::ports::conditionText(noPermission),
              "permission denied (add the user to the dialout group)");
}

TEST_F(PortsTest, SetAndUnsetEditTheMapInForceAndKeepItsOtherLines) {
    ::unsetenv("CABLOR_COM2");
    writeText(map, "# the shop's adapters\nCOM1 = /dev/ttyS0\nCOM2 = /dev/ttyUSB9  # old\n");
    const cablor::ports::SystemFolders folders;
    ASSERT_EQ(run({"set", "com2", "/dev/serial/by-id/usb-FTDI_A1B2-if00-port0"}, folders), 0)
        << err.str();
    EXPECT_EQ(readText(map),
              "# the shop's adapters\nCOM1 = /dev/ttyS0\nCOM2 = "
              "/dev/serial/by-id/usb-FTDI_A1B2-if00-port0\n");
    EXPECT_EQ(out.str(),
              "COM2 = /dev/serial/by-id/usb-FTDI_A1B2-if00-port0  (" + map.string() + ")\n");
    EXPECT_EQ(cablor::ports::comPortDevice(2), "/dev/serial/by-id/usb-FTDI_A1B2-if00-port0");

    ASSERT_EQ(run({"unset", "COM2"}, folders), 0);
    EXPECT_EQ(readText(map), "# the shop's adapters\nCOM1 = /dev/ttyS0\n");
    EXPECT_EQ(cablor::ports::comPortDevice(2), "/dev/ttyS1");

    // The environment still wins over the map, and qel says so.
    ASSERT_EQ(run({"set", "COM3", "/dev/ttyACM0"}, folders), 0);
    EXPECT_NE(err.str().find("CABLOR_COM3 is set"), std::string::npos);

    // A map in a folder not made yet is created.
    const fs::path fresh = folder.path / "new" / "folder" / "ports";
    ::setenv("CABLOR_PORTS", fresh.c_str(), 1);
    ASSERT_EQ(run({"set", "COM4", "/dev/ttyUSB0"}, folders), 0) << err.str();
    EXPECT_EQ(readText(fresh), "COM4 = /dev/ttyUSB0\n");

    const std::string before = readText(fresh);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"set", "COM5", "/dev/ttyUSB0"},
          {"set", "COM1", "ttyUSB0"},
          {"set", "COM1", "/dev/tty#1"},
          {"set", "COM1"},
          {"unset"},
          {"remove", "COM1"},
          {"--json", "COM1"}}) {
        EXPECT_EQ(run(bad, folders), 2) << bad[0];
        EXPECT_NE(err.str().find("usage: qel ports"), std::string::npos);
    }
    EXPECT_EQ(readText(fresh), before);
}

TEST(PortsJson, TextsAreEscapedAndAbsentFactsAreNull) {
    cablor::ports::PortSurvey survey;
    cablor::ports::ComPortFacts port;
    port.port = 1;
    port.facts.device = "/dev/odd \"name\"\\\x01";
    port.condition.state = DeviceState::Held;
    port.condition.holderPid = 42;
    port.condition.holderProgram = "term";
    survey.ports.push_back(port);
    EXPECT_EQ(
        portsJson(survey),
        "{\"ports\": [\n  {\"port\": \"COM1\", \"device\": \"/dev/odd \\\"name\\\"\\\\\\u0001\", "
        "\"byId\": null, \"driver\": null, \"latencyMs\": null, \"state\": \"held\", "
        "\"text\": \"held by another program (term, process 42)\", \"holderPid\": 42, "
        "\"holderProgram\": \"term\"}],\n\"others\": []}\n");
}

}  // namespace
}  // namespace qel
