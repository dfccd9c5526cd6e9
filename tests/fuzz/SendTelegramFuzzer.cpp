// Arbitrary answers of a CNC to the telegram sender: every call ends, and a success is only
// reported after an ACK1 from the line.
#include <cstdlib>
#include <memory>

#include "FuzzInput.h"
#include "SerialLine.h"
#include "Telegram.h"

using namespace cablor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int retries = data[0] & 0x07;
    const int sendDelayMs = (data[0] & 0x08) != 0 ? 5 : 0;
    const int textLength = data[1] % 8;
    const uint8_t text[8] = {'M', ' ', 0x10, 'N', 0x10, 0x10, 'x', 0x03};
    auto device = std::make_shared<SimulatedDevice>();
    fuzz::feedLine(*device, data + 2, size - 2);
    SerialLine line(device);

    const SendResult result = sendTelegram(line, text, textLength, retries, 100, sendDelayMs);
    const auto written = device->written();
    if (result == SendResult::Ok && (written.empty() || written.back() != 0x04)) std::abort();
    if (result == SendResult::TooLong) std::abort();
    if (line.readAheadIndex() > line.readAheadCount()) std::abort();
    return 0;
}
