#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>

#include "Rxa2Receiver.h"

namespace cncsim {

// Faults the operator asks for. Frames are counted from 1 on each connection, separately for
// the telegrams the simulator sends and those it receives.
struct FaultOptions {
    std::uint32_t seed = 1;
    std::set<int> corruptSent;      // flip one bit of one byte of these sent frames
    std::set<int> dropSent;         // leave out one byte of these sent frames
    int corruptPercent = 0;         // and of this share of all other sent frames
    std::set<int> nakReceived;      // answer the block of these received telegrams with NAK once
    std::set<int> withholdAck;      // give no acknowledgement (RXA/2) or no reply (TCP) at first
    std::map<int, int> delayAckMs;  // received telegram -> delay before its acknowledgement
    int breakAfterBlocks = -1;      // break off every block transfer with "T BD" after k blocks
    std::string breakText = "ABORTED BY CNC";
    int silentAfter = -1;    // after this many received telegrams, answer nothing at all
    int btrStallAfter = -1;  // a behind-tape-reader run stops asking for blocks after n
};

// Damage to one sent frame: which byte of it, and how.
struct ByteFault {
    enum class Kind { None, Corrupt, Drop };
    Kind kind = Kind::None;
    std::size_t index = 0;
    std::uint8_t mask = 0;
};

// Decides, from the options and a seeded generator, what goes wrong where; the same seed and
// the same exchanges give the same faults.
class FaultPlan {
  public:
    explicit FaultPlan(FaultOptions options = {});

    // Fault for the first transmission of sent frame n whose damageable region has length
    // bytes; retransmissions are never damaged, so a retrying peer gets the data through.
    ByteFault outgoing(int n, std::size_t length);
    Rxa2Receiver::AckFault ackFault(int n) const;
    int ackDelayMs(int n) const;
    bool silentAfter(int received) const {
        return options_.silentAfter >= 0 && received >= options_.silentAfter;
    }
    const FaultOptions& options() const { return options_; }

  private:
    FaultOptions options_;
    std::mt19937 random_;
};

}  // namespace cncsim
