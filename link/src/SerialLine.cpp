#include "SerialLine.h"

#include <algorithm>

namespace cablor {

int SerialLine::configure(const LineSettings& settings, int timeoutMs) {
    int rc = device_->applySettings(settings);
    if (rc != 0) return rc;
    settings_ = settings;
    readTimeoutMs_ = timeoutMs;
    peerReady = false;
    clearReadAhead();
    return 0;
}

static ReadKind errorKind(const LineErrors& errors) {
    return errors.parity ? ReadKind::Parity : ReadKind::LineError;
}

ReadOutcome SerialLine::readByte(int timeoutMs, bool single) {
    LineErrors errors;
    int queued = 0;
    if (single) {
        if (!device_->queryStatus(&errors, &queued)) return {ReadKind::DeviceFailure};
        uint8_t byte = 0;
        int n = device_->read(&byte, 1, timeoutMs);
        if (n < 0) return {ReadKind::DeviceFailure};
        if (n == 0) return {ReadKind::Timeout};
        if (!errors.any() && !device_->queryStatus(&errors, &queued)) {
            return {ReadKind::DeviceFailure};
        }
        if (errors.any()) return {errorKind(errors)};
        return ReadOutcome::of(byte);
    }

    if (aheadIndex_ < aheadCount_) return ReadOutcome::of(ahead_[aheadIndex_++]);

    if (!device_->queryStatus(&errors, &queued)) return {ReadKind::DeviceFailure};
    // Errors already pending before the read belong to bytes that are about to be read.
    LineErrors pending = errors;
    int n = queued == 0 ? device_->read(ahead_, 1, timeoutMs)
                        : device_->read(ahead_, std::min(queued, kReadAheadSize), 0);
    clearReadAhead();
    if (n < 0) return {ReadKind::DeviceFailure};
    if (n == 0) return {ReadKind::Timeout};
    if (!device_->queryStatus(&errors, &queued)) return {ReadKind::DeviceFailure};
    if (errors.any() || pending.any()) {
        // The burst is unreliable as a whole; none of it reaches the protocol.
        LineErrors all{errors.parity || pending.parity, errors.framing || pending.framing,
                       errors.overrun || pending.overrun, errors.brk || pending.brk};
        return {errorKind(all)};
    }
    aheadCount_ = n;
    aheadIndex_ = 1;
    return ReadOutcome::of(ahead_[0]);
}

bool SerialLine::write(const uint8_t* bytes, int count) {
    if (count <= 0) return true;
    return device_->write(bytes, count);
}

int SerialLine::setSpeedParity(uint32_t speed, int parityCode) {
    LineSettings next = settings_;
    switch (parityCode) {
        case 0:
            next.parity = Parity::None;
            break;
        case 1:
            next.parity = Parity::Even;
            break;
        case 2:
            next.parity = Parity::Odd;
            break;
        default:
            return -1;
    }
    next.speed = speed;
    next.dataBits = next.parity == Parity::None ? 8 : 7;
    int rc = device_->applySettings(next);
    if (rc != 0) return rc;
    settings_ = next;
    device_->purgeInput();
    clearReadAhead();
    return 0;
}

}  // namespace cablor
