// CRateMeter: the transfer rate over the last 40 display ticks (about 4 seconds at 100 ms).
#pragma once

#include <array>
#include <cstdint>

namespace qel {

class CRateMeter {
  public:
    static constexpr int kMaxSamples = 40;

    void reset() { count_ = 0; }
    // Stores a sample of bytes moved since the previous one and returns the rate in KB/s over
    // the stored window. The first sample after a reset spans the whole clock and gives a rate
    // near 0.
    float sample(uint32_t bytes) { return sample(bytes, nowMs()); }
    float sample(uint32_t bytes, uint32_t nowMs);

    // Milliseconds of a monotonic clock, started far enough from 0 that the first sample gives
    // a rate near 0. Differences are taken unsigned, so the 49-day wrap costs one small rate.
    static uint32_t nowMs();

  private:
    struct Sample {
        uint32_t ms = 0;
        uint32_t bytes = 0;
    };
    std::array<Sample, kMaxSamples> samples_{};
    int count_ = 0;
    int oldest_ = 0;  // ring position of the oldest sample once the window is full
};

}  // namespace qel
