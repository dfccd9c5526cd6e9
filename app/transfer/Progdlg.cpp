#include "transfer/Progdlg.h"

#include <algorithm>
#include <cstdio>

namespace qel {

void ProgressState::setRange(int64_t lower, int64_t upper) {
    lower_ = lower;
    upper_ = upper;
}

bool ProgressState::setStep(int64_t step) {
    if (step == 0) return false;
    step_ = step;
    return true;
}

bool ProgressState::setPosition(int64_t position) {
    if (position < 0) return false;
    position_ = position;
    return true;
}

void ProgressState::secondTick() {
    ++seconds_;
    rate_ = position_ / seconds_;
}

int ProgressState::percent() const {
    const int64_t width = upper_ - lower_;
    if (width <= 0) return 100;
    return static_cast<int>(std::clamp<int64_t>((position_ - lower_) * 100 / width, 0, 100));
}

std::string ProgressState::text() const {
    char text[96];
    const double kilobytes = static_cast<double>(position_) / 1024.0;
    const long long rate = rate_;
    switch (mode_) {
        case kAmountAndRate:
            std::snprintf(text, sizeof text, "(%.2f KB at %lld Bps)", kilobytes, rate);
            break;
        case kPercentAmountAndRate:
            std::snprintf(text, sizeof text, "%d %c (%.2f KB at %lld Bps)", percent(), '%',
                          kilobytes, rate);
            break;
        default:
            std::snprintf(text, sizeof text, "%d %c", percent(), '%');
            break;
    }
    return text;
}

}  // namespace qel
