// The engines against the simulated CNC over TCP and over a pseudo-terminal (RXA/2 and DataIO),
// with the simulator's fault injection: every run ends with a byte-exact file or a reported
// failure, and never leaves a partial file.
#include "SimulatedCnc.h"
#include "TransferTestSupport.h"
#include "transfer/BehindTapeReader.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"

#include <gtest/gtest.h>

#include <random>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::kTcpLine;
using testing::ScriptedOperator;
using testing::SimulatedCnc;
using testing::TempFolder;
using Names = std::set<std::string>;
using Texts = std::vector<std::string>;

constexpr TransferPauses kShortPauses{0ms, 10ms, 300ms};
constexpr auto kRunLimit = 20s;

// Program text; on telegram links with control characters the telegram layers must carry
// through (DLE, ETX, ...). A DataIO tape cannot hold EOT, XOn or XOff.
std::string programText(size_t lines, unsigned seed = 7, bool plain = false) {
    std::mt19937 random(seed);
    std::string text;
    for (size_t i = 0; i < lines; ++i) {
        text += "N" + std::to_string(10 * (i + 1)) + " X" + std::to_string(random() % 1000);
        text += plain ? ' ' : static_cast<char>(1 + random() % 31);
        text += "\r\n";
    }
    return text;
}

struct RunResult {
    int status = XS_IDLE;
    bool succeeded = false;
    std::string problem;
};

RunResult receive(CncClient& client, ScriptedOperator& op, const TempFolder& folder, Texts names,
                  uint32_t flags) {
    DownloadEngine engine(client, op, std::move(names), flags, folder.str());
    engine.setPauses(kShortPauses);
    EXPECT_TRUE(engine.start());
    EXPECT_TRUE(testing::runToEnd(engine, kRunLimit));
    engine.stop();
    return {engine.status(), engine.succeeded(), engine.problem()};
}

RunResult send(CncClient& client, ScriptedOperator& op, const TempFolder& folder, Texts names,
               uint32_t flags) {
    UploadEngine engine(client, op, std::move(names), flags, folder.str());
    engine.setPauses(kShortPauses);
    EXPECT_TRUE(engine.start());
    EXPECT_TRUE(testing::runToEnd(engine, kRunLimit));
    engine.stop();
    return {engine.status(), engine.succeeded(), engine.problem()};
}

void expectIdle(CncClient& client) {
    EXPECT_EQ(client.transferState(), TransferState::Idle);
    EXPECT_EQ(client.reserveDepth(), 1);  // the TCP client's own reservation, nothing more
}

TEST(TransferOverTcp, TwoProgramStreamWithHeadersCutAcrossBlocksBecomesTwoFiles) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--block-size", "7"});
    const std::string first = programText(20, 1);
    const std::string second = programText(30, 2);
    cnc.store.write("1234.PM", "%PM1234\r\n" + first);
    cnc.store.write("5678.PM", "%PM5678\r\n" + second);
    auto client = cnc.tcpClient();
    ASSERT_TRUE(client->isConnected());
    ScriptedOperator op;
    TempFolder folder;
    folder.write("5678.PM", "old");
    op.answers = {IDYESTOALL};
    const RunResult run = receive(*client, op, folder, {"PM.PM"}, kReceivePercentB);
    EXPECT_TRUE(run.succeeded) << run.problem;
    EXPECT_EQ(folder.read("1234.PM"), first);
    EXPECT_EQ(folder.read("5678.PM"), second);
    EXPECT_EQ(folder.entries(), (Names{"1234.PM", "5678.PM"}));
    EXPECT_EQ(op.questions.size(), 1u);
    expectIdle(*client);
}

TEST(TransferOverTcp, ABlockNumberFrom9000StartsAProgramInBlockNumberMode) {
    SimulatedCnc cnc(kTcpLine);
    cnc.store.write("X.PM", "%PM\r\nN10 G0\r\nN9002 X1\r\nN20\r\n");
    auto client = cnc.tcpClient();
    ScriptedOperator op;
    TempFolder folder;
    EXPECT_TRUE(receive(*client, op, folder, {"X.PM"}, kReceivePercentA).succeeded);
    EXPECT_EQ(folder.read("PM.PM"), "N10 G0\r\n");
    EXPECT_EQ(folder.read("9002.PM"), "N9002 X1\r\nN20\r\n");
}

