// The link library over TCP against the simulated CNC.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>

#include "LinkHelpers.h"
#include "SimProcess.h"
#include "TempStore.h"

namespace integration {
namespace {

using cncsim::testing::SimProcess;
using cncsim::testing::TempStore;

const std::string kProgram =
    "%PM1\r\nN10 G90 G21\r\nN20 T1 M6\r\nN30 S1200 M3\r\nN40 G0 X0 Y0 Z5\r\n"
    "N50 G1 Z-2 F100\r\nN60 G1 X50 F300\r\nN70 G1 Y30\r\nN80 G1 X0\r\nN90 G1 Y0\r\n"
    "N100 G0 Z50\r\nN110 M5\r\nN120 M30\r\n";

class TcpIntegrationTest : public ::testing::Test {
  protected:
    // Starts the simulator as a TCP server with the given extra options and returns its port.
    int startSim(std::vector<std::string> extra = {}) {
        folder.put("PROG1.PM", kProgram);
        std::vector<std::string> args = {"--tcp-listen", "127.0.0.1:0", "--store",
                                         folder.path().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(CNCSIM_BINARY, args);
        const std::string port = sim->waitForLine("listening on 127.0.0.1:");
        return port.empty() ? 0 : std::stoi(port);
    }
    std::unique_ptr<Link> connect(int port, uint32_t flags = 0, int replyTimeout = 2) {
        DncConnectParams p = tcpParams(DNC_LINK_TCP_CLIENT, port, replyTimeout, flags);
        return std::make_unique<Link>(DncConnectEx(&p));
    }
    // Reads a memory block by block as the PC's client does.
    std::string readMemory(const Link& link, const std::string& request) {
        if (link.exchange(request) != "M RT") return "<refused>";
        std::string data;
        for (;;) {
            std::string reply = link.exchange("T NB");
            if (reply.rfind("R ", 0) == 0) {
                data += reply.substr(4);
                continue;
            }
            if (reply == "T FD")
                link.exchange("M OK", false);
            else
                data += "<" + reply + ">";
            return data;
        }
    }

    TempStore folder;
    std::unique_ptr<SimProcess> sim;
};

struct LoginCase {
    const char* versionReply;
    int cncClass;
};

class TcpLoginTest : public TcpIntegrationTest, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(TcpLoginTest, ClassFollowsTheVersionReply) {
    const int port = startSim({"--version-text", GetParam().versionReply});
    ASSERT_NE(port, 0);
    auto link = connect(port);
    ASSERT_TRUE(*link) << DncGetLastError(0);
    EXPECT_EQ(link->param(DNC_PARAM_CNC_CLASS), GetParam().cncClass);
}

INSTANTIATE_TEST_SUITE_P(Versions, TcpLoginTest,
                         ::testing::Values(LoginCase{"R VNS0001_V410 cncsim", DNC_CNC_410},
                                           LoginCase{"R VNS0001_V409", DNC_CNC_TCP},
                                           LoginCase{"M NR", DNC_CNC_TCP}));

TEST_F(TcpIntegrationTest, NoLoginFlagSendsNoTelegram) {
    const int port = startSim();
    auto link = connect(port, DNC_FLAG_NO_LOGIN);
    ASSERT_TRUE(*link);
    EXPECT_EQ(link->param(DNC_PARAM_CNC_CLASS), DNC_CNC_NO_LOGIN);
    EXPECT_EQ(link->exchange("M FR").rfind("R FR", 0), 0u);
    EXPECT_EQ(sim->trace().find("M VN"), std::string::npos);
}

TEST_F(TcpIntegrationTest, ReadsWritesListsAndDeletesMemories) {
    const int port = startSim();
    auto link = connect(port);
    ASSERT_TRUE(*link);
    EXPECT_EQ(readMemory(*link, "PTPMPROG1"), kProgram);

    EXPECT_EQ(link->exchange("PRPMNEW"), "M RR");
    EXPECT_EQ(link->exchange("R PMN10 G0 X1\r\n"), "T NB");
    EXPECT_EQ(link->exchange("R PMN20 M30\r\n"), "T NB");
    EXPECT_EQ(link->exchange("T FD"), "M OK");
    EXPECT_EQ(folder.get("NEW.PM"), "N10 G0 X1\r\nN20 M30\r\n");
    EXPECT_EQ(link->exchange("PRPMNEW"), "M NR");  // exists

    EXPECT_EQ(readMemory(*link, "LIPM"), "NEW,PROG1");
    EXPECT_EQ(link->exchange("MCPMNEW"), "M OK");
    EXPECT_EQ(link->exchange("LITO"), "T NP");
    EXPECT_EQ(link->exchange("M FR").rfind("R FR", 0), 0u);
    EXPECT_EQ(link->exchange("M DIQEL inactive."), "M OK");
    EXPECT_EQ(sim->waitForLine("message: QEL", 2000), " inactive.");
}

TEST_F(TcpIntegrationTest, RefusalsAndBreakOffReachTheClient) {
    const int port =
        startSim({"--refuse", "PR:LOCKED.PM=T NP", "--refuse", "BUSY.PM=T BDIN USE", "--block-size",
                  "50", "--break-after", "1", "--break-text", "TAPE ERROR"});
    auto link = connect(port);
    ASSERT_TRUE(*link);
    EXPECT_EQ(link->exchange("PRPMLOCKED"), "T NP");
    EXPECT_EQ(link->exchange("PTPMBUSY"), "T BDIN USE");
    EXPECT_EQ(readMemory(*link, "PTPMPROG1"), kProgram.substr(0, 50) + "<T BDTAPE ERROR>");
}

TEST_F(TcpIntegrationTest, SilentCncIsReportedAsAFailedExchange) {
    const int port = startSim({"--silent-after", "2"});
    auto link = connect(port, 0, 1);
    ASSERT_TRUE(*link);
    const std::string reply = link->exchange("M FR");
    EXPECT_EQ(reply.rfind("error ", 0), 0u) << reply;
}

TEST_F(TcpIntegrationTest, CorruptedReplyOverTcpIsDeliveredAsItCame) {
    // TCP has no block check: the damage reaches the client, which must judge the text.
    const int port = startSim({"--corrupt-frame", "2", "--seed", "3"});
    auto link = connect(port, DNC_FLAG_NO_LOGIN);
    ASSERT_TRUE(*link);
    EXPECT_EQ(link->exchange("M VN"), "R VNS0001_V410 cncsim");
    const std::string damaged = link->exchange("M VN");
    EXPECT_EQ(damaged.size(), std::string("R VNS0001_V410 cncsim").size());
    EXPECT_NE(damaged, "R VNS0001_V410 cncsim");
}

// A port nobody listens on, for the library's server.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST(TcpRemoteModeTest, CncDrivesThePcThroughLoginSendingAndDirectory) {
    TempStore folder;
    folder.put("PROG1.PM", kProgram);
    const int port = freePort();
    DncConnectParams p = tcpParams(DNC_LINK_TCP_SERVER, port, 2, DNC_FLAG_NO_LOGIN);
    Link pc(DncConnectEx(&p));
    ASSERT_TRUE(pc) << DncGetLastError(0);

