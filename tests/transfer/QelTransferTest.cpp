// qel receive, send and btr in-process against the simulated CNC, in a current folder of their
// own. Standard input is not a terminal here, so open questions are answered Cancel.
#include "SimulatedCnc.h"
#include "TransferTestSupport.h"
#include "cli/QelTool.h"
#include "config/ConfigRecord.h"
#include "config/FixedText.h"
#include "config/SettingsStore.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <thread>

namespace qel {
namespace {

using testing::kTcpLine;
using testing::SimulatedCnc;
using testing::TempFolder;
using Names = std::set<std::string>;

struct QelTransfer : ::testing::Test {
    TempFolder work;
    TempFolder settings;
    std::filesystem::path before = std::filesystem::current_path();
    std::ostringstream out;
    std::ostringstream err;

    QelTransfer() { std::filesystem::current_path(work.path); }
    ~QelTransfer() override {
        std::filesystem::current_path(before);
        ::unsetenv("QELVEVA_CFG");
    }

    int qel(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return runQel(args, out, err);
    }
    std::vector<std::string> at(SimulatedCnc& cnc, std::vector<std::string> args) {
        args.insert(args.begin(), {"-i", cnc.tcpAddress()});
        return args;
    }
    // The selected configuration: a link on the simulator's pseudo-terminal as COM1.
    void configureSerial(SimulatedCnc& cnc, int linkType, uint8_t options) {
        const auto line = cnc.report("pty ");
        ::setenv("CABLOR_COM1", line ? line->substr(line->rfind(' ') + 1).c_str() : "/none", 1);
        ConfigRecord config;
        config.inUse = 1;
        setText(config.name, "Tape");
        config.linkType = static_cast<int16_t>(linkType);
        config.comPort = 1;
        config.baudRate = 115200;
        config.retries = 1;
        config.timeout = 1;
        config.options = options;
        const auto file = settings.path / "QelVeva.cfg";
        std::ostringstream ignored;
        StreamMessages messages(ignored);
        SettingsStore store(file, settings.str(), messages);
        store.configs()[0] = config;
        store.currentConfig() = 0;
        ASSERT_TRUE(store.write());
        ::setenv("QELVEVA_CFG", file.c_str(), 1);
    }
};

TEST_F(QelTransfer, ReceiveSendAndBtrNameTheFilesTheyCompleted) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--btr-block-ms", "1"});
    cnc.store.write("1234.PM", "%PM1234\r\nN10\r\n");
    cnc.store.write("5678.PM", "%PM5678\r\nN20\r\n");
    // A whole memory type comes as a % stream and is cut into its programs.
    EXPECT_EQ(qel(at(cnc, {"receive", "PM.PM"})), 0) << err.str();
    EXPECT_EQ(out.str(), "1234.PM\n5678.PM\n");
    EXPECT_EQ(work.read("5678.PM"), "N20\r\n");
    EXPECT_EQ(err.str(), "");

    work.write("NEW.PM", "N30\r\n");
    EXPECT_EQ(qel(at(cnc, {"send", "--as", "COPY.PM", "NEW.PM"})), 0) << err.str();
    EXPECT_EQ(out.str(), "COPY.PM\n");
    EXPECT_EQ(cnc.store.read("COPY.PM"), "N30\r\n");

