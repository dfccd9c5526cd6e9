// Receiving and sending a 1 MiB memory against cncsim, over TCP loopback and over RXA/2 on a
// pseudo-terminal: the bare block exchanges of the command client (readBlock / writeBlock in a
// loop, data kept in memory) against the transfer engines doing the same with files, a worker
// thread, the byte counters and the operator's field updates. Each repetition measures both on
// the same connection; the counters give KB/s of each and the engine's extra cost in percent.
// The engines' deliberate settle pauses are set to 0: they wait, they cost nothing. The bare
// loop runs on a thread of its own, as the engine's worker does: on a loaded two-core machine
// a loop on the main thread ran 10 to 15 % faster than the same loop on any other thread,
// which says where the scheduler puts threads, not what the engine costs.
//
// Run: build/bench/transfer_bench (cncsim is found next to it in build/sim/).
#include "client/QelComC.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr size_t kMemoryBytes = 1 << 20;

std::string memoryText() {
    std::string text;
    for (int n = 10; text.size() < kMemoryBytes; n += 10) {
        text += "N" + std::to_string(n) + " G1 X" + std::to_string(n % 997) + ".125 Y-" +
                std::to_string(n % 331) + ".5 F1200\r\n";
    }
    text.resize(kMemoryBytes);
    return text;
}

fs::path makeFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    return ::mkdtemp(pattern.data());
}

// cncsim as a child process with a store folder holding BIG.PM.
class Simulator {
  public:
    explicit Simulator(const std::vector<std::string>& line)
        : store_(makeFolder("qel-bench-store-")) {
        std::ofstream(store_ / "BIG.PM", std::ios::binary) << memoryText();
        std::vector<std::string> args = {CNCSIM_PROGRAM, "--quiet", "--store", store_.string()};
        args.insert(args.end(), line.begin(), line.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Simulator() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        std::error_code ignored;
        fs::remove_all(store_, ignored);
    }
    // The rest of the first output line that starts with prefix.
    std::optional<std::string> line(const std::string& prefix) {
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline) {
            size_t end;
            while ((end = output_.find('\n')) != std::string::npos) {
                std::string line = output_.substr(0, end);
                output_.erase(0, end + 1);
                if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
            }
            pollfd ready{out_, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            char buffer[512];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) return std::nullopt;
            output_.append(buffer, static_cast<size_t>(n));
        }
        return std::nullopt;
    }

