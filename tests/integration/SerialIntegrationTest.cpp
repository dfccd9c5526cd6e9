// The link library on a serial line (a pseudo-terminal the simulator creates) against the
// simulated CNC: RXA/2 telegrams with their faults, and DataIO tapes.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "LinkHelpers.h"
#include "SimProcess.h"
#include "TempStore.h"

namespace integration {
namespace {

using cncsim::testing::SimProcess;
using cncsim::testing::TempStore;

const std::string kProgram =
    "%PM2\r\n(CIRCULAR POCKET)\r\nN10 G90 G21 G17\r\nN20 T4 M6\r\nN30 S2400 M3 M8\r\n"
    "N40 G0 X60 Y40 Z5\r\nN50 G1 Z-1.5 F80\r\nN60 G2 X60 Y40 I-10 J0 F250\r\nN70 G1 Z-3 F80\r\n"
    "N80 G2 X60 Y40 I-20 J0 F250\r\nN90 G0 Z50 M9\r\nN100 M5\r\nN110 M30\r\n";

class SerialIntegrationTest : public ::testing::Test {
  protected:
    // Starts the simulator on a new pty and makes it the library's COM1.
    bool startSim(std::vector<std::string> extra = {}) {
        folder.put("POCKET.PM", kProgram);
        std::vector<std::string> args = {"--pty", "--store", folder.path().string(),
                                         "--ack-timeout", "500"};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(CNCSIM_BINARY, args);
        const std::string slave = sim->waitForLine("pty ");
        if (slave.empty()) return false;
        ::setenv("CABLOR_COM1", slave.c_str(), 1);
        return true;
    }
    std::unique_ptr<Link> connect(int linkType = DNC_LINK_RXA2, uint32_t flags = 0) {
        DncConnectParams p = serialParams(linkType, 1, 9600);
        p.flags = flags;
        return std::make_unique<Link>(DncConnectEx(&p));
    }
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

class Rxa2LoginTest : public SerialIntegrationTest,
                      public ::testing::WithParamInterface<LoginCase> {};

TEST_P(Rxa2LoginTest, ClassFollowsTheVersionReply) {
    ASSERT_TRUE(startSim({"--version-text", GetParam().versionReply}));
    auto link = connect();
    ASSERT_TRUE(*link) << DncGetLastError(0);
    EXPECT_EQ(link->param(DNC_PARAM_CNC_CLASS), GetParam().cncClass);
}

INSTANTIATE_TEST_SUITE_P(Versions, Rxa2LoginTest,
                         ::testing::Values(LoginCase{"R VNS5MILL", DNC_CNC_S3},
                                           LoginCase{"R VNS0001_V409", DNC_CNC_OLD},
                                           LoginCase{"R VNS0001_V410", DNC_CNC_410},
                                           LoginCase{"M OK", DNC_CNC_OLD}));

TEST_F(SerialIntegrationTest, ExchangesTelegramsBothWaysOverRxa2) {
    ASSERT_TRUE(startSim());
    auto link = connect();
    ASSERT_TRUE(*link);
    EXPECT_EQ(readMemory(*link, "PTPMPOCKET"), kProgram);
    EXPECT_EQ(link->exchange("PRPMCOPY"), "M RR");
    EXPECT_EQ(link->exchange(std::string("R PM\x10 DLE inside\r\n")), "T NB");
    EXPECT_EQ(link->exchange("T FD"), "M OK");
    EXPECT_EQ(folder.get("COPY.PM"), "\x10 DLE inside\r\n");
}

// Faults the protocol must survive: the memory still arrives intact. Sent frame 4 is the
// first data block; received telegram 3 is the read request.
class Rxa2FaultTest : public SerialIntegrationTest,
                      public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(Rxa2FaultTest, MemoryArrivesIntact) {
    std::vector<std::string> faults = GetParam();
    faults.insert(faults.end(), {"--seed", "7"});
    ASSERT_TRUE(startSim(faults));
    auto link = connect();
    ASSERT_TRUE(*link);
    EXPECT_EQ(readMemory(*link, "PTPMPOCKET"), kProgram);
    EXPECT_NE(sim->trace().find("-- fault:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Faults, Rxa2FaultTest,
                         ::testing::Values(std::vector<std::string>{"--corrupt-frame", "4"},
                                           std::vector<std::string>{"--drop-byte", "4"},
                                           std::vector<std::string>{"--corrupt-frame", "4,5,6"},
                                           std::vector<std::string>{"--nak", "3"},
                                           std::vector<std::string>{"--delay-ack", "3:200"},
                                           std::vector<std::string>{"--withhold-ack", "3"}));

TEST_F(SerialIntegrationTest, SilentCncMakesTheExchangeFail) {
    ASSERT_TRUE(startSim({"--silent-after", "2"}));
    auto link = connect();
    ASSERT_TRUE(*link);
    DncSetParamEx(link->get(), DNC_PARAM_RETRIES, 0);
    EXPECT_EQ(link->exchange("M FR"), "error 7");
}

TEST_F(SerialIntegrationTest, DataIoPunchStoresTheTapeUpToEot) {
    ASSERT_TRUE(startSim({"--protocol", "punch", "--tape-memory", "TAPE.PM", "--xoff-every", "150",
                          "--xoff-hold", "20"}));
    auto link = connect(DNC_LINK_DATAIO_XONXOFF);
    ASSERT_TRUE(*link) << DncGetLastError(0);
    std::string tape = std::string(5, '\0') + kProgram + "\x04";
    EXPECT_EQ(link->exchange(tape, false), "sent");
    EXPECT_NE(sim->waitForLine("transfer punch TAPE.PM: "), "");
    EXPECT_EQ(folder.get("TAPE.PM"), kProgram);
}

TEST_F(SerialIntegrationTest, DataIoReaderSendsTheMemoryToTheListeningPc) {
    ASSERT_TRUE(startSim({"--protocol", "reader", "--tape-memory", "POCKET.PM"}));
    auto link = connect(DNC_LINK_DATAIO_XONXOFF);
    ASSERT_TRUE(*link) << DncGetLastError(0);
    std::string tape;
    while (tape.find('\x04') == std::string::npos) {
        char buffer[4096];
        int32_t length = sizeof buffer;
        ASSERT_EQ(DncListenEx(link->get(), buffer, &length), 1)
            << DncGetLastError(link->get()) << "\n"
            << sim->trace() << sim->output();
        tape.append(buffer, static_cast<std::size_t>(length));
    }
    EXPECT_EQ(tape, kProgram + "\x04");
}

TEST_F(SerialIntegrationTest, AReservationOutlivesTheAdapterPulledOutAndPluggedBackIn) {
    // COM1 is a stable name for the adapter, as under /dev/serial/by-id; the reservation (as
    // remote mode holds one) keeps the device open between exchanges.
    const std::string byId = (folder.path() / "usb-Adapter-if00-port0").string();
    folder.put("POCKET.PM", kProgram);
    auto plugIn = [&] {
        return std::make_unique<SimProcess>(
            CNCSIM_BINARY,
            std::vector<std::string>{"--pty", "--link", byId, "--store", folder.path().string(),
                                     "--ack-timeout", "500"});
    };
    sim = plugIn();
    ASSERT_FALSE(sim->waitForLine("link ").empty());
    ::setenv("CABLOR_COM1", byId.c_str(), 1);
    auto link = connect();
    ASSERT_TRUE(*link) << DncGetLastError(0);
    ASSERT_EQ(DncReserve(link->get()), 1);
    EXPECT_EQ(readMemory(*link, "PTPMPOCKET"), kProgram);

    ::unlink(byId.c_str());
    sim.reset();  // killed: its end of the line is gone
    const auto pulled = std::chrono::steady_clock::now();
    EXPECT_EQ(link->exchange("PTPMPOCKET").rfind("error ", 0), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - pulled, std::chrono::seconds(1));
    EXPECT_EQ(link->exchange("PTPMPOCKET").rfind("error ", 0), 0u) << "still out";

    sim = plugIn();
    ASSERT_FALSE(sim->waitForLine("link ").empty());
    EXPECT_EQ(readMemory(*link, "PTPMPOCKET"), kProgram) << "the same reservation, no reconnect";
    EXPECT_EQ(DncRelease(link->get()), 1);
    EXPECT_EQ(readMemory(*link, "PTPMPOCKET"), kProgram);
}

}  // namespace
}  // namespace integration