    EXPECT_EQ(qel(at(cnc, {"btr", "NEW.PM"})), 0) << err.str();
    EXPECT_EQ(out.str(), "NEW.PM\n");
    EXPECT_TRUE(cnc.report("transfer BR NEW.PM"));
}

TEST_F(QelTransfer, ReplaceQuestionsFollowTheCommandLine) {
    SimulatedCnc cnc(kTcpLine);
    cnc.store.write("PROG1.PM", "new");
    work.write("PROG1.PM", "old");
    // No terminal and no rule: the question goes to standard error and is answered Cancel.
    EXPECT_EQ(qel(at(cnc, {"receive", "PROG1.PM"})), 1);
    EXPECT_EQ(err.str(),
              "qel: Replace the file 'PROG1.PM' in the current directory? Use 'Receive As...' to "
              "save using a different name. [Cancel]\n"
              "qel: receive: PROG1.PM: not replaced, the run was cancelled\n");
    EXPECT_EQ(qel(at(cnc, {"receive", "--no-replace", "PROG1.PM"})), 0) << err.str();
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(work.read("PROG1.PM"), "old");
    EXPECT_EQ(qel(at(cnc, {"receive", "--yes-all", "PROG1.PM"})), 0) << err.str();
    EXPECT_EQ(work.read("PROG1.PM"), "new");
    EXPECT_EQ(work.entries(), Names{"PROG1.PM"});

    // The same on the CNC side: the memory exists.
    work.write("PROG1.PM", "local");
    EXPECT_EQ(qel(at(cnc, {"send", "--no-replace", "PROG1.PM"})), 0) << err.str();
    EXPECT_EQ(cnc.store.read("PROG1.PM"), "new");
    EXPECT_EQ(qel(at(cnc, {"send", "--yes-all", "PROG1.PM"})), 0) << err.str();
    EXPECT_EQ(cnc.store.read("PROG1.PM"), "local");
}

TEST_F(QelTransfer, AFailedTransferSaysWhyAndLeavesNoFile) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--break-after", "1", "--block-size", "4"});
    cnc.store.write("PROG1.PM", "N10 G0 X1\r\n");
    EXPECT_EQ(qel(at(cnc, {"receive", "PROG1.PM", "GONE.PM"})), 1);
    EXPECT_EQ(err.str(),
              "qel: A communication error occured during the transfer of the file 'PROG1.PM'. "
              "Transfer cannot be continued.\n"
              "qel: receive: PROG1.PM: the CNC broke off: ABORTED BY CNC\n");
    EXPECT_TRUE(work.entries().empty());
}

TEST_F(QelTransfer, ADataIoLinkCarriesTheConfiguredPercentSplittingAndRefusesBtr) {
    SimulatedCnc cnc({"--pty", "--protocol", "reader", "--tape-memory", "TAPE.PM"},
                     {{"TAPE.PM", "%PMA\r\nN1\r\n%PMB\r\nN2\r\n"}});
    configureSerial(cnc, DNC_LINK_DATAIO_XONXOFF, OPT_PERCENT_B);
    EXPECT_EQ(qel({"btr", "A.PM"}), 1);
    EXPECT_EQ(err.str(),
              "qel: btr: behind-tape-reader sending needs a telegram link (RXA/2 or TCP/IP); this "
              "connection is a DataIO link\n");
    EXPECT_EQ(qel({"receive", "UNUSED.PM"}), 0) << err.str();
    EXPECT_EQ(out.str(), "A.PM\nB.PM\n");
    EXPECT_EQ(work.read("B.PM"), "N2\r\n");
}

TEST_F(QelTransfer, ADataIoTapeWithoutHeadersGoesToTheNameGiven) {
    SimulatedCnc cnc({"--pty", "--protocol", "reader", "--tape-memory", "TAPE.PM"},
                     {{"TAPE.PM", "N1\r\nN2\r\n"}});
    configureSerial(cnc, DNC_LINK_DATAIO_XONXOFF, 0);
    EXPECT_EQ(qel({"receive", "MINE.PM"}), 0) << err.str();
    EXPECT_EQ(out.str(), "MINE.PM\n");
    EXPECT_EQ(work.read("MINE.PM"), "N1\r\nN2\r\n");
}

