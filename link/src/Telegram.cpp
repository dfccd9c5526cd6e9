#include "Telegram.h"

#include <array>
#include <climits>
#include <cstring>
#include <optional>

namespace cablor {

using namespace ctl;

uint8_t blockCheck(const uint8_t* text, int length) {
    uint8_t bcc = kEtx;
    for (int i = 0; i < length; ++i) bcc ^= text[i];
    return bcc;
}

namespace {

class TelegramSender {
  public:
    TelegramSender(SerialLine& line, const uint8_t* text, int length, int retries, int ackTimeoutMs,
                   int sendDelayMs)
        : line_(line),
          text_(text),
          length_(length),
          retries_(retries),
          ackTimeoutMs_(ackTimeoutMs),
          sendDelayMs_(sendDelayMs),
          counter_(retries) {}

    SendResult run() {
        if (auto failed = enquire()) return *failed;
        counter_ = retries_;
        return sendBlock();
    }

  private:
    // ENQ until the CNC answers ACK0. Empty when the block may follow.
    std::optional<SendResult> enquire() {
        for (;;) {
            if (auto failed = spendRetry()) return failed;
            if (!writeControl(kEnq)) return SendResult::DeviceFailure;
            ReadOutcome answer = read();
            if (answer.kind == ReadKind::DeviceFailure) return SendResult::DeviceFailure;
            if (answer.is(kDle)) {
                ReadOutcome ack = read();
                if (ack.kind == ReadKind::DeviceFailure) return SendResult::DeviceFailure;
                if (ack.is(kAck0)) return std::nullopt;
                // ACK1 belongs to an exchange the CNC still thinks is open: close it first.
                if (ack.is(kAck1) && !writeControl(kEot)) return SendResult::DeviceFailure;
                continue;
            }
            if (answer.is(kNak)) {
                return writeControl(kEot) ? SendResult::Refused : SendResult::DeviceFailure;
            }
            if (answer.is(kEnq)) {
                // The CNC wants to send at the same time; it goes first.
                tidyAfterCollision(line_);
                return SendResult::Collision;
            }
        }
    }

    SendResult sendBlock() {
        for (;;) {
            if (auto failed = spendRetry()) return *failed;
            if (!writeBlock()) return SendResult::DeviceFailure;
            bool sendAgain = false;
            while (!sendAgain) {
                ReadOutcome answer = read();
                if (answer.kind == ReadKind::DeviceFailure) return SendResult::DeviceFailure;
                if (answer.is(kNak)) {
                    sendAgain = true;
                } else if (answer.is(kEnq)) {
                    // The CNC asks us to wait; read again without spending a retry.
                } else {
                    if (answer.is(kDle)) {
                        ReadOutcome ack = read();
                        if (ack.kind == ReadKind::DeviceFailure) return SendResult::DeviceFailure;
                        if (ack.is(kAck1)) {
                            return writeControl(kEot) ? SendResult::Ok : SendResult::DeviceFailure;
                        }
                        if (ack.is(kAck0)) {
                            sendAgain = true;
                            continue;
                        }
                    }
                    // No usable answer: ask for the acknowledgement again.
                    if (auto failed = spendRetry()) return *failed;
                    if (!writeControl(kEnq)) return SendResult::DeviceFailure;
                }
            }
        }
    }

    // One attempt less; when none is left, the exchange is given up with EOT.
    std::optional<SendResult> spendRetry() {
        if (counter_ < 0) {
            return writeControl(kEot) ? SendResult::RetriesExhausted : SendResult::DeviceFailure;
        }
        --counter_;
        return std::nullopt;
    }

    ReadOutcome read() { return line_.readByte(ackTimeoutMs_); }

    bool writeControl(uint8_t byte) {
        if (sendDelayMs_ > 0) line_.device().pause(sendDelayMs_);
        return line_.writeByte(byte);
    }

    bool writeBlock() {
        const uint8_t bcc = blockCheck(text_, length_);
        if (sendDelayMs_ > 0) {
            // A slow CNC gets its control bytes one by one with a pause before each, and the
            // text byte by byte.
            if (!writeControl(kDle) || !writeControl(kStx)) return false;
            for (int i = 0; i < length_; ++i) {
                if (text_[i] == kDle && !line_.writeByte(kDle)) return false;
                if (!line_.writeByte(text_[i])) return false;
            }
            return writeControl(kDle) && writeControl(kEtx) && writeControl(bcc);
        }
        int n = 0;
        frame_[n++] = kDle;
        frame_[n++] = kStx;
        for (int i = 0; i < length_; ++i) {
            if (text_[i] == kDle) frame_[n++] = kDle;
            frame_[n++] = text_[i];
        }
        frame_[n++] = kDle;
        frame_[n++] = kEtx;
        frame_[n++] = bcc;
        return line_.write(frame_.data(), n);
    }

