// What a USB adapter's latency timer costs RXA/2: receiving a 100 KB memory from cncsim on a
// pseudo-terminal paced at 115200 bit/s, behind a simulated adapter that holds every byte 16 ms
// (an FTDI chip's default) and 1 ms (what the udev rule sets), round after round in one run.
// Prints each round, then per latency the median KB/s and its share of the line's limit
// (11520 bytes/s at 10 bits per byte), and the ratio of the two medians.
//
// Run: build/bench/serial_latency_bench [ROUNDS] (default 3; cncsim is found in build/sim/)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "SimulatorProcess.h"
#include "client/QelComC.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMemoryBytes = 100 * 1024;
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;
constexpr int kLatencies[] = {16, 1};

std::string memoryText() {
    std::string text;
    for (int n = 10; text.size() < kMemoryBytes; n += 10) {
        text += "N" + std::to_string(n) + " G1 X" + std::to_string(n % 997) + ".125 Y-" +
                std::to_string(n % 331) + ".5 F1200\r\n";
    }
    text.resize(kMemoryBytes);
    return text;
}

// Seconds for one receive of the memory, or a negative value when it failed.
double receiveOnce(int latencyMs) {
    bench::Simulator sim({"--pty", "--baud", "115200", "--latency", std::to_string(latencyMs)});
    sim.store("BIG.PM", memoryText());
    const auto path = sim.line("pty ");
    if (!path) return -1;
    ::setenv("CABLOR_COM1", path->c_str(), 1);
    qel::LinkSettings settings;
    settings.linkType = DNC_LINK_RXA2;
    settings.port = 1;
    settings.speed = 115200;
    qel::CncClient client(settings, 0);
    if (!client.isConnected()) return -1;
    client.setLinkParams(2, 2, 0);
    const qel::Reservation held = client.reserve();
    const auto start = Clock::now();
    if (!client.readOpen("BIG.PM")) return -1;
    size_t bytes = 0;
    while (client.transferState() != qel::TransferState::Idle) {
        const qel::BlockResult block = client.readBlock();
        if (!block.ok()) return -1;
        bytes += block.text.size();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return bytes == kMemoryBytes ? seconds : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<double> rates[2];
    for (int round = 1; round <= rounds; ++round) {
        for (int i = 0; i < 2; ++i) {
            const double seconds = receiveOnce(kLatencies[i]);
            if (seconds <= 0) {
                std::fprintf(stderr, "round %d, latency %d ms: the receive failed\n", round,
                             kLatencies[i]);
                return 1;
            }
            rates[i].push_back(kMemoryBytes / 1024.0 / seconds);
            std::printf("round %d  latency %2d ms  %6.2f s  %6.2f KB/s\n", round, kLatencies[i],
                        seconds, rates[i].back());
            std::fflush(stdout);
        }
    }
    const double limit = kLineBytesPerSecond / 1024.0;
    double medians[2];
    for (int i = 0; i < 2; ++i) {
        medians[i] = median(rates[i]);
        std::printf("latency %2d ms: median %6.2f KB/s, %4.1f %% of the line's %.2f KB/s\n",
                    kLatencies[i], medians[i], 100.0 * medians[i] / limit, limit);
    }
    std::printf("1 ms against 16 ms: %.2f times as fast\n", medians[1] / medians[0]);
    return 0;
}