TEST_F(QelTransfer, WordsAreCheckedBeforeConnecting) {
    const std::vector<std::vector<std::string>> wrong = {
        {"receive"},
        {"receive", "--as"},
        {"receive", "--as", "X.PM", "A.PM", "B.PM"},
        {"receive", "--yes-all", "--no-replace", "A.PM"},
        {"receive", "--force", "A.PM"},
        {"send", "sub/A.PM"},
        {"btr"},
        {"btr", "--yes-all", "A.PM"},
    };
    for (auto args : wrong) {
        args.insert(args.begin(), {"-i", "127.0.0.1:1"});
        EXPECT_EQ(qel(args), 2) << ::testing::PrintToString(args);
        const std::string text = err.str();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_EQ(text.find("cannot connect"), std::string::npos);
    }
}

TEST_F(QelTransfer, VerifyReadsTheMemoryAgainAndPassesWhenItMatches) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0"});
    const std::string program(300, 'x');
    cnc.store.write("PROG1.PM", program);
    EXPECT_EQ(qel(at(cnc, {"receive", "--verify", "PROG1.PM"})), 0) << err.str();
    EXPECT_EQ(work.read("PROG1.PM"), program);
    work.write("NEW.PM", program);
    EXPECT_EQ(qel(at(cnc, {"send", "--verify", "NEW.PM"})), 0) << err.str();
    EXPECT_EQ(cnc.store.read("NEW.PM"), program);
    // Each was read from the CNC twice.
    EXPECT_NE(cnc.report("transfer PT NEW.PM").value_or("").find("complete"), std::string::npos);
}

TEST_F(QelTransfer, VerifyFindsWhatTcpLetThroughDamaged) {
    // Over TCP nothing checks a block: one flipped bit in the CNC's first data block goes
    // unnoticed by the link, but not by the second reading.
    const std::string program(300, 'x');
    {
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--corrupt-frame", "4"});
        cnc.store.write("PROG1.PM", program);
        EXPECT_EQ(qel(at(cnc, {"receive", "--verify", "PROG1.PM"})), 1);
        EXPECT_NE(err.str().find("PROG1.PM: verify: the CNC's memory differs: 300 bytes stored, "
                                 "300 bytes read back, first difference at byte "),
                  std::string::npos)
            << err.str();
    }
    {
        // Sending: the memory arrives whole, its reading back is damaged (frame 7: after the
        // login's two replies, "M RR", "T NB", "M OK" and "M RT").
        SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--corrupt-frame", "7"});
        work.write("NEW.PM", std::string(100, 'y'));
        EXPECT_EQ(qel(at(cnc, {"send", "--verify", "NEW.PM"})), 1);
        EXPECT_NE(err.str().find("NEW.PM: verify: the CNC's memory differs: 100 bytes sent"),
                  std::string::npos)
            << err.str();
        EXPECT_EQ(out.str(), "");  // not counted as sent
    }
}

// A shutdown (SIGTERM), a closed terminal (SIGHUP) or Ctrl-C during a receive: the memory is
// broken off on the CNC and no part of it is left in the folder.
class QelStopSignal : public QelTransfer, public ::testing::WithParamInterface<int> {};

TEST_P(QelStopSignal, StopsTheTransferCleanly) {
    // The CNC pauses before its third block, so the signal comes while the memory is open.
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--block-size", "16", "--delay-ack", "6:300"});
    std::string big;
    for (int i = 0; i < 100; ++i) big += "N" + std::to_string(i) + " G1 X1\r\n";
    cnc.store.write("BIG.PM", big);
    std::atomic<bool> done{false};
    std::thread signaller([&] {
        // As soon as the hidden part file exists, the signal comes.
        while (!done) {
            for (const auto& entry : std::filesystem::directory_iterator(work.path)) {
                if (entry.path().filename().string().starts_with(".qelveva-receiving-")) {
                    ::kill(::getpid(), GetParam());
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const int status = qel(at(cnc, {"receive", "BIG.PM"}));
    done = true;
    signaller.join();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(work.entries().empty());
    EXPECT_NE(cnc.report("transfer PT BIG.PM").value_or("").find("aborted by the PC"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, QelStopSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

}  // namespace
}  // namespace qel
