// The 100 ms display tick of the receive and send dialogs: speed once a second, time left every
// two seconds, the waiting/transferring status as data stops and flows, and the animation.
#pragma once

#include "transfer/Timer.h"
#include "transfer/TransferStatus.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qel {

struct TickInput {
    uint32_t bytesThisTick = 0;
    uint32_t nowMs = 0;
    // The send dialog knows the sizes of its files; the receive dialog never does.
    bool sizesKnown = false;
    uint32_t fileRemaining = 0;   // size of the current file less its bytes so far
    uint32_t totalRemaining = 0;  // sizes of the current and all following files, less the same
};

struct TickOutput {
    float rate = 0.0f;  // KB/s
    bool animate = false;
    std::optional<int> status;                // XS_TRANSFER or XS_WAIT_CNC when that changes
    std::optional<std::string> speed;         // "%.2f", once a second
    std::optional<std::string> timeLeftFile;  // every two seconds
    std::optional<std::string> timeLeftTotal;
};

class DisplayTick {
  public:
    explicit DisplayTick(TransferDirection direction) : direction_(direction) {}
    TickOutput advance(const TickInput& input);

  private:
    TransferDirection direction_;
    CRateMeter meter_;
    uint32_t ticks_ = 0;
    bool waiting_ = true;
    uint32_t previousBytes_ = 0;
};

}  // namespace qel