    SerialLine& line_;
    const uint8_t* text_;
    int length_;
    int retries_;
    int ackTimeoutMs_;
    int sendDelayMs_;
    int counter_;
    // DLE STX, every text byte possibly doubled, DLE ETX BCC.
    std::array<uint8_t, 2 * kMaxTelegram + 5> frame_{};
};

}  // namespace

SendResult sendTelegram(SerialLine& line, const uint8_t* text, int length, int retries,
                        int ackTimeoutMs, int sendDelayMs) {
    if (length < 0 || length > kMaxTelegram) return SendResult::TooLong;
    line.setReadTimeout(ackTimeoutMs);
    return TelegramSender(line, text, length, retries, ackTimeoutMs, sendDelayMs).run();
}

void tidyAfterCollision(SerialLine& line) {
    const uint8_t* ahead = line.readAhead();
    const int count = line.readAheadCount();
    int i = line.readAheadIndex();
    auto at = [&](int k) { return k >= 0 && k < count ? ahead[k] : -1; };
    while (at(i) == kEnq && at(i + 1) == kEnq) ++i;
    if (at(i + 1) == kEot) i += 2;
    line.readAheadIndex() = i < count ? i : count;
}

namespace {

class TelegramReceiver {
  public:
    TelegramReceiver(SerialLine& line, int replyTimeoutMs, int sendDelayMs)
        : line_(line), waitMs_(replyTimeoutMs), sendDelayMs_(sendDelayMs) {}

    ReceiveResult run(uint8_t* buffer, int* length) {
        State state = State::Idle;
        for (;;) {
            const ReadOutcome in = line_.readByte(waitMs_);
            if (in.kind == ReadKind::DeviceFailure) return ReceiveResult::DeviceFailure;
            switch (state) {
                case State::Idle:
                    if (in.is(kEnq)) {
                        firstWait_ = false;
                        if (!writeAck(kAck0)) return ReceiveResult::DeviceFailure;
                        lengthenWait();
                        state = State::WaitDle;
                    } else if (in.kind == ReadKind::Timeout) {
                        return paritySeen_ ? ReceiveResult::ParityError : ReceiveResult::Timeout;
                    } else if (in.kind == ReadKind::LineError) {
                        return ReceiveResult::LineError;
                    } else if (in.kind == ReadKind::Parity) {
                        return ReceiveResult::ParityError;
                    } else if (firstWait_) {
                        // Something other than a telegram is coming: the CNC has ended.
                        return ReceiveResult::Ended;
                    }
                    break;

                case State::WaitDle:
                    // 0x84 is EOT as a 7-bit line with parity delivers it to an 8-bit reader.
                    if (in.is(kDle)) {
                        state = State::WaitStx;
                    } else if (in.is(kEnq)) {
                        if (!writeAck(kAck0)) return ReceiveResult::DeviceFailure;
                    } else if (in.is(kEot) || in.is(0x84)) {
                        return paritySeen_ ? ReceiveResult::ParityError : ReceiveResult::Ended;
                    } else {
                        if (in.kind == ReadKind::Parity) paritySeen_ = true;
                        state = State::Idle;
                    }
                    break;

                case State::WaitStx:
                    if (in.is(kStx)) {
                        count_ = 0;
                        bcc_ = kEtx;
                        frameParity_ = false;
                        state = State::Data;
                    } else {
                        if (!writeAck(kAck0)) return ReceiveResult::DeviceFailure;
                        state = State::WaitDle;
                    }
                    break;

                case State::Data:
                    if (in.is(kDle)) {
                        state = State::DataDle;
                    } else if (in.kind == ReadKind::Byte) {
                        if (!store(in.byte)) {
                            if (!writeNak()) return ReceiveResult::DeviceFailure;
                            state = State::AfterNak;
                        }
                    } else if (in.kind == ReadKind::Timeout) {
                        state = State::AfterNak;
                    } else if (in.kind == ReadKind::Parity) {
                        frameParity_ = true;
                    } else {
                        state = State::Idle;  // line error: no answer, the CNC asks again
                    }
                    break;

                case State::DataDle:
                    if (in.is(kEtx)) {
                        state = State::Check;
                    } else if (in.is(kDle)) {
                        // A doubled DLE is one text byte. It may be the 1025th, which rejects
                        // the block like any other byte beyond the limit.
                        if (store(kDle)) {
                            state = State::Data;
                        } else {
                            if (!writeNak()) return ReceiveResult::DeviceFailure;
                            state = State::AfterNak;
                        }
                    } else if (in.kind == ReadKind::Timeout) {
                        if (!writeNak()) return ReceiveResult::DeviceFailure;
                        state = State::AfterNak;
                    } else {
                        state = State::Check;
                    }
                    break;

                case State::Check:
                    if (in.is(bcc_) && !frameParity_ && count_ <= kMaxTelegram) {
                        if (!writeAck(kAck1)) return ReceiveResult::DeviceFailure;
                        state = State::WaitEot;
                    } else {
                        if (!writeNak()) return ReceiveResult::DeviceFailure;
                        state = State::AfterNak;
                    }
                    break;

                case State::WaitEot:
                    if (in.is(kEot)) return deliver(buffer, length);
                    if (in.is(kDle)) {
                        state = State::WaitStx;  // the sender repeats the block
                    } else if (in.kind == ReadKind::Timeout) {
                        // A CNC that got our second ACK1 may already consider the exchange done.
                        if (reAcknowledged_) return deliver(buffer, length);
                        return ReceiveResult::Timeout;
                    } else {
                        if (!writeAck(kAck1)) return ReceiveResult::DeviceFailure;
                        reAcknowledged_ = !in.is(kEnq);
                    }
                    break;

                case State::AfterNak:
                    if (in.is(kEnq)) {
                        if (!writeNak()) return ReceiveResult::DeviceFailure;
                    } else if (in.is(kDle)) {
                        state = State::WaitStx;
                    } else {
                        state = State::Idle;
                    }
                    break;
            }
        }
    }