    SimProcess sim(CNCSIM_BINARY, {"--tcp-connect", "127.0.0.1:" + std::to_string(port), "--store",
                                   folder.path().string(), "--block-size", "100", "--do",
                                   "login MILL-3", "--do", "put PROG1.PM", "--do", "dir *.PM"});
    EXPECT_EQ(pc.listen(), "MPINMILL-3");
    EXPECT_EQ(pc.exchange("M OKRemote Mode QEL 4.10 Veva", false), "sent");
    EXPECT_EQ(pc.listen(), "PRPMPROG1");
    EXPECT_EQ(pc.exchange("M RR", false), "sent");
    std::string received;
    for (std::string block = pc.listen(); block != "T FD"; block = pc.listen()) {
        ASSERT_EQ(block.rfind("R PM", 0), 0u) << block;
        received += block.substr(4);
        pc.exchange("T NB", false);
    }
    pc.exchange("M OK", false);
    EXPECT_EQ(received, kProgram);
    const std::string request = pc.listen();
    EXPECT_EQ(request.rfind("MPDR*.PM", 0), 0u);
    EXPECT_EQ(request.substr(20), "0");
    pc.exchange("M NR13", false);

    EXPECT_EQ(sim.wait(), 0);
    EXPECT_NE(sim.output().find("reply: M OKRemote Mode QEL 4.10 Veva"), std::string::npos);
    EXPECT_NE(
        sim.output().find("transfer put PROG1.PM: " + std::to_string(kProgram.size()) + " bytes"),
        std::string::npos);
}

}  // namespace
}  // namespace integration
