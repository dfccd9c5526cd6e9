// qel serve: remote mode from the command line, with cncsim calling in over TCP.
#include "SimulatedCaller.h"

#include "RemoteTestSupport.h"

#include "cli/QelTool.h"

#include <gtest/gtest.h>

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
    std::unique_ptr<ChildProcess> startServing() {
        auto qel = std::make_unique<ChildProcess>(std::vector<std::string>{
            QEL_PROGRAM, "-i", "127.0.0.1:" + std::to_string(port), "serve", served.string()});
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
