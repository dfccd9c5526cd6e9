// DataIO raw transfer on a serial line: bytes streamed in bursts of 100 under flow control
// done by the library itself (XOn/XOff bytes, or RTS/CTS), and received until EOT.
// Waits for the CNC (XOn, CTS, incoming data) have no time limit; they end with a failure when
// the device is cancelled (handle disconnected, library unloading).
#pragma once

#include <cstdint>

#include "SerialLine.h"

namespace cablor {

inline constexpr int kDataIoBurst = 100;

enum class DataIoResult { Ok, FlowControlFailure, DeviceFailure };

// Sends length bytes. Types 1 (RTS/CTS) and 2 (XOn/XOff) keep line.peerReady between calls;
// type 6 samples CTS before every block. ackTimeoutMs becomes the line's read time-out.
DataIoResult dataIoSend(SerialLine& line, LineMode mode, const uint8_t* bytes, int length,
                        int ackTimeoutMs);

// Receives until EOT (included in the result) or until capacity bytes are held, then tells
// the CNC to stop. Leading NUL bytes are removed. *length is set only on success.
DataIoResult dataIoReceive(SerialLine& line, LineMode mode, uint8_t* buffer, int capacity,
                           int* length);

}  // namespace cablor
