#include "DataIo.h"

#include <algorithm>
#include <cstring>

#include "Telegram.h"

namespace cablor {

using namespace ctl;

namespace {

bool isXon(uint8_t byte) {
    return (byte & 0x7F) == kXon;
}
bool isXoff(uint8_t byte) {
    return (byte & 0x7F) == kXoff;
}

// Types 1 and 2: bursts of 100 bytes while the CNC lets us, remembering in line.peerReady
// whether it last said it may receive.
class FlowControlledSender {
  public:
    FlowControlledSender(SerialLine& line, bool xonXoff, const uint8_t* bytes, int length,
                         int ackTimeoutMs)
        : line_(line),
          dev_(line.device()),
          xonXoff_(xonXoff),
          bytes_(bytes),
          length_(length),
          ackTimeoutMs_(ackTimeoutMs) {}

    DataIoResult run() {
        do {
            if (!line_.peerReady) {
                if (auto r = waitForPeer(); r != DataIoResult::Ok) return r;
                line_.peerReady = true;
            }
            if (auto r = burst(); r != DataIoResult::Ok) return r;
            if (auto r = afterBurst(); r != DataIoResult::Ok) return r;
        } while (sent_ < length_);
        return DataIoResult::Ok;
    }

  private:
    DataIoResult waitForPeer() {
        if (xonXoff_) {
            // Single reads keep everything else in the driver, where the bursts look for it.
            ReadOutcome in = line_.readByte(-1, true);
            while (in.kind == ReadKind::Timeout) in = line_.readByte(-1, true);
            if (in.kind == ReadKind::DeviceFailure) return DataIoResult::DeviceFailure;
            if (in.kind != ReadKind::Byte || !isXon(in.byte)) {
                return DataIoResult::FlowControlFailure;
            }
            return DataIoResult::Ok;
        }
        bool cts = false;
        if (!readCts(&cts)) return DataIoResult::DeviceFailure;
        if (!cts && !dev_.waitEvent(kEventCtsChange)) return DataIoResult::DeviceFailure;
        return DataIoResult::Ok;
    }

    DataIoResult burst() {
        for (;;) {
            LineErrors errors;
            int queued = 0;
            if (!dev_.queryStatus(&errors, &queued)) return DataIoResult::DeviceFailure;
            if (xonXoff_) {
                if (queued > 0) return DataIoResult::Ok;  // the CNC has something to say
            } else {
                bool cts = false;
                if (!readCts(&cts) || !cts) return DataIoResult::Ok;
            }
            if (sent_ >= length_) return DataIoResult::Ok;
            line_.setReadTimeout(ackTimeoutMs_);
            const int n = std::min(kDataIoBurst, length_ - sent_);
            // Bytes that did not go out must not be counted as sent.
            if (!line_.write(bytes_ + sent_, n)) return DataIoResult::DeviceFailure;
            sent_ += n;
        }
    }

    DataIoResult afterBurst() {
        LineErrors errors;
        int queued = 0;
        if (!dev_.queryStatus(&errors, &queued)) return DataIoResult::DeviceFailure;
        ReadOutcome in{ReadKind::Timeout};
        if (queued > 0) {
            in = line_.readByte(0, true);
            if (in.kind == ReadKind::DeviceFailure) return DataIoResult::DeviceFailure;
        }
        const bool gotByte = in.kind != ReadKind::Timeout;
        if (!xonXoff_) {
            bool cts = false;
            if (readCts(&cts) && cts) {
                line_.peerReady = true;
                return DataIoResult::Ok;
            }
        } else if (!gotByte) {
            line_.peerReady = true;
            return DataIoResult::Ok;
        }
        if (in.kind == ReadKind::Byte && isXoff(in.byte)) {
            line_.peerReady = false;
            return DataIoResult::Ok;
        }
        // CTS was high and now cannot be read, or a byte other than XOff came: the CNC's
        // flow control is not what this link type expects.
        if (lastCtsHigh_) return DataIoResult::FlowControlFailure;
        line_.peerReady = false;
        return DataIoResult::Ok;
    }

    bool readCts(bool* cts) {
        if (!dev_.getCts(cts)) return false;
        lastCtsHigh_ = *cts;
        return true;
    }

