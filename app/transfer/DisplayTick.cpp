#include "transfer/DisplayTick.h"

#include "transfer/TimeLeft.h"
#include "transfer/TransferTexts.h"

#include <cstdio>

namespace qel {

TickOutput DisplayTick::advance(const TickInput& input) {
    TickOutput out;
    out.rate = meter_.sample(input.bytesThisTick, input.nowMs);
    // The send dialog keeps the sheet flying across one quiet tick between blocks.
    out.animate =
        input.bytesThisTick != 0 || (direction_ == TransferDirection::Send && previousBytes_ != 0);
    previousBytes_ = input.bytesThisTick;

    if (out.rate != 0.0f && waiting_) {
        waiting_ = false;
        out.status = XS_TRANSFER;
    } else if (out.rate == 0.0f && !waiting_) {
        waiting_ = true;
        out.status = XS_WAIT_CNC;
    }
    if (ticks_ % 10 == 0) {
        char speed[32];
        std::snprintf(speed, sizeof speed, "%.2f", static_cast<double>(out.rate));
        out.speed = speed;
    }
    if (ticks_ % 20 == 19) {
        if (input.sizesKnown && out.rate != 0.0f) {
            out.timeLeftFile = timeLeftText(input.fileRemaining, out.rate);
            out.timeLeftTotal = timeLeftText(input.totalRemaining, out.rate);
        } else {
            out.timeLeftFile = std::string(texts::kUnknown);
            out.timeLeftTotal = std::string(texts::kUnknown);
        }
    }
    ++ticks_;
    return out;
}

}  // namespace qel