  private:
    fs::path store_;
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

std::unique_ptr<Simulator> startSimulator(bool pty, std::unique_ptr<qel::CncClient>& client) {
    auto sim =
        std::make_unique<Simulator>(pty ? std::vector<std::string>{"--pty"}
                                        : std::vector<std::string>{"--tcp-listen", "127.0.0.1:0"});
    qel::LinkSettings settings;
    if (pty) {
        const auto path = sim->line("pty ");
        if (!path) return nullptr;
        ::setenv("CABLOR_COM1", path->c_str(), 1);
        settings.linkType = DNC_LINK_RXA2;
        settings.port = 1;
        settings.speed = 115200;
    } else {
        const auto address = sim->line("listening on ");
        if (!address) return nullptr;
        settings.linkType = DNC_LINK_TCP_CLIENT;
        settings.hostName = "127.0.0.1";
        settings.port = std::stoi(address->substr(address->rfind(':') + 1));
        settings.flags = DNC_FLAG_RESERVE;
    }
    client = std::make_unique<qel::CncClient>(settings, 0);
    if (!client->isConnected()) return nullptr;
    client->setLinkParams(2, 2, 0);
    client->reserve();  // a serial port stays open between the transfers, as the panes hold it
    return sim;
}

// Answers every question Yes; shows nothing.
class SilentOperator final : public qel::TransferOperator {
  public:
    uint32_t ask(qel::QuestionKind, std::string_view, uint32_t) override { return qel::IDYES; }
    std::optional<std::string> askNewName(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    bool confirm(qel::QuestionKind, qel::BoxButtons, qel::BoxIcon, std::string_view,
                 std::string_view) override {
        return false;
    }
};

double seconds(Clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

bool bareReceive(qel::CncClient& client) {
    if (!client.readOpen("BIG.PM")) return false;
    size_t bytes = 0;
    while (client.transferState() != qel::TransferState::Idle) {
        const qel::BlockResult block = client.readBlock();
        if (!block.ok()) return false;
        bytes += block.text.size();
    }
    return bytes == kMemoryBytes;
}

bool bareSend(qel::CncClient& client, const std::string& text) {
    if (!client.writeOpen("BARE.PM")) return false;
    const size_t payload = static_cast<size_t>(client.blockPayload());
    const std::string_view all(text);
    for (size_t at = 0; at < all.size(); at += payload) {
        if (!client.writeBlock(all.substr(at, payload)).ok()) return false;
    }
    return client.writeBlock({}).endOfMemory();
}

// Runs work on a thread of its own, as the engines run theirs.
template <typename Work>
bool onItsOwnThread(Work work) {
    bool ok = false;
    std::thread([&] { ok = work(); }).join();
    return ok;
}

template <typename Engine>
bool runEngine(Engine& engine) {
    engine.setPauses({0ms, 0ms, 300ms});
    if (!engine.start()) return false;
    while (!engine.waitFinished(100ms)) engine.tick();
    return engine.succeeded();
}

void report(benchmark::State& state, double bare, double engine, int runs) {
    const double kilobytes = static_cast<double>(kMemoryBytes) / 1024.0 * runs;
    state.counters["bare_KBps"] = kilobytes / bare;
    state.counters["engine_KBps"] = kilobytes / engine;
    state.counters["engine_cost_pct"] = (engine / bare - 1.0) * 100.0;
    state.SetBytesProcessed(static_cast<int64_t>(kMemoryBytes) * runs);
}

void BM_Receive(benchmark::State& state) {
    const bool pty = state.range(0) != 0;
    std::unique_ptr<qel::CncClient> client;
    auto sim = startSimulator(pty, client);
    if (!sim) {
        state.SkipWithError("cncsim did not start");
        return;
    }
    const fs::path folder = makeFolder("qel-bench-local-");
    SilentOperator op;
    double bare = 0;
    double engine = 0;
    int runs = 0;
    for (auto _ : state) {
        double taken = 0;
        bool ok = true;
        // Alternately first, so that neither profits from the other's warm-up.
        for (int turn = 0; turn < 2 && ok; ++turn) {
            const bool engineTurn = (turn + runs) % 2 == 0;
            qel::DownloadEngine download(*client, op, {"BIG.PM"}, 0, folder.string());
            const auto start = Clock::now();
            ok = engineTurn ? runEngine(download)
                            : onItsOwnThread([&] { return bareReceive(*client); });
            (engineTurn ? taken : bare) += seconds(Clock::now() - start);
        }
        if (!ok) {
            state.SkipWithError("receive failed");
            break;
        }
        engine += taken;
        state.SetIterationTime(taken);
        fs::remove(folder / "BIG.PM");
        ++runs;
    }
    if (runs > 0) report(state, bare, engine, runs);
    fs::remove_all(folder);
}

void BM_Send(benchmark::State& state) {
    const bool pty = state.range(0) != 0;
    std::unique_ptr<qel::CncClient> client;
    auto sim = startSimulator(pty, client);
    if (!sim) {
        state.SkipWithError("cncsim did not start");
        return;
    }
    const fs::path folder = makeFolder("qel-bench-local-");
    const std::string text = memoryText();
    std::ofstream(folder / "SENT.PM", std::ios::binary) << text;
    SilentOperator op;
    double bare = 0;
    double engine = 0;
    int runs = 0;
    for (auto _ : state) {
        client->deleteMemory("BARE.PM");
        client->deleteMemory("SENT.PM");
        double taken = 0;
        bool ok = true;
        for (int turn = 0; turn < 2 && ok; ++turn) {
            const bool engineTurn = (turn + runs) % 2 == 0;
            qel::UploadEngine upload(*client, op, {"SENT.PM"}, 0, folder.string());
            const auto start = Clock::now();
            ok = engineTurn ? runEngine(upload)
                            : onItsOwnThread([&] { return bareSend(*client, text); });
            (engineTurn ? taken : bare) += seconds(Clock::now() - start);
        }
        if (!ok) {
            state.SkipWithError("send failed");
            break;
        }
        engine += taken;
        state.SetIterationTime(taken);
        ++runs;
    }
    if (runs > 0) report(state, bare, engine, runs);
    fs::remove_all(folder);
}

// range(0): 0 TCP loopback, 1 RXA/2 on a pseudo-terminal.
BENCHMARK(BM_Receive)
    ->ArgName("pty")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Send)
    ->ArgName("pty")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
