// A serial line over the simulated device, and helpers that spell out what a CNC puts on the
// line, so that tests state bytes exactly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SerialLine.h"
#include "SimulatedDevice.h"
#include "Telegram.h"

namespace cablor::test {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The framed block for a telegram: DLE STX, text with DLE doubled, DLE ETX, BCC.
inline Bytes frameOf(const Bytes& text) {
    Bytes frame{ctl::kDle, ctl::kStx};
    uint8_t bcc = ctl::kEtx;
    for (uint8_t b : text) {
        if (b == ctl::kDle) frame.push_back(ctl::kDle);
        frame.push_back(b);
        bcc ^= b;
    }
    frame.insert(frame.end(), {ctl::kDle, ctl::kEtx, bcc});
    return frame;
}

// A write call as SimulatedDevice::trace() shows it.
inline std::string traced(const Bytes& bytes) {
    std::string text = "[";
    for (size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += hex;
    }
    return text + "]";
}

class LineTest : public ::testing::Test {
  protected:
    LineTest() : device(std::make_shared<SimulatedDevice>()), line(device) {}

    void push(const Bytes& bytes) { device->push(bytes.data(), static_cast<int>(bytes.size())); }

    // Plays a CNC that sends one telegram: the block after our ACK0, EOT after our ACK1.
    void cncSends(const Bytes& text) {
        const Bytes frame = frameOf(text);
        device->setResponder([frame](SimulatedDevice& d, const uint8_t* b, int n) {
            if (n == 2 && b[0] == ctl::kDle && b[1] == ctl::kAck0) {
                d.push(frame.data(), static_cast<int>(frame.size()));
            }
            if (n == 2 && b[0] == ctl::kDle && b[1] == ctl::kAck1) d.push({ctl::kEot});
        });
    }

    std::shared_ptr<SimulatedDevice> device;
    SerialLine line;
};

}  // namespace cablor::test