TEST(TransferOverTcp, CancelWhileReceivingLeavesNoFileAndEndsTheMemoryOnTheCnc) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--block-size", "16"});
    cnc.store.write("BIG.PM", programText(2000));
    auto client = cnc.tcpClient();
    ScriptedOperator op;
    TempFolder folder;
    DownloadEngine engine(*client, op, {"BIG.PM"}, 0, folder.str());
    op.onField = [&engine](TransferField field, const std::string& text) {
        if (field == TransferField::Amount && text != "0") engine.cancel();
    };
    engine.setPauses(kShortPauses);
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(testing::runToEnd(engine, kRunLimit));
    EXPECT_EQ(engine.status(), XS_STOPPING);
    EXPECT_TRUE(folder.entries().empty());
    EXPECT_TRUE(cnc.report("transfer PT BIG.PM").value_or("").find("aborted by the PC") !=
                std::string::npos);
}

TEST(TransferOverTcp, AnExistingMemoryIsDeletedAndReplacedAndTBdAtTheOpenStopsSilently) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--refuse", "PR:LOCKED.PM=T BDLOCKED"});
    cnc.store.write("NEW.PM", "old");
    auto client = cnc.tcpClient();
    ScriptedOperator op;
    TempFolder folder;
    const std::string text = programText(100);
    folder.write("NEW.PM", text);
    folder.write("LOCKED.PM", text);
    op.answers = {IDYES};
    EXPECT_TRUE(send(*client, op, folder, {"NEW.PM"}, 0).succeeded);
    EXPECT_EQ(cnc.store.read("NEW.PM"), text);

    op.questions.clear();
    const RunResult run = send(*client, op, folder, {"LOCKED.PM", "NEW.PM"}, 0);
    EXPECT_EQ(run.status, XS_STOPPING);
    EXPECT_TRUE(op.questions.empty());
    EXPECT_TRUE(op.boxes.empty());
    expectIdle(*client);
}

TEST(TransferOverTcp, BehindTapeReaderRunsTheProgramAndARefusedStartAsksOnce) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--btr-block-ms", "2", "--refuse",
                      "BR:NO1.PM=M NR", "--refuse", "BR:NO2.PM=M NR"});
    auto client = cnc.tcpClient();
    ASSERT_TRUE(client->isConnected());
    ScriptedOperator op;
    TempFolder folder;
    folder.write("RUN.PM", programText(40));
    folder.write("NO1.PM", "x");
    folder.write("NO2.PM", "x");
    op.answers = {IDYESTOALL};
    BtrEngine command(*client, op, {"NO1.PM", "NO2.PM", "RUN.PM"}, folder.str());
    command.setEndPause(0ms);
    command.start();
    ASSERT_TRUE(testing::runToEnd(command, kRunLimit));
    EXPECT_EQ(command.completedFiles(), Texts{"RUN.PM"});
    EXPECT_EQ(op.questions.size(), 1u);
    EXPECT_NE(cnc.report("transfer BR RUN.PM").value_or("").find("complete"), std::string::npos);
    expectIdle(*client);
}

// ---- serial lines on a pseudo-terminal ----

TEST(TransferOverRxa2, ReceiveAndSendAreByteExact) {
    SimulatedCnc cnc({"--pty"});
    const std::string text = programText(200) + std::string("\x10\x10\x03\x02\x04", 5);
    cnc.store.write("PROG1.PM", text);
    auto client = cnc.serialClient();
    ASSERT_TRUE(client->isConnected());
    ScriptedOperator op;
    TempFolder folder;
    EXPECT_TRUE(receive(*client, op, folder, {"PROG1.PM"}, kReceivePercentB).succeeded);
    EXPECT_EQ(folder.read("PROG1.PM"), text);
    folder.write("COPY.PM", text);
    EXPECT_TRUE(send(*client, op, folder, {"COPY.PM"}, 0).succeeded);
    EXPECT_EQ(cnc.store.read("COPY.PM"), text);
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_EQ(client->reserveDepth(), 0);
}

struct DataIoSendCase {
    uint32_t flags;
    const char* memory;
    const char* tape;
};

