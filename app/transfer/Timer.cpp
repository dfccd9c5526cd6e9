#include "transfer/Timer.h"

#include <chrono>

namespace qel {

uint32_t CRateMeter::nowMs() {
    constexpr uint32_t kOrigin = 0x40000000;  // about 12 days
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count() + kOrigin);
}

float CRateMeter::sample(uint32_t bytes, uint32_t now) {
    const int oldestAt = count_ < kMaxSamples ? 0 : oldest_;
    const uint32_t t0 = count_ == 0 ? 0 : samples_[oldestAt].ms;
    uint32_t sinceOldest = 0;  // the oldest sample's bytes moved before t0
    for (int i = 0; i < count_; ++i) {
        if (i != oldestAt) sinceOldest += samples_[i].bytes;
    }
    if (count_ < kMaxSamples) {
        samples_[count_++] = {now, bytes};
    } else {
        samples_[oldest_] = {now, bytes};
        oldest_ = (oldest_ + 1) % kMaxSamples;
    }
    if (now == t0) return 0.0f;
    const uint32_t elapsed = now - t0;
    return static_cast<float>(sinceOldest + bytes) * 0.0009765625f /
           (static_cast<float>(elapsed) * 0.001f);
}

}  // namespace qel
