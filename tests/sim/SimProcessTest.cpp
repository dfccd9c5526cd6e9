// The simulator as a program: its announcements, exit codes and clean end on a signal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "SimProcess.h"
#include "TcpFraming.h"
#include "TempStore.h"

namespace cncsim {
namespace {

using testing::SimProcess;
using testing::TempStore;

TEST(SimProcessTest, HelpEndsCleanAndUsageErrorsEndWithTwo) {
    SimProcess help(CNCSIM_BINARY, {"--help"});
    EXPECT_EQ(help.wait(), 0);
    EXPECT_NE(help.output().find("--tcp-listen"), std::string::npos);
    SimProcess bad(CNCSIM_BINARY, {"--no-such-option"});
    EXPECT_EQ(bad.wait(), 2);
}

TEST(SimProcessTest, MissingLoadFolderIsAFailure) {
    SimProcess sim(CNCSIM_BINARY, {"--tcp-listen", "127.0.0.1:0", "--load", "/nonexistent/cncsim"});
    EXPECT_EQ(sim.wait(), 1);
}

TEST(SimProcessTest, AnswersOverTcpOnTheChosenPortAndEndsOnSigterm) {
    TempStore folder;
    SimProcess sim(CNCSIM_BINARY, {"--tcp-listen", "127.0.0.1:0", "--store", folder.path().string(),
                                   "--version-text", "R VNS0001_V409"});
    const std::string port = sim.waitForLine("listening on 127.0.0.1:");
    ASSERT_FALSE(port.empty());

    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = encodeMessage("M VN");
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    char reply[64] = {};
    ssize_t n = 0;
    while (n < 18) {
        ssize_t got = ::read(fd, reply + n, sizeof reply - static_cast<std::size_t>(n));
        if (got <= 0) break;
        n += got;
    }
    EXPECT_EQ(std::string(reply, static_cast<std::size_t>(n)),
              std::string("\0\0\0\x0eR VNS0001_V409", 18));
    ::close(fd);

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_NE(sim.trace().find("<< M VN\n>> R VNS0001_V409\n"), std::string::npos);
}

TEST(SimProcessTest, PtyLinkIsRemovedWhenInterrupted) {
    TempStore folder;
    const auto link = folder.path() / "ttyCNC";
    SimProcess sim(CNCSIM_BINARY, {"--pty", "--link", link.string()});
    const std::string slave = sim.waitForLine("pty ");
    ASSERT_FALSE(slave.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);
    EXPECT_EQ(sim.stop(SIGINT), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProcessTest, OnceEndsAfterTheFirstConnection) {
    SimProcess sim(CNCSIM_BINARY, {"--tcp-listen", "127.0.0.1:0", "--once"});
    const std::string port = sim.waitForLine("listening on 127.0.0.1:");
    ASSERT_FALSE(port.empty());
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_EQ(sim.wait(), 0);
}

}  // namespace
}  // namespace cncsim
