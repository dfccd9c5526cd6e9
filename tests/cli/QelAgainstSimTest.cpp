// qel against the simulated CNC, both as separate programs: over TCP, and over a
// pseudo-terminal speaking RXA/2.
#include "ChildProcess.h"

#include "config/ConfigRecord.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"

#include <cablor.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

namespace qel {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;
using testing::runToEnd;
using Stream = ChildProcess::Stream;

constexpr milliseconds kStartLimit(5000);

// A folder of its own per test, removed afterwards.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qel-cli-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
};

// Writes a settings file whose selected configuration is the given one.
void writeSettings(const std::filesystem::path& file, const ConfigRecord& config) {
    std::ostringstream ignored;
    StreamMessages messages(ignored);
    SettingsStore store(file, file.parent_path().string(), messages);
    store.configs()[0] = config;
    store.currentConfig() = 0;
    ASSERT_TRUE(store.write());
}

ConfigRecord namedConfig(const char* name, int linkType) {
    ConfigRecord config;
    config.inUse = 1;
    setText(config.name, name);
    config.linkType = linkType;
    config.retries = 1;
    config.timeout = 1;
    return config;
}

// A TCP port nobody listens on: bound and closed again.
int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::vector<std::string> qel(std::vector<std::string> args) {
    args.insert(args.begin(), QEL_PROGRAM);
    return args;
}

class SimulatedCnc {
  public:
    // Starts cncsim with the sample memories on the given line plus extra options.
    SimulatedCnc(std::vector<std::string> line, const std::vector<std::string>& options)
        : process_(command(std::move(line), options)) {}

    // "127.0.0.1:PORT" once it listens.
    std::string tcpAddress() {
        auto line = process_.waitForLine(Stream::Out, "listening on ", kStartLimit);
        return line ? line->substr(line->rfind(' ') + 1) : std::string("127.0.0.1:1");
    }
    std::string ptyPath() {
        auto line = process_.waitForLine(Stream::Out, "pty ", kStartLimit);
        return line ? line->substr(line->rfind(' ') + 1) : std::string("/nonexistent");
    }
    ChildProcess& process() { return process_; }

  private:
    static std::vector<std::string> command(std::vector<std::string> line,
                                            const std::vector<std::string>& options) {
        std::vector<std::string> argv = {CNCSIM_PROGRAM, "--load", SIM_SAMPLES};
        argv.insert(argv.end(), line.begin(), line.end());
        argv.insert(argv.end(), options.begin(), options.end());
        return argv;
    }
    ChildProcess process_;
};

const std::vector<std::string> kTcpLine = {"--tcp-listen", "127.0.0.1:0"};

// ---- TCP ----

