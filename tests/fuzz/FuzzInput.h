// Turns a fuzzer's byte string into what a CNC puts on a simulated line: 0xFF starts an
// escape (0xFF 0x00 a plain 0xFF; 0x01 X X with a parity error; 0x02 X X with a framing
// error; 0x03 X X with an overrun; 0x04 a gap, the silence a waiting read times out on); every
// other byte arrives as it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SimulatedDevice.h"

namespace cablor::fuzz {

inline void feedLine(SimulatedDevice& device, const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        const uint8_t b = data[i++];
        if (b != 0xFF || i >= size) {
            device.push({b});
            continue;
        }
        const uint8_t code = data[i++];
        const uint8_t value = i < size ? data[i] : 0;
        switch (code) {
            case 0x00:
                device.push({0xFF});
                break;
            case 0x01:
                device.pushParityError(value);
                ++i;
                break;
            case 0x02:
                device.pushLineError(SimulatedDevice::LineFault::Framing, value);
                ++i;
                break;
            case 0x03:
                device.pushLineError(SimulatedDevice::LineFault::Overrun, value);
                ++i;
                break;
            case 0x04:
                device.pushGap();
                break;
            default:
                device.push({b, code});
                break;
        }
    }
}

}  // namespace cablor::fuzz
