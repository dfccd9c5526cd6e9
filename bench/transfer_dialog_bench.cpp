// What the transfer windows cost: receive and send of a 1 MiB memory over TCP loopback through
// the receive and send dialogs (offscreen), against qel receive / qel send of the same memory in
// the same run, and against the engine driven in this process as qel drives it (wait for the
// end, tick every 100 ms). qel is a whole process that connects, greets and settles 500 ms
// after each memory; its transfer time is taken as its run with the 1 MiB memory less its run
// with a one-line memory. The dialog and the in-process engine settle 0 ms. Rounds interleave
// the four ways; medians are printed with their ratios.
//
// Run: build/bench/transfer_dialog_bench [ROUNDS]   (default 7)
#include "SpawnedProgram.h"
#include "panes/ui/Prompter.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"
#include "transfer/ui/CDownloadDlg.h"
#include "transfer/ui/CUploadDlg.h"

#include <QApplication>
#include <QEventLoop>

#include <signal.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using bench::runProgram;

constexpr size_t kMemoryBytes = 1 << 20;
const std::string kBig = "BIG.PM";
const std::string kSmall = "SMALL.PM";

fs::path makeFolder(const char* what) {
    std::string pattern = (fs::temp_directory_path() / what).string() + "-XXXXXX";
    return ::mkdtemp(pattern.data());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string programOf(size_t bytes) {
    std::string text;
    for (unsigned line = 1; text.size() < bytes; ++line) {
        text += "N" + std::to_string(line * 10) + " G01 X" + std::to_string(line % 997) + " Y" +
                std::to_string(line % 463) + " F500\r\n";
    }
    text.resize(bytes);
    return text;
}

// cncsim with its store in a folder of this run.
class Simulator {
  public:
    Simulator() : store_(makeFolder("qel-dialog-bench-store")) {
        port_ = 19900 + static_cast<int>(::getpid() % 90);
        const std::vector<std::string> argv = {
            CNCSIM_PROGRAM,  "--quiet",      "--store",
            store_.string(), "--tcp-listen", "127.0.0.1:" + std::to_string(port_)};
        pid_ = bench::spawnProgram(argv);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Simulator() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        fs::remove_all(store_);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    const fs::path& store() const { return store_; }
    int port() const { return port_; }

  private:
    fs::path store_;
    int port_ = 0;
    pid_t pid_ = 0;
};

// Answers nothing and shows nothing: the in-process engine as qel drives it, less the terminal.
class QuietOperator final : public qel::TransferOperator {
  public:
    uint32_t ask(qel::QuestionKind, std::string_view, uint32_t) override { return qel::IDCANCEL; }
    std::optional<std::string> askNewName(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    bool confirm(qel::QuestionKind, qel::BoxButtons, qel::BoxIcon, std::string_view,
                 std::string_view) override {
        return false;
    }
};

constexpr qel::TransferPauses kNoSettle{std::chrono::milliseconds(0), std::chrono::milliseconds(10),
                                        std::chrono::milliseconds(300)};

double millisecondsOf(const std::function<bool()>& work) {
    const auto start = Clock::now();
    if (!work()) throw std::runtime_error("a run failed");
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool runDialog(qel::ui::CTransferDlg& dialog) {
    QEventLoop loop;
    QObject::connect(&dialog, &qel::ui::CTransferDlg::ended, &loop, &QEventLoop::quit);
    dialog.engine().setPauses(kNoSettle);
    dialog.open();
    loop.exec();
    return dialog.engine().succeeded();
}

bool runEngine(qel::TransferEngine& engine) {
    engine.setPauses(kNoSettle);
    if (!engine.start()) return false;
    while (!engine.waitFinished(std::chrono::milliseconds(100))) engine.tick();
    engine.tick();
    engine.stop();
    return engine.succeeded();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    Simulator sim;
    const std::string memory = programOf(kMemoryBytes);
    writeFile(sim.store() / kBig, memory);
    writeFile(sim.store() / kSmall, "N10 G0 X0\r\n");
    const fs::path local = makeFolder("qel-dialog-bench-local");
    writeFile(local / kBig, memory);
    writeFile(local / kSmall, "N10 G0 X0\r\n");
    const fs::path received = makeFolder("qel-dialog-bench-received");
    const std::string address = "127.0.0.1:" + std::to_string(sim.port());

    // cncsim serves one PC at a time: the in-process client connects after qel's runs of a round
    // and goes before the next round's.
    qel::LinkSettings settings;
    settings.linkType = DNC_LINK_TCP_CLIENT;
    settings.hostName = "127.0.0.1";
    settings.port = sim.port();
    settings.flags = DNC_FLAG_RESERVE;
    std::unique_ptr<qel::CncClient> connection;
    const auto connected = [&]() -> qel::CncClient& {
        connection = std::make_unique<qel::CncClient>(settings, 0);
        if (!connection->isConnected()) throw std::runtime_error("cncsim did not answer");
        return *connection;
    };
    qel::ui::Prompter prompter;
    prompter.presetAlways(true);
    QuietOperator quiet;

    const auto clearReceived = [&] { fs::remove(received / kBig), fs::remove(received / kSmall); };
    const auto clearStore = [&](const std::string& name) { fs::remove(sim.store() / name); };
    const auto qel = [&](const char* command, const std::string& name, const fs::path& folder) {
        return runProgram({QEL_PROGRAM, "-i", address, command, name}, {}, folder.string()) == 0;
    };

    std::vector<double> qelReceive, qelReceiveSmall, dialogReceive, engineReceive;
    std::vector<double> qelSend, qelSendSmall, dialogSend, engineSend;
    try {
        for (int round = 0; round < rounds; ++round) {
            connection.reset();
            clearReceived();
            qelReceive.push_back(millisecondsOf([&] { return qel("receive", kBig, received); }));
            qelReceiveSmall.push_back(
                millisecondsOf([&] { return qel("receive", kSmall, received); }));
            clearStore(kBig);
            qelSend.push_back(millisecondsOf([&] { return qel("send", kBig, local); }));
            clearStore(kSmall);
            qelSendSmall.push_back(millisecondsOf([&] { return qel("send", kSmall, local); }));

            qel::CncClient& client = connected();
            clearReceived();
            dialogReceive.push_back(millisecondsOf([&] {
                qel::ui::CDownloadDlg dialog(prompter, client, {kBig}, 0, received.string() + "/");
                return runDialog(dialog);
            }));
            clearReceived();
            engineReceive.push_back(millisecondsOf([&] {
                qel::DownloadEngine engine(client, quiet, {kBig}, 0, received.string() + "/");
                return runEngine(engine);
            }));
            clearStore(kBig);
            dialogSend.push_back(millisecondsOf([&] {
                qel::ui::CUploadDlg dialog(prompter, client, {kBig}, 0, local.string() + "/");
                return runDialog(dialog);
            }));
            clearStore(kBig);
            engineSend.push_back(millisecondsOf([&] {
                qel::UploadEngine engine(client, quiet, {kBig}, 0, local.string() + "/");
                return runEngine(engine);
            }));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "transfer_dialog_bench: %s\n", error.what());
        fs::remove_all(local);
        fs::remove_all(received);
        return 1;
    }
    connection.reset();
    fs::remove_all(local);
    fs::remove_all(received);

    const auto report = [](const char* what, const std::vector<double>& big,
                           const std::vector<double>& small, const std::vector<double>& dialog,
                           const std::vector<double>& engine) {
        const double qelTransfer = median(big) - median(small);
        std::printf("%s of 1 MiB (medians of %zu rounds)\n", what, big.size());
        std::printf("  qel process, 1 MiB memory      %8.1f ms\n", median(big));
        std::printf("  qel process, one-line memory   %8.1f ms\n", median(small));
        std::printf("  qel transfer (the difference)  %8.1f ms\n", qelTransfer);
        std::printf("  engine in process, qel's loop  %8.1f ms\n", median(engine));
        std::printf("  dialog                         %8.1f ms\n", median(dialog));
        std::printf("  dialog / qel transfer          %8.3f\n", median(dialog) / qelTransfer);
        std::printf("  dialog / engine in process     %8.3f\n", median(dialog) / median(engine));
    };
    report("Receive", qelReceive, qelReceiveSmall, dialogReceive, engineReceive);
    report("Send", qelSend, qelSendSmall, dialogSend, engineSend);
    return 0;
}
