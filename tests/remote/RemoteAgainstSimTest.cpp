// The remote-mode engine in this process, serving cncsim as the CNC that calls it: over TCP
// (the PC listens) and over RXA/2 on a pseudo-terminal.
#include "remote/RemoteLink.h"
#include "remote/TesselD.h"

#include "RemoteTestSupport.h"
#include "SimulatedCaller.h"

#include "config/FixedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <thread>

namespace qel::remote {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;
using Stream = ChildProcess::Stream;
using Texts = std::vector<std::string>;

constexpr milliseconds kRunLimit(20000);

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct RemoteAgainstSim : ::testing::Test {
    testing::TempFolder parent;
    std::filesystem::path served = parent / "served";
    std::filesystem::path store = parent / "store";
    std::filesystem::path outside = parent / "outside";
    RemoteModeDisplay display;
    testing::RecordingView view{display};
    std::unique_ptr<CncClient> link;
    std::unique_ptr<RemoteModeEngine> engine;

    RemoteAgainstSim() {
        for (const auto& folder : {served, store, outside})
            std::filesystem::create_directory(folder);
    }
    ~RemoteAgainstSim() override {
        if (engine) {
            engine->requestExit();
            engine->finish();
        }
    }

    // Remote mode for a configuration, as the main window starts it.
    void serve(const ConfigRecord& config) {
        const RemoteLinkSetup setup = remoteLinkSetupFor(config);
        link = connectForRemoteMode(setup);
        ASSERT_TRUE(link->isConnected());
        engine = std::make_unique<RemoteModeEngine>(*link, display, served.string());
        engine->reconnectWith(setup);
        engine->start();
    }
    void serveTcp(int port) {
        ConfigRecord config;
        setText(config.name, "sim");
        config.linkType = DNC_LINK_TCP_CLIENT;
        config.destinationPort = static_cast<int16_t>(port);
        config.serverPort = 1;  // not used by remote mode
        setText(config.ipAddressText, "127.0.0.1");
        config.timeout = 1;
        config.retries = 1;
        serve(config);
    }
    // The CNC's line is the pty's slave, COM1 for the link library.
    void servePty(const std::string& device) {
        ::setenv("CABLOR_COM1", device.c_str(), 1);
        ConfigRecord config;
        setText(config.name, "sim");
        config.linkType = DNC_LINK_RXA2;
        config.comPort = 1;
        config.baudRate = 0;  // automatic: remote mode takes 19200, 2 s, 5 retries
        serve(config);
    }

    ChildProcess::Result runOverTcp(const Texts& commands, const Texts& options = {}) {
        const int port = testing::unusedPort();
        serveTcp(port);
        return qel::testing::runToEnd(testing::cncsimCommand(testing::callingOverTcp(port),
                                                             store.string(), commands, options),
                                      {}, kRunLimit);
    }
    ChildProcess::Result runOverPty(const Texts& commands) {
        ChildProcess cnc(
            testing::cncsimCommand(testing::callingOverPty(), store.string(), commands));
        const auto line = cnc.waitForLine(Stream::Out, "pty ", milliseconds(5000));
        EXPECT_TRUE(line.has_value());
        if (line) servePty(line->substr(line->rfind(' ') + 1));
        return cnc.finish(kRunLimit);
    }
};

// The same conversation over either line.
const Texts kEveryCommand = {"login Lathe 7",
                             "version",
                             "message tool change",
                             "free",
                             "mpfree",
                             "format",
                             "error",
                             "raw PX",
                             "raw LX",
                             "raw QQQQ",
                             "dir *.PM",
                             "list PM",
                             "get PROG1.PM",
                             "put NEW.PM",
                             "put OLD.PM",
                             "put EMPTY.PM",
                             "delete LOCK.PM",
                             "lock PROG1.PM",
                             "unlock PROG1.PM",
                             "delete NEW.PM",
                             "dir NOTHING.*"};

void prepareEveryCommand(const std::filesystem::path& served, const std::filesystem::path& store) {
    testing::writeFile(served / "PROG1.PM", "%\nO1\nG0 X10\nM30\n");
    testing::writeFile(served / "OLD.PM", "old on the PC");
    testing::writeFile(served / "LOCK.PM", "locked");
    testing::makeReadOnly(served / "LOCK.PM");
    std::string program;
    for (int i = 0; i < 40; ++i)
        program += "N" + std::to_string(i * 10) + " G1 X" + std::to_string(i) + "\n";
    testing::writeFile(store / "NEW.PM", program);
    testing::writeFile(store / "OLD.PM", "old on the CNC");
    testing::writeFile(store / "EMPTY.PM", "");
}

void expectEveryCommandServed(const ChildProcess::Result& cnc, const std::filesystem::path& served,
                              const std::filesystem::path& store,
                              const testing::RecordingView& view) {
    const std::string& out = cnc.out;
    for (const char* reply :
         {"reply: M OKRemote Mode QEL 4.10 Veva", "reply: R VNSxxxx_V4xx QEL Veva", "reply: M OK\n",
          "reply: R FR", "reply: M NR5", "reply: M NR3\nreply: M NR3\nreply: M NR3",
          "dir: 3 entries (M NR13)", "list PM: LOCK OLD PROG1\n", "reply: M NR\n", "reply: M NR47",
          "dir: 0 entries (M NR13)"}) {
        EXPECT_TRUE(contains(out, reply)) << reply << "\n" << out;
    }
    EXPECT_TRUE(contains(out, "entry: 0 LOCK.PM 6 ")) << out;
    EXPECT_TRUE(contains(out, " L+\nentry: 1 OLD.PM 13 ")) << out;
    EXPECT_TRUE(contains(out, "transfer get PROG1.PM: 16 bytes")) << out;
    EXPECT_EQ(testing::readFile(store / "PROG1.PM"), testing::readFile(served / "PROG1.PM"));
    EXPECT_FALSE(std::filesystem::exists(served / "NEW.PM"));  // received, then deleted
    EXPECT_EQ(testing::readFile(served / "OLD.PM"), "old on the PC");
    EXPECT_EQ(testing::readFile(served / "EMPTY.PM"), "");
    EXPECT_TRUE(std::filesystem::exists(served / "LOCK.PM"));
    EXPECT_FALSE(testing::isReadOnly(served / "PROG1.PM"));
    for (const char* line :
         {"Connected to CNC: Lathe 7", "Connected to CNC: QEL", "QEL: tool change",
          "Format request from CNC denied.", "CNC reports an invalid command.",
          "'PROG1.PM' successfully sent to the CNC.",
          "'NEW.PM' successfully received from the CNC.", "The file 'OLD.PM' already exists.",
          "Unable to remove the file 'LOCK.PM'.",
          "The file 'PROG1.PM' has been locked (Read Only).",
          "The file 'PROG1.PM' has been unlocked.", "The file 'NEW.PM' has been removed."}) {
        EXPECT_TRUE(view.logged(line)) << line;
    }
}

TEST_F(RemoteAgainstSim, ServesEveryCommandOverTcp) {
    prepareEveryCommand(served, store);
    const ChildProcess::Result cnc = runOverTcp(kEveryCommand);
    EXPECT_EQ(cnc.exitStatus, 1);  // the CNC counts the refused commands as failed
    expectEveryCommandServed(cnc, served, store, view);
}

TEST_F(RemoteAgainstSim, ServesEveryCommandOverRxa2OnAPty) {
    prepareEveryCommand(served, store);
    const ChildProcess::Result cnc = runOverPty(kEveryCommand);
    expectEveryCommandServed(cnc, served, store, view);
}

TEST_F(RemoteAgainstSim, AnAdapterPulledOutIsToldAndServedAgainWhenItIsBack) {
    // Remote mode holds the port for its whole run; COM1 is the adapter's stable name.
    const std::filesystem::path byId = parent / "usb-Adapter-if00-port0";
    auto plugIn = [&](const Texts& commands) {
        Texts line = testing::callingOverPty();
        line.insert(line.end(), {"--link", byId.string()});
        return std::make_unique<ChildProcess>(
            testing::cncsimCommand(line, store.string(), commands));
    };
    auto cnc = plugIn({"message first", "wait 20000"});
    ASSERT_TRUE(cnc->waitForLine(Stream::Out, "link ", milliseconds(5000)));
    servePty(byId.string());
    ASSERT_TRUE(cnc->waitForLine(Stream::Out, "reply: M OK", milliseconds(5000)));

    std::filesystem::remove(byId);
    cnc->kill(SIGKILL);
    const std::string gone = "The device " + byId.string() + " is gone.";
    for (int i = 0; i < 100 && !view.logged(gone); ++i) {
        std::this_thread::sleep_for(milliseconds(20));
    }
    EXPECT_TRUE(view.logged(gone));

    // Out for a while: the PC tries again and again, and says it once.
    std::this_thread::sleep_for(milliseconds(600));
    const auto out = view.lines();
    EXPECT_EQ(std::count(out.begin(), out.end(), gone), 1) << ::testing::PrintToString(out);

    cnc = plugIn({"message again"});
    const ChildProcess::Result back = cnc->finish(kRunLimit);
    EXPECT_EQ(back.exitStatus, 0) << back.out << back.err;
    EXPECT_TRUE(contains(back.out, "reply: M OK")) << back.out;
    EXPECT_TRUE(view.logged("QEL: again"));
}

TEST_F(RemoteAgainstSim, HostileNamesAndALinkLeadingOutChangeNothingOutside) {
    testing::writeFile(outside / "SECRET.PM", "secret");
    testing::writeFile(parent / "x.PM", "next to the served folder");
    std::filesystem::create_symlink(outside / "SECRET.PM", served / "OUT.PM");
    testing::writeFile(store / "OUT.PM", "overwritten?");
    testing::writeFile(store / "SECRET.PM", "overwritten?");
    const Texts before = testing::snapshotOf(parent.path() / "outside");
    const ChildProcess::Result cnc =
        runOverTcp({"raw PTPM../x", "raw PRPM../x", "raw PTPM/etc/passwd", "raw PRPMa/b",
                    "raw MPCL../*", "raw MPDR../*.PM         D  0", "raw MPAT/etc/*", "get OUT.PM",
                    "put OUT.PM", "delete OUT.PM", "lock OUT.PM", "dir *.*"});
    const std::string& out = cnc.out;
    EXPECT_TRUE(contains(out, "reply: M NR\nreply: M NR\nreply: M NR\nreply: M NR\n")) << out;
    EXPECT_TRUE(contains(out, "reply: M NR13\nreply: M NR13\nreply: M NR13\n")) << out;
    EXPECT_TRUE(contains(out, "reply: M NR47\nreply: M NR47\n")) << out;
    EXPECT_TRUE(contains(out, "dir: 0 entries (M NR13)")) << out;
    EXPECT_EQ(testing::snapshotOf(parent.path() / "outside"), before);
    EXPECT_EQ(testing::readFile(parent / "x.PM"), "next to the served folder");
    EXPECT_TRUE(std::filesystem::is_symlink(served / "OUT.PM"));
    EXPECT_TRUE(
        view.logged("Refused the name '../x.PM' from the CNC: it would reach outside the "
                    "served folder."));
}

std::string lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "N" + std::to_string(i) + " G1 X1 Y2 Z3 F100\n";
    return text;
}

