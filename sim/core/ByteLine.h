#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cncsim {

// Outcome of reading one byte from a line: a byte value 0..255, or one of these.
enum ReadResult : int {
    kReadTimeout = -1,  // nothing arrived in time
    kReadClosed = -2,   // the peer closed the line or the device failed
    kReadStopped = -3,  // the simulator was asked to end
};

// A byte stream to the PC: a pseudo-terminal, a serial device or a socket.
class ByteLine {
  public:
    virtual ~ByteLine() = default;
    // Reads one byte, waiting at most timeoutMs (negative: without limit).
    virtual int readByte(int timeoutMs) = 0;
    // Writes all bytes; false when the line failed.
    virtual bool write(std::string_view bytes) = 0;
    // Pauses the simulator for ms milliseconds unless it is asked to end; false when it is.
    virtual bool pause(int ms) = 0;
};

}  // namespace cncsim