TEST(TransferOverDataIo, FilesAreJoinedIntoOneMemoryUnderPercentHeaders) {
    const std::vector<DataIoSendCase> cases = {
        {kSendPercentB, "A.PM", "%PMA\r\nN1\r\n%PMB\r\nN2\r\n%PMC\r\nN3\r\n"},
        {kSendPercentA, "PM.PM", "%PM\r\nN1\r\nN2\r\nN3\r\n"},
    };
    for (const DataIoSendCase& test : cases) {
        SimulatedCnc cnc({"--pty", "--protocol", "punch"});
        auto client = cnc.serialClient(DNC_LINK_DATAIO_XONXOFF);
        ASSERT_TRUE(client->isConnected());
        ScriptedOperator op;
        TempFolder folder;
        folder.write("a.pm", "N1\r\n");
        folder.write("b.pm", "N2\r\n");
        folder.write("c.pm", "N3\r\n");
        EXPECT_TRUE(send(*client, op, folder, {"a.pm", "b.pm", "c.pm"}, test.flags).succeeded);
        ASSERT_TRUE(cnc.report("stored as"));
        EXPECT_EQ(cnc.store.read(test.memory), test.tape);
    }
}

TEST(TransferOverDataIo, TheTapeIsReceivedUnderTheNameGiven) {
    const std::string text = programText(300, 5, true);
    SimulatedCnc cnc({"--pty", "--protocol", "reader", "--tape-memory", "TAPE.PM"},
                     {{"TAPE.PM", text}});
    auto client = cnc.serialClient(DNC_LINK_DATAIO_XONXOFF);
    ScriptedOperator op;
    op.newNames = {std::string("COPY.PM")};
    TempFolder folder;
    EXPECT_TRUE(receive(*client, op, folder, {"*"}, 0).succeeded);
    EXPECT_EQ(folder.read("COPY.PM"), text);
}

// ---- faults ----

struct FaultCase {
    const char* name;
    std::vector<std::string> options;
    bool serial;
    bool recovers;  // the line protocol gets the data through
};

class TransferUnderFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(TransferUnderFaults, EndsWithAnExactFileOrAReportedFailureAndNoPartialFile) {
    const FaultCase& fault = GetParam();
    std::vector<std::string> options = fault.serial ? std::vector<std::string>{"--pty"} : kTcpLine;
    options.insert(options.end(), {"--block-size", "60"});
    options.insert(options.end(), fault.options.begin(), fault.options.end());
    SimulatedCnc cnc(options);
    const std::string text = programText(150);
    cnc.store.write("PROG1.PM", text);
    auto client = fault.serial ? cnc.serialClient() : cnc.tcpClient();
    ASSERT_TRUE(client->isConnected());
    ScriptedOperator op;
    TempFolder folder;

    const RunResult received = receive(*client, op, folder, {"PROG1.PM"}, 0);
    EXPECT_EQ(received.succeeded, fault.recovers) << received.problem;
    if (received.succeeded) {
        EXPECT_EQ(folder.read("PROG1.PM"), text);
    } else {
        EXPECT_TRUE(folder.entries().empty());
        EXPECT_FALSE(received.problem.empty());
        EXPECT_EQ(op.questions.size(), 1u);  // the report of the broken transfer
    }

    folder.write("SENT.PM", text);
    const RunResult sent = send(*client, op, folder, {"SENT.PM"}, 0);
    EXPECT_EQ(sent.succeeded, fault.recovers) << sent.problem;
    if (sent.succeeded) {
        EXPECT_EQ(cnc.store.read("SENT.PM"), text);
    } else {
        EXPECT_FALSE(cnc.store.read("SENT.PM"));
        EXPECT_FALSE(sent.problem.empty());
    }
    EXPECT_EQ(client->transferState(), TransferState::Idle);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TransferUnderFaults,
    ::testing::Values(
        FaultCase{"CorruptedFramesOnRxa2", {"--corrupt-percent", "20", "--seed", "3"}, true, true},
        FaultCase{"DroppedBytesOnRxa2", {"--drop-byte", "4,7,9"}, true, true},
        FaultCase{"NakOnRxa2", {"--nak", "5,6"}, true, true},
        FaultCase{"CncBreaksOffOnRxa2", {"--break-after", "3"}, true, false},
        FaultCase{
            "CncBreaksOffOnTcp", {"--break-after", "2", "--break-text", "STOP"}, false, false},
        FaultCase{"CncGoesSilentOnTcp", {"--silent-after", "6"}, false, false}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace qel