    SerialLine& line_;
    SerialDevice& dev_;
    bool xonXoff_;
    const uint8_t* bytes_;
    int length_;
    int ackTimeoutMs_;
    int sent_ = 0;
    bool lastCtsHigh_ = false;  // the last modem status read in this call showed CTS high
};

// Type 6: CTS alone decides, sampled before every block of 100.
DataIoResult sendCtsPerBlock(SerialLine& line, const uint8_t* bytes, int length, int ackTimeoutMs) {
    SerialDevice& dev = line.device();
    line.setReadTimeout(ackTimeoutMs);
    int sent = 0;
    while (sent < length) {
        bool cts = false;
        if (!dev.getCts(&cts)) return DataIoResult::DeviceFailure;
        if (!cts && !dev.waitEvent(kEventCtsChange)) return DataIoResult::DeviceFailure;
        while (sent < length && dev.getCts(&cts) && cts) {
            const int n = std::min(kDataIoBurst, length - sent);
            if (!line.write(bytes + sent, n)) return DataIoResult::DeviceFailure;
            sent += n;
        }
    }
    if (length > 0) {
        // CTS was high before the last block; if it cannot be read now the line is gone.
        bool cts = false;
        if (!dev.getCts(&cts)) return DataIoResult::FlowControlFailure;
        line.peerReady = cts;
    }
    return DataIoResult::Ok;
}

bool signalPeer(SerialLine& line, LineMode mode, bool go) {
    if (mode == LineMode::DataIoXonXoff) return line.writeByte(go ? kXon : kXoff);
    return line.device().setRts(go);
}

}  // namespace

DataIoResult dataIoSend(SerialLine& line, LineMode mode, const uint8_t* bytes, int length,
                        int ackTimeoutMs) {
    length = std::max(length, 0);
    if (mode == LineMode::DataIoCts) return sendCtsPerBlock(line, bytes, length, ackTimeoutMs);
    const bool xonXoff = mode == LineMode::DataIoXonXoff;
    return FlowControlledSender(line, xonXoff, bytes, length, ackTimeoutMs).run();
}

DataIoResult dataIoReceive(SerialLine& line, LineMode mode, uint8_t* buffer, int capacity,
                           int* length) {
    SerialDevice& dev = line.device();
    capacity = std::max(capacity, 0);
    line.setReadTimeout(0);
    LineErrors errors;
    int queued = 0;
    if (!dev.queryStatus(&errors, &queued)) return DataIoResult::DeviceFailure;

    if (queued > capacity) {
        // More is waiting than the caller can take: take what fits and hold the CNC.
        const int n = dev.read(buffer, capacity, 0);
        if (n < 0) return DataIoResult::DeviceFailure;
        if (!signalPeer(line, mode, false)) return DataIoResult::DeviceFailure;
        *length = n;
        return DataIoResult::Ok;
    }

    if (!signalPeer(line, mode, true)) return DataIoResult::DeviceFailure;
    int held = 0;
    bool ended = false;
    while (held < capacity && !ended) {
        if (!dev.queryStatus(&errors, &queued)) {
            signalPeer(line, mode, false);
            return DataIoResult::DeviceFailure;
        }
        while (queued == 0) {
            if (!dev.waitEvent(kEventCharacter | kEventCtsChange | kEventLineError)) {
                signalPeer(line, mode, false);
                return DataIoResult::DeviceFailure;
            }
            // Let a burst gather in the driver rather than reading it byte by byte.
            dev.pause(100);
            if (!dev.queryStatus(&errors, &queued)) {
                signalPeer(line, mode, false);
                return DataIoResult::DeviceFailure;
            }
        }
        const int n = dev.read(buffer + held, std::min(queued, capacity - held), 0);
        if (n < 0) {
            signalPeer(line, mode, false);
            return DataIoResult::DeviceFailure;
        }
        ended = std::find(buffer + held, buffer + held + n, kEot) != buffer + held + n;
        held += n;
    }
    if (!signalPeer(line, mode, false)) return DataIoResult::DeviceFailure;

    // Tape leader: NUL bytes before the data are not part of it.
    int leading = 0;
    while (leading < held && buffer[leading] == 0x00) ++leading;
    if (leading > 0) {
        std::memmove(buffer, buffer + leading, static_cast<size_t>(held - leading));
        held -= leading;
    }
    *length = held;
    return DataIoResult::Ok;
}

}  // namespace cablor
