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
// Receiving and sending 10 MiB over TCP loopback against the framed ping-pong itself: a raw
// socket speaking the same telegrams to the same cncsim ("PT" answered "M RT", "T NB" answered
// by each block, "T FD", "M OK"; "PR" answered "M RR", each block answered "T NB", "T FD"
// answered "M OK"), one send per message and one buffer filled by each recv, no login. The
// machine's side is the same for all three, so the ratios client/ping-pong and
// engine/ping-pong are what the PC side costs on top of the wire. Each of the three has a
// connection of its own, set up before its clock starts; its time for a one-block memory is
// taken off its time for the 10 MiB, which leaves the cost per block without the fixed costs
// (the thread, the local file, the opening and closing exchanges). Beside the wall time, the
// CPU time of this process (the PC side alone) and its ratios: on a shared machine the wall
// time of the same loop wanders by a factor of three with the load and the idle states.
//
// Run: build/bench/transfer_bench (cncsim is found next to it in build/sim/); only the 10 MiB
// comparisons: --benchmark_filter=PingPong
#include "SimulatorProcess.h"
#include "client/QelComC.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using bench::makeFolder;
using bench::Simulator;

constexpr size_t kMemoryBytes = 1 << 20;
constexpr size_t kLongMemoryBytes = 10 << 20;
// cncsim's default block, and what the client sends per block on a TCP link.
constexpr size_t kBlockPayload = 124;

std::string memoryText(size_t bytes = kMemoryBytes) {
    std::string text;
    for (int n = 10; text.size() < bytes; n += 10) {
        text += "N" + std::to_string(n) + " G1 X" + std::to_string(n % 997) + ".125 Y-" +
                std::to_string(n % 331) + ".5 F1200\r\n";
    }
    text.resize(bytes);
    return text;
}

