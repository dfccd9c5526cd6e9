// Start-up: from process start to the main window shown and connected to cncsim over loopback
// (QelVeva --check-connection, offscreen), against qel -i ... free in the same run; both are
// whole processes, started and waited for; beside them a bare Qt program with one empty window,
// the floor of any Qt Widgets start.
//
// Run: build/bench/startup_bench --benchmark_repetitions=7
#include "SpawnedProgram.h"

#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

using bench::runProgram;

// cncsim on a port of its own for the whole run.
class Simulator {
  public:
    Simulator() {
        std::string pattern = (fs::temp_directory_path() / "qel-startup-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        port_ = 19500 + static_cast<int>(::getpid() % 400);
        const std::vector<std::string> argv = {
            CNCSIM_PROGRAM,   "--quiet",      "--store",
            folder_.string(), "--tcp-listen", "127.0.0.1:" + std::to_string(port_)};
        pid_ = bench::spawnProgram(argv);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // The program's settings in a file of this run, written once before measuring.
        settings_ = "QELVEVA_CFG=" + (folder_ / "QelVeva.cfg").string();
        runProgram({QEL_PROGRAM, "config", "select", "Default"}, {settings_});
    }
    ~Simulator() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        fs::remove_all(folder_);
    }
    std::string port() const { return std::to_string(port_); }
    const std::string& settings() const { return settings_; }

  private:
    fs::path folder_;
    int port_ = 0;
    pid_t pid_ = 0;
    std::string settings_;
};

Simulator& simulator() {
    static Simulator sim;
    return sim;
}

void BM_DesktopShownAndConnected(benchmark::State& state) {
    Simulator& sim = simulator();
    for (auto _ : state) {
        if (runProgram({QELVEVA_PROGRAM, "-i", "127.0.0.1", sim.port(), "--check-connection"},
                       {sim.settings(), "QT_QPA_PLATFORM=offscreen"}) != 0) {
            state.SkipWithError("QelVeva did not connect");
            return;
        }
    }
}

void BM_QelFree(benchmark::State& state) {
    Simulator& sim = simulator();
    for (auto _ : state) {
        if (runProgram({QEL_PROGRAM, "-i", "127.0.0.1:" + sim.port(), "free"}, {sim.settings()}) !=
            0) {
            state.SkipWithError("qel free failed");
            return;
        }
    }
}

void BM_BareQtWindow(benchmark::State& state) {
    for (auto _ : state) {
        if (runProgram({BARE_QT_PROGRAM}, {"QT_QPA_PLATFORM=offscreen"}) != 0) {
            state.SkipWithError("the bare Qt window did not start");
            return;
        }
    }
}

BENCHMARK(BM_BareQtWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_QelFree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DesktopShownAndConnected)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