TEST_F(RemoteAgainstSim, AbortDuringAReceiveDeletesThePartAndTellsTheCnc) {
    testing::writeFile(store / "BIG.PM", lines(200));
    // The operator presses Abort once the second block is written, seen on the window's timer
    // while the CNC pauses before the third.
    view.onProgress = [this](int changes) {
        if (changes == 3) engine->abortTransfer();
    };
    view.pollEvery(milliseconds(1));
    const ChildProcess::Result cnc = runOverTcp({"put BIG.PM"}, {"--delay-ack", "3:300"});
    EXPECT_TRUE(contains(cnc.out, "ended by the PC with \"T BD\"")) << cnc.out;
    // The PC logs once its "T BD" has gone, so the line may come just after the CNC ended.
    for (int i = 0; i < 200 && !view.logged("Transfer of 'BIG.PM' aborted."); ++i) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_TRUE(view.logged("Transfer of 'BIG.PM' aborted."));
    EXPECT_TRUE(testing::namesIn(served).empty());
}

TEST_F(RemoteAgainstSim, ExitDuringASendEndsTheTransferAndTheWorker) {
    testing::writeFile(served / "BIG.PM", lines(200));
    std::promise<void> twoBlocksRead;
    view.onProgress = [&](int changes) {
        if (changes == 3) twoBlocksRead.set_value();
    };
    view.pollEvery(milliseconds(1));
    const int port = testing::unusedPort();
    serveTcp(port);
    // The CNC pauses before asking for the third block: Exit comes while the PC waits.
    ChildProcess cnc(testing::cncsimCommand(testing::callingOverTcp(port), store.string(),
                                            {"get BIG.PM"}, {"--delay-ack", "3:300"}));
    ASSERT_EQ(twoBlocksRead.get_future().wait_for(milliseconds(10000)), std::future_status::ready);
    engine->requestExit();
    engine->finish();
    EXPECT_FALSE(engine->workerRunning());
    EXPECT_EQ(view.lines(),
              (Texts{"Closing server. Please wait...", "Transfer of 'BIG.PM' aborted."}));
    const ChildProcess::Result result = cnc.finish(kRunLimit);
    EXPECT_FALSE(contains(result.out, "complete")) << result.out;
    EXPECT_FALSE(std::filesystem::exists(store / "BIG.PM"));
}

}  // namespace
}  // namespace qel::remote
