#include "Rxa2Link.h"

#include "ControlBytes.h"
#include "Rxa2Frame.h"

namespace cncsim {

bool Rxa2Link::writeByte(std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    return line_.write(std::string_view(&c, 1));
}

std::string Rxa2Link::damagedFrame(const std::string& frame) {
    const std::size_t region = frame.size() - kFrameHead - kFrameTail;
    ByteFault fault = faults_.outgoing(sent_, region);
    std::string damaged = frame;
    const std::size_t at = kFrameHead + fault.index;
    if (fault.kind == ByteFault::Kind::Corrupt) {
        damaged[at] = static_cast<char>(static_cast<std::uint8_t>(damaged[at]) ^ fault.mask);
        trace_.note("fault: corrupted byte " + std::to_string(fault.index) + " of frame " +
                    std::to_string(sent_));
    } else if (fault.kind == ByteFault::Kind::Drop) {
        damaged.erase(at, 1);
        trace_.note("fault: dropped byte " + std::to_string(fault.index) + " of frame " +
                    std::to_string(sent_));
    }
    return damaged;
}

// Sends like the PC does: ENQ until the PC answers ACK0, then the block until ACK1, then EOT;
// at most retries + 1 attempts in each phase. When the PC enquires at the same time, the CNC
// keeps its own enquiry pending: the PC gives way and answers it.
bool Rxa2Link::transmit(std::string_view telegram) {
    if (telegram.size() > kMaxTelegram) return false;
    int left = settings_.retries;
    auto spendRetry = [&] {
        if (left < 0) {
            writeByte(kEot);
            return false;
        }
        --left;
        return true;
    };

    bool ready = false;
    while (!ready) {
        if (!spendRetry() || !writeByte(kEnq)) return false;
        for (;;) {
            int byte = line_.readByte(settings_.ackTimeoutMs);
            if (byte == kReadClosed || byte == kReadStopped) return false;
            if (byte == kDle) {
                int next = line_.readByte(settings_.ackTimeoutMs);
                if (next == '0')
                    ready = true;
                else if (next == '1' && !writeByte(kEot))
                    return false;
                else if (next == kReadClosed || next == kReadStopped)
                    return false;
            } else if (byte == kNak) {
                writeByte(kEot);
                return false;
            } else if (byte == kEnq) {
                continue;  // collision: the PC yields and will answer our enquiry
            }
            break;
        }
    }

    const std::string frame = encodeFrame(telegram);
    left = settings_.retries;
    bool firstAttempt = true;
    for (;;) {
        if (!spendRetry()) return false;
        if (!line_.write(firstAttempt ? damagedFrame(frame) : frame)) return false;
        firstAttempt = false;
        for (;;) {
            int byte = line_.readByte(settings_.ackTimeoutMs);
            if (byte == kReadClosed || byte == kReadStopped) return false;
            if (byte == kDle) {
                int next = line_.readByte(settings_.ackTimeoutMs);
                if (next == '1') return writeByte(kEot);
                if (next == '0') break;
                if (next == kReadClosed || next == kReadStopped) return false;
            } else if (byte == kNak) {
                break;
            } else if (byte == kEnq) {
                continue;
            }
            // No answer, or noise: ask the PC to acknowledge again.
            if (!spendRetry() || !writeByte(kEnq)) return false;
        }
    }
}

Incoming Rxa2Link::collect(int timeoutMs) {
    const int number = received_ + 1;
    const Rxa2Receiver::AckFault fault = faults_.ackFault(number);
    if (fault == Rxa2Receiver::AckFault::Nak)
        trace_.note("fault: NAK for the first block of telegram " + std::to_string(number));
    if (fault == Rxa2Receiver::AckFault::Withhold)
        trace_.note("fault: no ACK1 for telegram " + std::to_string(number) + " until asked again");
    Rxa2Receiver receiver(fault);
    for (;;) {
        int byte = line_.readByte(receiver.idle() ? timeoutMs : settings_.frameTimeoutMs);
        if (byte == kReadStopped) return {Incoming::Status::Stopped, {}};
        if (byte == kReadClosed) return {Incoming::Status::Closed, {}};
        Rxa2Receiver::Step step = byte == kReadTimeout
                                      ? receiver.onTimeout()
                                      : receiver.onByte(static_cast<std::uint8_t>(byte));
        switch (step.answer) {
            case Rxa2Receiver::Answer::None:
                break;
            case Rxa2Receiver::Answer::Ack0:
                line_.write(
                    std::string_view("\x10"
                                     "0",
                                     2));
                break;
            case Rxa2Receiver::Answer::Ack1:
                if (int delay = faults_.ackDelayMs(number); delay > 0) {
                    trace_.note("fault: acknowledgement delayed " + std::to_string(delay) + " ms");
                    if (!line_.pause(delay)) return {Incoming::Status::Stopped, {}};
                }
                line_.write(
                    std::string_view("\x10"
                                     "1",
                                     2));
                break;
            case Rxa2Receiver::Answer::Nak:
                writeByte(kNak);
                break;
        }
        switch (step.outcome) {
            case Rxa2Receiver::Outcome::Pending:
                break;
            case Rxa2Receiver::Outcome::Received:
                return {Incoming::Status::Telegram, receiver.telegram()};
            case Rxa2Receiver::Outcome::Ended:
                return {Incoming::Status::Ended, {}};
            case Rxa2Receiver::Outcome::TimedOut:
                return {Incoming::Status::Timeout, {}};
        }
    }
}

}  // namespace cncsim
