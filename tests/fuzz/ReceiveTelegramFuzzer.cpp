// Arbitrary line traffic into the telegram receiver: it must end every call, never store more
// than 1024 bytes, and report a length only with success.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "SerialLine.h"
#include "Telegram.h"

using namespace cablor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the reply time-out (none or some) and the send delay.
    const int replyTimeoutMs = (data[0] & 0x01) != 0 ? 1000 : 0;
    const int sendDelayMs = (data[0] & 0x02) != 0 ? 5 : 0;
    auto device = std::make_shared<SimulatedDevice>();
    fuzz::feedLine(*device, data + 1, size - 1);
    SerialLine line(device);

    // Exactly 1024 bytes on the heap, so that AddressSanitizer sees a write past the end.
    auto buffer = std::make_unique<uint8_t[]>(kMaxTelegram);
    // Several receives in a row, as a listening caller does, until the traffic is used up.
    for (int call = 0; call < 64 && (device->pendingInput() > 0 || line.readAheadPending() > 0);
         ++call) {
        int length = -7;
        const ReceiveResult result =
            receiveTelegram(line, buffer.get(), &length, replyTimeoutMs, sendDelayMs);
        if (result == ReceiveResult::Ok) {
            if (length < 0 || length > kMaxTelegram) std::abort();
        } else if (length != -7) {
            std::abort();
        }
        if (result == ReceiveResult::DeviceFailure) break;
    }
    return 0;
}
