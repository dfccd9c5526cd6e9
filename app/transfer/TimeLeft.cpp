#include "transfer/TimeLeft.h"

#include "transfer/TransferTexts.h"

#include <cstdio>

namespace qel {

namespace {
// x + 0.5 truncated toward zero, kept inside int for absurdly long times.
int nearest(float x) {
    constexpr float kLimit = 2.0e9f;
    const float rounded = x + 0.5f;
    if (rounded >= kLimit) return static_cast<int>(kLimit);
    if (rounded <= -kLimit) return -static_cast<int>(kLimit);
    return static_cast<int>(rounded);
}
}  // namespace

std::string timeLeftText(float t) {
    char text[48];
    if (t < 60.0f) {
        std::snprintf(text, sizeof text, "%d s", nearest(t * 0.2f) * 5);
    } else if (t < 900.0f) {
        std::snprintf(text, sizeof text, "%d min.", nearest(t * 0.016666668f));
    } else if (t < 3600.0f) {
        std::snprintf(text, sizeof text, "%d min.", nearest(t * 0.0033333334f) * 5);
    } else {
        const int quarters = nearest(t * 0.0011111111f);
        std::snprintf(text, sizeof text, "%d h %d min.", quarters / 4, (quarters % 4) * 15);
    }
    return text;
}

std::string timeLeftText(uint32_t remainingBytes, float rateKBs) {
    if (rateKBs == 0.0f) return std::string(texts::kUnknown);
    return timeLeftText(static_cast<float>(remainingBytes) * 0.0009765625f / rateKBs);
}

}  // namespace qel