TEST(QelOverTcp, ListsTheSampleMemoriesAndOnlyThem) {
    SimulatedCnc cnc(kTcpLine, {"--quiet"});
    const auto result = runToEnd(qel({"-i", cnc.tcpAddress(), "list", "PM"}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "JOBSET.PM\nPOCKET.PM\nPROG1.PM\n");
    EXPECT_EQ(result.err, "");
}

TEST(QelOverTcp, FreeMessageAndDelete) {
    SimulatedCnc cnc(kTcpLine, {"--quiet"});
    const std::string address = cnc.tcpAddress();
    auto result = runToEnd(qel({"-i", address, "free"}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    ASSERT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.find_first_not_of("0123456789"), result.out.size() - 1);

    result = runToEnd(qel({"-i", address, "message", "QEL", "test"}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(cnc.process().waitForLine(Stream::Out, "message: QEL test", kStartLimit));

    result = runToEnd(qel({"-i", address, "delete", "POCKET.PM", "NOPE.PM"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "qel: delete NOPE.PM: the CNC answered \"T NP\"\n");
    result = runToEnd(qel({"-i", address, "list", "PM"}));
    EXPECT_EQ(result.out, "JOBSET.PM\nPROG1.PM\n");
}

TEST(QelOverTcp, TracesTelegramsOnStandardErrorWhenAsked) {
    SimulatedCnc cnc(kTcpLine, {"--quiet"});
    const auto result = runToEnd(qel({"-i", cnc.tcpAddress(), "list", "TO"}), {"QELVEVA_TRACE=1"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "TOOLS.TO\n");
    EXPECT_NE(result.err.find(">> LITO\n<< M RT\n"), std::string::npos) << result.err;
}

TEST(QelOverTcp, ACncThatRefusesIsNamedWithItsReason) {
    SimulatedCnc cnc(kTcpLine, {"--quiet", "--refuse", "LI:*.PM=T BDLOCKED", "--refuse",
                                "MC:PROG1.PM=T BDPROTECTED"});
    const std::string address = cnc.tcpAddress();
    auto result = runToEnd(qel({"-i", address, "list", "PM"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "qel: list PM: the CNC answered \"T BDLOCKED\"\n");
    result = runToEnd(qel({"-i", address, "delete", "PROG1.PM"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "qel: delete PROG1.PM: the CNC answered \"T BDPROTECTED\"\n");
}

TEST(QelOverTcp, NobodyListeningIsAConnectFailure) {
    const std::string address = "127.0.0.1:" + std::to_string(unusedPort());
    const auto result = runToEnd(qel({"-i", address, "free"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "qel: cannot connect to " + address +
                              ": link error 23 (connection refused or unreachable)\n");
}

// A configured TCP client, so that the reply time-out can be short: the configuration's
// time-out plus two seconds.
struct QelWithConfiguration : ::testing::Test {
    TempFolder folder;
    std::filesystem::path settings = folder.path / "QelVeva.cfg";

    std::vector<std::string> environment() const { return {"QELVEVA_CFG=" + settings.string()}; }
    void configureTcp(const std::string& address, int timeout) {
        ConfigRecord config = namedConfig("Mill", DNC_LINK_TCP_CLIENT);
        const size_t colon = address.rfind(':');
        setText(config.ipAddressText, address.substr(0, colon));
        config.destinationPort = static_cast<int16_t>(std::stoi(address.substr(colon + 1)));
        config.timeout = static_cast<int16_t>(timeout);
        writeSettings(settings, config);
    }
};

TEST_F(QelWithConfiguration, NamedOrSelectedConfigurationConnects) {
    SimulatedCnc cnc(kTcpLine, {"--quiet"});
    configureTcp(cnc.tcpAddress(), 1);
    auto result = runToEnd(qel({"list", "TO"}), environment());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "TOOLS.TO\n");
    result = runToEnd(qel({"-c", "Mill", "list", "TO"}), environment());
    EXPECT_EQ(result.out, "TOOLS.TO\n");
    result = runToEnd(qel({"-c", "Lathe", "list", "TO"}), environment());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err.rfind("qel: no configuration named \"Lathe\"", 0), 0u) << result.err;
}

TEST_F(QelWithConfiguration, ACncThatGoesSilentEndsInATimeOut) {
    // The login ("M  I", "M VN") is answered, the listing request is not.
    SimulatedCnc cnc(kTcpLine, {"--quiet", "--silent-after", "2"});
    configureTcp(cnc.tcpAddress(), -1);  // one second
    const auto result = runToEnd(qel({"list", "PM"}), environment());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "qel: list PM: link error 12 (time-out: no telegram arrived in time)\n");
}

TEST_F(QelWithConfiguration, ADroppedConnectionFailsAtOnce) {
    SimulatedCnc cnc(kTcpLine, {"--quiet", "--silent-after", "2"});
    configureTcp(cnc.tcpAddress(), 20);  // a reply time-out far beyond the wait below
    auto environmentWithTrace = environment();
    environmentWithTrace.push_back("QELVEVA_TRACE=1");
    ChildProcess lister(qel({"list", "PM"}), environmentWithTrace);
    ASSERT_TRUE(lister.waitForLine(Stream::Err, ">> LIPM", kStartLimit));
    cnc.process().kill(SIGKILL);
    const auto result = lister.finish(milliseconds(10000));
    EXPECT_EQ(result.exitStatus, 1);  // -1 had it waited for the time-out
    EXPECT_EQ(result.out, "");
    const std::string lastLine =
        result.err.substr(result.err.rfind('\n', result.err.size() - 2) + 1);
    EXPECT_EQ(lastLine.rfind("qel: list PM: link error ", 0), 0u) << result.err;
}

// ---- RXA/2 over a pseudo-terminal ----

struct QelOverRxa2 : QelWithConfiguration {
    std::vector<std::string> onPort(const std::string& device) const {
        auto env = environment();
        env.push_back("CABLOR_COM1=" + device);
        return env;
    }
    void configureSerial(int timeout) {
        ConfigRecord config = namedConfig("Lathe", DNC_LINK_RXA2);
        config.comPort = 1;
        config.baudRate = 9600;
        config.timeout = static_cast<int16_t>(timeout);
        writeSettings(settings, config);
    }
};

TEST_F(QelOverRxa2, ListsAndDeletesOverTheSerialLine) {
    SimulatedCnc cnc({"--pty"}, {"--quiet"});
    const std::string device = cnc.ptyPath();
    configureSerial(1);
    auto result = runToEnd(qel({"list", "PM"}), onPort(device));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "JOBSET.PM\nPOCKET.PM\nPROG1.PM\n");
    result = runToEnd(qel({"delete", "JOBSET.PM"}), onPort(device));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    result = runToEnd(qel({"list", "PM"}), onPort(device));
    EXPECT_EQ(result.out, "POCKET.PM\nPROG1.PM\n");
}

TEST_F(QelOverRxa2, ACncThatRefusesIsNamedWithItsReason) {
    SimulatedCnc cnc({"--pty"}, {"--quiet", "--refuse", "MC:*=M NR"});
    const std::string device = cnc.ptyPath();
    configureSerial(1);
    const auto result = runToEnd(qel({"delete", "PROG1.PM"}), onPort(device));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "qel: delete PROG1.PM: the CNC answered \"M NR\"\n");
}

TEST_F(QelOverRxa2, ACncThatGoesSilentFailsWithALinkError) {
    SimulatedCnc cnc({"--pty"}, {"--quiet", "--silent-after", "2"});
    const std::string device = cnc.ptyPath();
    configureSerial(1);
    const auto result = runToEnd(qel({"free"}), onPort(device));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("qel: free: link error ", 0), 0u) << result.err;
}

TEST_F(QelOverRxa2, AnAdapterPulledOutMidTransferFailsAtOnceAndWorksAgainUnderItsName) {
    // The COM port is a stable name (as under /dev/serial/by-id) for whatever device is behind
    // it; the adapter is pulled out while the PC waits for the CNC's next telegram.
    const std::filesystem::path byId = folder.path / "usb-CNC_Adapter-if00-port0";
    const std::filesystem::path work = folder.path / "work";
    std::filesystem::create_directory(work);
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(work);
    configureSerial(20);  // a time-out far beyond the wait below
    auto env = onPort(byId.string());
    {
        // Silent after the first program block: the PC has part of the memory.
        SimulatedCnc cnc({"--pty", "--link", byId.string()}, {"--quiet", "--silent-after", "4"});
        cnc.ptyPath();
        auto traced = env;
        traced.push_back("QELVEVA_TRACE=1");
        ChildProcess receiver(qel({"receive", "PROG1.PM"}), traced);
        ASSERT_TRUE(receiver.waitForLine(Stream::Err, "<< R PM%PM1", kStartLimit));
        std::this_thread::sleep_for(milliseconds(300));
        const auto pulled = std::chrono::steady_clock::now();
        std::filesystem::remove(byId);  // the node and its by-id link go, as udev takes them
        cnc.process().kill(SIGKILL);
        const auto result = receiver.finish(milliseconds(15000));
        EXPECT_LT(std::chrono::steady_clock::now() - pulled, std::chrono::seconds(5));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find("the device " + byId.string() + " is gone"), std::string::npos)
            << result.err;
        EXPECT_TRUE(std::filesystem::is_empty(work)) << "no partial file";
    }
    {
        SimulatedCnc cnc({"--pty", "--link", byId.string()}, {"--quiet"});
        cnc.ptyPath();
        const auto result = runToEnd(qel({"receive", "PROG1.PM"}), env);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_FALSE(std::filesystem::is_empty(work)) << result.out << result.err;
    }
    std::filesystem::current_path(started);
}

TEST_F(QelOverRxa2, APortThatCannotBeOpenedNamesTheDeviceAndTheReason) {
    configureSerial(1);
    auto result = runToEnd(qel({"free"}), onPort("/dev/qel-no-such-port"));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err,
              "qel: cannot connect to COM1 (/dev/qel-no-such-port) (configuration \"Lathe\"): "
              "link error 5 (serial port failed to open, or is busy): /dev/qel-no-such-port: no "
              "such device\n");

    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const int holder = ::open(name, O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    result = runToEnd(qel({"free"}), onPort(name));
    EXPECT_EQ(result.exitStatus, 1);
    // The test holds the device, so qel names the test's process.
    const std::string held =
        ": held by another program (process " + std::to_string(::getpid()) + ")\n";
    EXPECT_NE(result.err.find(std::string(name) + held), std::string::npos) << result.err;
    ::close(holder);
    ::close(slave);
    ::close(master);
}

}  // namespace
}  // namespace qel
