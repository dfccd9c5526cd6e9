#include "Rxa2Receiver.h"

#include "ControlBytes.h"

namespace cncsim {

Rxa2Receiver::Step Rxa2Receiver::rejectFrame() {
    state_ = State::AfterNak;
    return {Answer::Nak, Outcome::Pending};
}

Rxa2Receiver::Step Rxa2Receiver::onByte(std::uint8_t byte) {
    switch (state_) {
        case State::Idle:
            if (byte == kEnq) {
                firstWait_ = false;
                state_ = State::WaitDle;
                return {Answer::Ack0, Outcome::Pending};
            }
            // A stray byte (an EOT of an exchange the PC gave up) is not a telegram; once the
            // exchange has begun, leftovers of a rejected block are skipped.
            return {Answer::None, firstWait_ ? Outcome::Ended : Outcome::Pending};
        case State::WaitDle:
            if (byte == kDle)
                state_ = State::WaitStx;
            else if (byte == kEnq)
                return {Answer::Ack0, Outcome::Pending};
            else if (byte == kEot || byte == 0x84)
                return {Answer::None, Outcome::Ended};
            else
                state_ = State::Idle;
            return {};
        case State::WaitStx:
            if (byte == kStx) {
                telegram_.clear();
                bcc_ = kEtx;
                overflow_ = false;
                state_ = State::Data;
                return {};
            }
            state_ = State::WaitDle;
            return {Answer::Ack0, Outcome::Pending};
        case State::Data:
            if (byte == kDle) {
                state_ = State::DataDle;
                return {};
            }
            break;
        case State::DataDle:
            if (byte == kEtx) {
                state_ = State::Check;
                return {};
            }
            if (byte != kDle) {
                state_ = State::Check;
                return onByte(byte);
            }
            break;  // a doubled DLE is one data byte
        case State::Check: {
            if (byte != bcc_ || overflow_) return rejectFrame();
            AckFault fault = fault_;
            fault_ = AckFault::None;  // a fault hits the first transmission only
            if (fault == AckFault::Nak) return rejectFrame();
            state_ = State::WaitEot;
            if (fault == AckFault::Withhold) return {};
            return {Answer::Ack1, Outcome::Pending};
        }
        case State::WaitEot:
            if (byte == kEot) return {Answer::None, Outcome::Received};
            if (byte == kEnq) {
                reacknowledged_ = false;
                return {Answer::Ack1, Outcome::Pending};
            }
            if (byte == kDle) {
                state_ = State::WaitStx;
                return {};
            }
            reacknowledged_ = true;
            return {Answer::Ack1, Outcome::Pending};
        case State::AfterNak:
            if (byte == kEnq) return {Answer::Nak, Outcome::Pending};
            state_ = byte == kDle ? State::WaitStx : State::Idle;
            return {};
    }
    // A data byte (Data state, or a doubled DLE).
    if (telegram_.size() < kMaxTelegram)
        telegram_ += static_cast<char>(byte);
    else
        overflow_ = true;
    bcc_ ^= byte;
    if (overflow_) return rejectFrame();
    state_ = State::Data;
    return {};
}

Rxa2Receiver::Step Rxa2Receiver::onTimeout() {
    switch (state_) {
        case State::WaitEot:
            return {Answer::None, reacknowledged_ ? Outcome::Received : Outcome::TimedOut};
        case State::Data:
            state_ = State::AfterNak;
            return {};
        case State::DataDle:
            return rejectFrame();
        case State::Check:
            return rejectFrame();
        case State::AfterNak:
            state_ = State::Idle;
            return {};
        case State::Idle:
            return {Answer::None, Outcome::TimedOut};
        default:
            // The PC went quiet in the middle of an exchange; wait for its next ENQ.
            state_ = State::Idle;
            return {Answer::None, Outcome::TimedOut};
    }
}

}  // namespace cncsim
