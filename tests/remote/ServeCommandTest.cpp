// qel serve: remote mode from the command line, with cncsim calling in over TCP.
#include "SimulatedCaller.h"

#include "RemoteTestSupport.h"

#include "cli/QelTool.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <regex>
#include <sstream>
#include <thread>

namespace qel::remote {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;
using Stream = ChildProcess::Stream;

constexpr milliseconds kLimit(10000);

struct QelServe : ::testing::Test {
    testing::TempFolder parent;
    std::filesystem::path served = parent / "served";
    std::filesystem::path store = parent / "store";
    int port = testing::unusedPort();

    QelServe() {
        std::filesystem::create_directory(served);
        std::filesystem::create_directory(store);
    }
    // qel serving the folder, once it listens.
    std::unique_ptr<ChildProcess> startServing(std::vector<std::string> options = {},
                                               const std::string& host = "127.0.0.1") {
        std::vector<std::string> argv{QEL_PROGRAM, "-i", host + ":" + std::to_string(port),
                                      "serve"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(served.string());
        auto qel = std::make_unique<ChildProcess>(argv);
        EXPECT_TRUE(qel->waitForLine(Stream::Err, "qel: serving", kLimit));
        return qel;
    }
    ChildProcess::Result call(const std::vector<std::string>& commands) {
        return qel::testing::runToEnd(
            testing::cncsimCommand(testing::callingOverTcp(port), store.string(), commands), {},
            kLimit);
    }
};

TEST_F(QelServe, ServesCallsUntilInterruptedWithTimeStampedLogLines) {
    testing::writeFile(served / "PROG1.PM", "O1\nM30\n");
    auto qel = startServing();
    const ChildProcess::Result first = call({"login Mill 2", "dir *.PM", "get PROG1.PM"});
    EXPECT_EQ(first.exitStatus, 0) << first.out;
    EXPECT_TRUE(qel->waitForLine(Stream::Out, "'PROG1.PM' successfully sent to the CNC.", kLimit));
    // The CNC hung up; the next one is served as well.
    testing::writeFile(store / "NEW.PM", "O2\nM30\n");
    const ChildProcess::Result second = call({"put NEW.PM"});
    EXPECT_EQ(second.exitStatus, 0) << second.out;
    EXPECT_TRUE(
        qel->waitForLine(Stream::Out, "'NEW.PM' successfully received from the CNC.", kLimit));

    qel->kill(SIGINT);
    const ChildProcess::Result result = qel->finish(kLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(testing::readFile(served / "NEW.PM"), "O2\nM30\n");
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d .+)");
    std::istringstream lines(result.out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    }
    EXPECT_GE(count, 4);
    EXPECT_NE(result.out.find(" Connected to CNC: Mill 2\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(" Closing server. Please wait...\n"), std::string::npos);
}

TEST_F(QelServe, ACallerNotAllowedIsRefusedWithALogLineAndAnAllowedOneIsServed) {
    testing::writeFile(served / "PROG1.PM", "O1\nM30\n");
    auto qel = startServing({"--allow", "127.0.0.9"});
    const ChildProcess::Result refused = call({"dir *.PM"});
    EXPECT_EQ(refused.out.find("entry: 0 PROG1.PM"), std::string::npos) << refused.out;
    EXPECT_TRUE(qel->waitForLine(
        Stream::Out, "Refused a call from 127.0.0.1: that address may not use remote mode.",
        kLimit));
    qel->kill(SIGINT);
    qel->finish(kLimit);

    qel = startServing({"--allow", "127.0.0.9", "--allow", "127.0.0.1"});
    const ChildProcess::Result served = call({"dir *.PM"});
    EXPECT_NE(served.out.find("entry: 0 PROG1.PM"), std::string::npos) << served.out;
    qel->kill(SIGINT);
    EXPECT_EQ(qel->finish(kLimit).exitStatus, 0);
}

TEST_F(QelServe, ListensOnlyOnTheGivenAddressAndSaysWhenAnyoneMayCall) {
    auto qel = std::make_unique<ChildProcess>(std::vector<std::string>{
        QEL_PROGRAM, "-i", "127.0.0.2:" + std::to_string(port), "serve", served.string()});
    const auto said = qel->waitForLine(Stream::Err, "any machine that reaches this port", kLimit);
    EXPECT_TRUE(said.has_value());
    // Not on 127.0.0.1: a CNC calling there finds nobody.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_NE(::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(probe);
    address.sin_addr.s_addr = htonl(0x7f000002);
    const int reached = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(::connect(reached, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(reached);
    qel->kill(SIGINT);
    qel->finish(kLimit);
}

TEST_F(QelServe, AllowWithoutAnAddressIsAUsageError) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runQel({"-i", "127.0.0.1:" + std::to_string(port), "serve", "--allow"}, out, err), 2);
    EXPECT_NE(err.str().find("--allow needs an IPv4 address"), std::string::npos) << err.str();
}

TEST_F(QelServe, TermEndsARunningReceiveAbortedAndLeavesNoPartialFile) {
    std::string program;
    for (int i = 0; i < 100; ++i) program += "N" + std::to_string(i) + " G1 X1 Y2 Z3\n";
    testing::writeFile(store / "BIG.PM", program);
    auto qel = startServing();
    // The CNC stops after two blocks, as if it were busy.
    ChildProcess cnc(testing::cncsimCommand(testing::callingOverTcp(port), store.string(),
                                            {"put BIG.PM"}, {"--delay-ack", "3:5000"}));
    bool receiving = false;
    for (int i = 0; i < 5000 && !receiving; ++i) {
        // The first block is written to the hidden file being received.
        for (const std::string& name : testing::namesIn(served)) {
            std::error_code gone;
            receiving |=
                name.starts_with(".") && std::filesystem::file_size(served / name, gone) > 0;
        }
        if (!receiving) std::this_thread::sleep_for(milliseconds(1));
    }
    ASSERT_TRUE(receiving);
    qel->kill(SIGTERM);
    const ChildProcess::Result result = qel->finish(kLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find(" Transfer of 'BIG.PM' aborted.\n"), std::string::npos) << result.out;
    EXPECT_TRUE(testing::namesIn(served).empty());
}

TEST(QelServeCommandLine, RefusesExtraWordsAMissingFolderAndAPortItCannotListenOn) {
    std::ostringstream out, err;
    EXPECT_EQ(runQel({"-i", "127.0.0.1:19000", "serve", "a", "b"}, out, err), 2);
    EXPECT_NE(err.str().find("serve takes at most one folder"), std::string::npos);
    EXPECT_EQ(runQel({"-i", "127.0.0.1:19000", "serve", "/nonexistent/folder"}, out, err), 1);
    EXPECT_NE(err.str().find("qel: serve: no folder /nonexistent/folder"), std::string::npos);
    testing::TempFolder folder;
    EXPECT_EQ(runQel({"-i", "127.0.0.1:80", "serve", folder.string()}, out, err), 1);
    EXPECT_NE(err.str().find("qel: cannot serve on TCP port 80"), std::string::npos) << err.str();
    EXPECT_EQ(runQel({"help"}, out, err), 0);
    EXPECT_NE(out.str().find("serve [DIR]"), std::string::npos);
}

}  // namespace
}  // namespace qel::remote
