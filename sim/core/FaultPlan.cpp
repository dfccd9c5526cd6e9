#include "FaultPlan.h"

namespace cncsim {

FaultPlan::FaultPlan(FaultOptions options) : options_(std::move(options)), random_(options_.seed) {}

ByteFault FaultPlan::outgoing(int n, std::size_t length) {
    ByteFault fault;
    if (length == 0) return fault;
    if (options_.dropSent.contains(n))
        fault.kind = ByteFault::Kind::Drop;
    else if (options_.corruptSent.contains(n))
        fault.kind = ByteFault::Kind::Corrupt;
    else if (options_.corruptPercent > 0 &&
             static_cast<int>(random_() % 100) < options_.corruptPercent)
        fault.kind = ByteFault::Kind::Corrupt;
    if (fault.kind == ByteFault::Kind::None) return fault;
    fault.index = random_() % length;
    fault.mask = static_cast<std::uint8_t>(1u << (random_() % 8));
    return fault;
}

Rxa2Receiver::AckFault FaultPlan::ackFault(int n) const {
    if (options_.nakReceived.contains(n)) return Rxa2Receiver::AckFault::Nak;
    if (options_.withholdAck.contains(n)) return Rxa2Receiver::AckFault::Withhold;
    return Rxa2Receiver::AckFault::None;
}

int FaultPlan::ackDelayMs(int n) const {
    auto it = options_.delayAckMs.find(n);
    return it == options_.delayAckMs.end() ? 0 : it->second;
}

}  // namespace cncsim