  private:
    enum class State { Idle, WaitDle, WaitStx, Data, DataDle, Check, WaitEot, AfterNak };

    // Counts a text byte into the block check and keeps it while there is room. False once
    // the block has grown beyond the largest telegram.
    bool store(uint8_t byte) {
        if (count_ < kMaxTelegram) text_[count_] = byte;
        ++count_;
        bcc_ ^= byte;
        return count_ <= kMaxTelegram;
    }

    // Once a block is under way, every wait allows the sender two seconds beyond the reply
    // time-out, or ten seconds when no reply time-out was given.
    void lengthenWait() {
        if (waitLengthened_) return;
        waitLengthened_ = true;
        if (waitMs_ <= 0) {
            waitMs_ = 10000;
        } else {
            waitMs_ = waitMs_ > INT_MAX - 2000 ? INT_MAX : waitMs_ + 2000;
        }
    }

    bool writeAck(uint8_t which) {
        if (sendDelayMs_ > 0) line_.device().pause(sendDelayMs_);
        const uint8_t ack[2] = {kDle, which};
        return line_.write(ack, 2);
    }

    bool writeNak() {
        if (sendDelayMs_ > 0) line_.device().pause(sendDelayMs_);
        return line_.writeByte(kNak);
    }

    ReceiveResult deliver(uint8_t* buffer, int* length) {
        std::memcpy(buffer, text_.data(), static_cast<size_t>(count_));
        *length = count_;
        return ReceiveResult::Ok;
    }

    SerialLine& line_;
    int waitMs_;
    int sendDelayMs_;
    bool waitLengthened_ = false;
    bool firstWait_ = true;
    bool paritySeen_ = false;
    bool reAcknowledged_ = false;
    bool frameParity_ = false;
    int count_ = 0;
    uint8_t bcc_ = kEtx;
    // The block is collected here and reaches the caller only once it is acknowledged.
    std::array<uint8_t, kMaxTelegram> text_{};
};

}  // namespace

ReceiveResult receiveTelegram(SerialLine& line, uint8_t* buffer, int* length, int replyTimeoutMs,
                              int sendDelayMs) {
    return TelegramReceiver(line, replyTimeoutMs, sendDelayMs).run(buffer, length);
}

}  // namespace cablor
