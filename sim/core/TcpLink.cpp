#include "TcpLink.h"

#include "ControlBytes.h"
#include "TcpFraming.h"

namespace cncsim {

bool TcpLink::transmit(std::string_view telegram) {
    if (telegram.size() > kMaxTelegram) return false;
    if (received_ > 0 && answered_.insert(received_).second) {
        if (faults_.options().withholdAck.contains(received_)) {
            trace_.note("fault: reply withheld");
            return true;
        }
        if (int delay = faults_.ackDelayMs(received_); delay > 0) {
            trace_.note("fault: reply delayed " + std::to_string(delay) + " ms");
            if (!line_.pause(delay)) return false;
        }
    }
    std::string body(telegram);
    ByteFault fault = faults_.outgoing(sent_, body.size());
    if (fault.kind == ByteFault::Kind::Corrupt) {
        body[fault.index] =
            static_cast<char>(static_cast<std::uint8_t>(body[fault.index]) ^ fault.mask);
        trace_.note("fault: corrupted byte " + std::to_string(fault.index));
    } else if (fault.kind == ByteFault::Kind::Drop) {
        body.erase(fault.index, 1);
        trace_.note("fault: dropped byte " + std::to_string(fault.index));
    }
    return line_.write(encodeMessage(body));
}

Incoming TcpLink::collect(int timeoutMs) {
    unsigned char header[4];
    for (int i = 0; i < 4; ++i) {
        int byte = line_.readByte(i == 0 ? timeoutMs : frameTimeoutMs_);
        if (byte == kReadStopped) return {Incoming::Status::Stopped, {}};
        if (byte == kReadTimeout && i == 0) return {Incoming::Status::Timeout, {}};
        if (byte < 0) return {Incoming::Status::Closed, {}};
        header[i] = static_cast<unsigned char>(byte);
    }
    const std::uint32_t length = decodeLength(header);
    Incoming in{Incoming::Status::Telegram, {}};
    // Bytes past the largest telegram are read and dropped, so the next message is intact.
    for (std::uint32_t i = 0; i < length; ++i) {
        int byte = line_.readByte(frameTimeoutMs_);
        if (byte == kReadStopped) return {Incoming::Status::Stopped, {}};
        if (byte < 0) return {Incoming::Status::Closed, {}};
        if (in.text.size() < kMaxTelegram) in.text += static_cast<char>(byte);
    }
    if (length > kMaxTelegram) in.status = Incoming::Status::TooLong;
    return in;
}

}  // namespace cncsim