std::unique_ptr<Simulator> startSimulator(bool pty, std::unique_ptr<qel::CncClient>& client) {
    auto sim =
        std::make_unique<Simulator>(pty ? std::vector<std::string>{"--pty"}
                                        : std::vector<std::string>{"--tcp-listen", "127.0.0.1:0"});
    sim->store("BIG.PM", memoryText());
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

// The command client's block exchanges in a loop, the data kept in memory.
bool clientReceive(qel::CncClient& client, const std::string& name = "BIG.PM",
                   size_t expected = kMemoryBytes) {
    if (!client.readOpen(name)) return false;
    size_t bytes = 0;
    while (client.transferState() != qel::TransferState::Idle) {
        const qel::BlockResult block = client.readBlock();
        if (!block.ok()) return false;
        bytes += block.text.size();
    }
    return bytes == expected;
}

bool clientSend(qel::CncClient& client, std::string_view text,
                const std::string& name = "BARE.PM") {
    if (!client.writeOpen(name)) return false;
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
                            : onItsOwnThread([&] { return clientReceive(*client); });
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
                            : onItsOwnThread([&] { return clientSend(*client, text); });
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

// The framed ping-pong with nothing around it: a raw socket to cncsim, each message framed
// into one buffer and sent with one call, each reply taken from one buffer that every recv
// fills with what the socket has. No login: cncsim answers without one.
class PingPong {
  public:
    explicit PingPong(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in cnc{};
        cnc.sin_family = AF_INET;
        cnc.sin_port = htons(static_cast<uint16_t>(port));
        cnc.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&cnc), sizeof cnc) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~PingPong() {
        if (fd_ >= 0) ::close(fd_);
    }
    PingPong(const PingPong&) = delete;
    PingPong& operator=(const PingPong&) = delete;
    bool connected() const { return fd_ >= 0; }

    // One message: code and data framed together.
    bool send(std::string_view code, std::string_view data = {}) {
        const size_t length = code.size() + data.size();
        if (length > kMessage) return false;
        const uint32_t wire = htonl(static_cast<uint32_t>(length));
        std::memcpy(out_.data(), &wire, 4);
        std::memcpy(out_.data() + 4, code.data(), code.size());
        if (!data.empty()) std::memcpy(out_.data() + 4 + code.size(), data.data(), data.size());
        return ::send(fd_, out_.data(), 4 + length, MSG_NOSIGNAL) ==
               static_cast<ssize_t>(4 + length);
    }
    // The next message; it stays valid until the next call. Empty on failure.
    std::optional<std::string_view> receive() {
        for (;;) {
            if (end_ - begin_ >= 4) {
                uint32_t wire;
                std::memcpy(&wire, in_.data() + begin_, 4);
                const size_t length = ntohl(wire);
                if (length > kMessage) return std::nullopt;
                if (end_ - begin_ >= 4 + length) {
                    const std::string_view message(in_.data() + begin_ + 4, length);
                    begin_ += 4 + length;
                    return message;
                }
            }
            std::memmove(in_.data(), in_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
            const ssize_t got = ::recv(fd_, in_.data() + end_, in_.size() - end_, 0);
            if (got <= 0) return std::nullopt;
            end_ += static_cast<size_t>(got);
        }
    }
    std::optional<std::string_view> exchange(std::string_view code, std::string_view data = {}) {
        if (!send(code, data)) return std::nullopt;
        return receive();
    }

  private:
    static constexpr size_t kMessage = 1024;
    int fd_ = -1;
    std::array<char, 4 + kMessage> out_{};
    std::array<char, 16 * 1024> in_{};
    size_t begin_ = 0;
    size_t end_ = 0;
};

bool replyIs(const std::optional<std::string_view>& reply, std::string_view code) {
    return reply && reply->starts_with(code);
}

bool pingPongReceive(PingPong& cnc, const std::string& name, size_t expected) {
    const std::string type = name.substr(name.rfind('.') + 1);
    if (!replyIs(cnc.exchange("PT" + type + name.substr(0, name.rfind('.'))), "M RT")) {
        return false;
    }
    size_t bytes = 0;
    for (;;) {
        const std::optional<std::string_view> reply = cnc.exchange("T NB");
        if (replyIs(reply, "R ")) {
            bytes += reply->size() - 4;
        } else if (replyIs(reply, "T FD")) {
            return cnc.send("M OK") && bytes == expected;
        } else {
            return false;
        }
    }
}

bool pingPongSend(PingPong& cnc, std::string_view text, const std::string& name) {
    const std::string type = name.substr(name.rfind('.') + 1);
    if (!replyIs(cnc.exchange("PR" + type + name.substr(0, name.rfind('.'))), "M RR")) {
        return false;
    }
    const std::string code = "R " + type;
    for (size_t at = 0; at < text.size(); at += kBlockPayload) {
        if (!replyIs(cnc.exchange(code, text.substr(at, kBlockPayload)), "T NB")) return false;
    }
    return replyIs(cnc.exchange("T FD"), "M OK");
}

enum class Side { PingPong, Client, Engine };
constexpr std::array<Side, 3> kSides = {Side::PingPong, Side::Client, Side::Engine};

// cncsim on TCP loopback with room for every memory the comparison sends; its port.
std::unique_ptr<Simulator> startTcpSimulator(int& port) {
    auto sim = std::make_unique<Simulator>(
        std::vector<std::string>{"--tcp-listen", "127.0.0.1:0", "--capacity", "268435456"});
    const auto address = sim->line("listening on ");
    if (!address) return nullptr;
    port = std::stoi(address->substr(address->rfind(':') + 1));
    return sim;
}

std::unique_ptr<qel::CncClient> connectClient(int port) {
    qel::LinkSettings settings;
    settings.linkType = DNC_LINK_TCP_CLIENT;
    settings.hostName = "127.0.0.1";
    settings.port = port;
    settings.flags = DNC_FLAG_RESERVE;
    auto client = std::make_unique<qel::CncClient>(settings, 0);
    if (!client->isConnected()) return nullptr;
    client->setLinkParams(2, 2, 0);
    return client;
}

// Seconds of wall time, and of CPU time of this process: every thread of the PC side and
// nothing of cncsim, which is a process of its own. The CPU time does not wait for wake-ups,
// so it still tells the PC side's cost when the machine's load makes the wall time wander.
struct Taken {
    double wall = 0;
    double cpu = 0;
    Taken operator-(const Taken& other) const { return {wall - other.wall, cpu - other.cpu}; }
};

double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class Stopwatch {
  public:
    Taken taken() const { return {seconds(Clock::now() - wall_), processCpuSeconds() - cpu_}; }

  private:
    Clock::time_point wall_ = Clock::now();
    double cpu_ = processCpuSeconds();
};

// The time each transfer took, the memories in the order given, each on a thread of its own
// as the engine's worker runs. prepare(name) runs before the clock starts. Empty when
// something failed.
template <typename Prepare, typename Transfer>
std::vector<Taken> timedOnOwnThread(const std::vector<std::string>& names, Prepare prepare,
                                    Transfer transfer) {
    std::vector<Taken> taken;
    for (const std::string& name : names) {
        if (!prepare(name)) return {};
        const Stopwatch clock;
        if (!onItsOwnThread([&] { return transfer(name); })) return {};
        taken.push_back(clock.taken());
    }
    return taken;
}

// One round: each side receives the one-block memory and the 10 MiB one; the sides take turns
// in an order that moves on each round. Gives the time per side with the one-block time taken
// off, or an empty vector.
std::vector<Taken> receiveRound(int port, int round, const fs::path& folder) {
    const std::vector<std::string> names = {"TINY.PM", "HUGE.PM"};
    const std::vector<size_t> sizes = {kBlockPayload, kLongMemoryBytes};
    auto expected = [&](const std::string& name) { return name == names[0] ? sizes[0] : sizes[1]; };
    SilentOperator op;
    std::vector<Taken> perSide(kSides.size());
    for (size_t turn = 0; turn < kSides.size(); ++turn) {
        const size_t index = (turn + static_cast<size_t>(round)) % kSides.size();
        std::vector<Taken> taken;
        if (kSides[index] == Side::PingPong) {
            PingPong cnc(port);
            taken = timedOnOwnThread(
                names, [&](const std::string&) { return replyIs(cnc.exchange("M FR"), "R FR"); },
                [&](const std::string& name) {
                    return pingPongReceive(cnc, name, expected(name));
                });
        } else {
            auto client = connectClient(port);
            if (!client) return {};
            if (kSides[index] == Side::Client) {
                taken = timedOnOwnThread(
                    names, [&](const std::string&) { return client->freeMemory() >= 0; },
                    [&](const std::string& name) {
                        return clientReceive(*client, name, expected(name));
                    });
            } else {
                for (const std::string& name : names) {
                    client->freeMemory();
                    qel::DownloadEngine download(*client, op, {name}, 0, folder.string());
                    const Stopwatch clock;
                    const bool ok = runEngine(download);
                    taken.push_back(clock.taken());
                    std::error_code ignored;
                    fs::remove(folder / name, ignored);
                    if (!ok) return {};
                }
            }
        }
        if (taken.size() != names.size()) return {};
        perSide[index] = taken[1] - taken[0];
    }
    return perSide;
}

std::vector<Taken> sendRound(int port, int round, const fs::path& folder, const std::string& text) {
    SilentOperator op;
    std::vector<Taken> perSide(kSides.size());
    const std::string_view tiny = std::string_view(text).substr(0, kBlockPayload);
    for (size_t turn = 0; turn < kSides.size(); ++turn) {
        const size_t index = (turn + static_cast<size_t>(round)) % kSides.size();
        // Each side sends under names of its own, deleted on the CNC before the clock starts.
        const std::string prefix = index == 0 ? "BARE" : index == 1 ? "LOOP" : "SENT";
        const std::vector<std::string> names = {prefix + "1.PM", prefix + ".PM"};
        auto dataOf = [&](const std::string& name) {
            return name == names[0] ? tiny : std::string_view(text);
        };
        std::vector<Taken> taken;
        if (kSides[index] == Side::PingPong) {
            PingPong cnc(port);
            taken = timedOnOwnThread(
                names,
                [&](const std::string& name) {
                    return cnc.exchange("MCPM" + name.substr(0, name.rfind('.'))).has_value();
                },
                [&](const std::string& name) { return pingPongSend(cnc, dataOf(name), name); });
        } else {
            auto client = connectClient(port);
            if (!client) return {};
            if (kSides[index] == Side::Client) {
                taken = timedOnOwnThread(
                    names,
                    [&](const std::string& name) {
                        client->deleteMemory(name);
                        return true;
                    },
                    [&](const std::string& name) {
                        return clientSend(*client, dataOf(name), name);
                    });
            } else {
                for (const std::string& name : names) {
                    client->deleteMemory(name);
                    qel::UploadEngine upload(*client, op, {name}, 0, folder.string());
                    const Stopwatch clock;
                    const bool ok = runEngine(upload);
                    taken.push_back(clock.taken());
                    if (!ok) return {};
                }
            }
        }
        if (taken.size() != names.size()) return {};
        perSide[index] = taken[1] - taken[0];
    }
    return perSide;
}

// Per repetition: the milliseconds of each side for 10 MiB without the fixed costs, and the
// ratios to the ping-pong, of the wall time and (cpu_) of the PC side's CPU time; the
// aggregates give their medians.
void reportRound(benchmark::State& state, const std::vector<Taken>& perSide) {
    state.counters["pingpong_ms"] = perSide[0].wall * 1e3;
    state.counters["client_ms"] = perSide[1].wall * 1e3;
    state.counters["engine_ms"] = perSide[2].wall * 1e3;
    state.counters["client_x"] = perSide[1].wall / perSide[0].wall;
    state.counters["engine_x"] = perSide[2].wall / perSide[0].wall;
    state.counters["cpu_pingpong_ms"] = perSide[0].cpu * 1e3;
    state.counters["cpu_client_ms"] = perSide[1].cpu * 1e3;
    state.counters["cpu_engine_ms"] = perSide[2].cpu * 1e3;
    state.counters["cpu_client_x"] = perSide[1].cpu / perSide[0].cpu;
    state.counters["cpu_engine_x"] = perSide[2].cpu / perSide[0].cpu;
    state.SetBytesProcessed(static_cast<int64_t>(kLongMemoryBytes));
}

// Moves on across the repetitions, each of which calls the benchmark anew.
int nextRound() {
    static int round = 0;
    return round++;
}

void BM_ReceivePingPong(benchmark::State& state) {
    int port = 0;
    auto sim = startTcpSimulator(port);
    if (!sim) {
        state.SkipWithError("cncsim did not start");
        return;
    }
    const std::string text = memoryText(kLongMemoryBytes);
    sim->store("HUGE.PM", text);
    sim->store("TINY.PM", text.substr(0, kBlockPayload));
    const fs::path folder = makeFolder("qel-bench-local-");
    for (auto _ : state) {
        const std::vector<Taken> perSide = receiveRound(port, nextRound(), folder);
        if (perSide.empty()) {
            state.SkipWithError("receive failed");
            break;
        }
        state.SetIterationTime(perSide[2].wall);
        reportRound(state, perSide);
    }
    fs::remove_all(folder);
}

void BM_SendPingPong(benchmark::State& state) {
    int port = 0;
    auto sim = startTcpSimulator(port);
    if (!sim) {
        state.SkipWithError("cncsim did not start");
        return;
    }
    const std::string text = memoryText(kLongMemoryBytes);
    const fs::path folder = makeFolder("qel-bench-local-");
    std::ofstream(folder / "SENT.PM", std::ios::binary) << text;
    std::ofstream(folder / "SENT1.PM", std::ios::binary) << text.substr(0, kBlockPayload);
    for (auto _ : state) {
        const std::vector<Taken> perSide = sendRound(port, nextRound(), folder, text);
        if (perSide.empty()) {
            state.SkipWithError("send failed");
            break;
        }
        state.SetIterationTime(perSide[2].wall);
        reportRound(state, perSide);
    }
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
// 10 MiB over TCP loopback: ping-pong, client loop and engine, one round per repetition.
BENCHMARK(BM_ReceivePingPong)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(11)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendPingPong)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(11)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
