#include "TelegramLink.h"

namespace cncsim {

bool TelegramLink::send(std::string_view telegram) {
    ++sent_;
    trace_.sent(telegram);
    bool ok = transmit(telegram);
    if (!ok) trace_.note("sending failed");
    return ok;
}

Incoming TelegramLink::receive(int timeoutMs) {
    Incoming in = collect(timeoutMs);
    if (in.status == Incoming::Status::Telegram || in.status == Incoming::Status::TooLong) {
        ++received_;
        trace_.received(in.text);
        if (in.status == Incoming::Status::TooLong) trace_.note("telegram too long");
    }
    return in;
}

void TelegramLink::goSilent() {
    trace_.note("silent");
    for (;;) {
        int byte = line_.readByte(-1);
        if (byte == kReadClosed || byte == kReadStopped) return;
    }
}

}  // namespace cncsim
