#pragma once

#include <array>
#include <chrono>

#include "ByteLine.h"
#include "UniqueFd.h"

namespace cncsim {

// A line on a file descriptor (pty master, serial device or socket). Reads go through a small
// read-ahead buffer; writes can be paced as a serial line of a given speed would carry them.
class FdLine : public ByteLine {
  public:
    explicit FdLine(int fd);

    // Paces written bytes as at baud bits per second with bitsPerByte bits per character
    // (10 for 8N1, 11 with parity); 0 writes at full speed.
    void setLineSpeed(int baud, int bitsPerByte = 10);
    // A pty master reports a hang-up while no program has the slave open; such a line is idle,
    // not closed.
    void setHangupIsIdle(bool idle) { hangupIsIdle_ = idle; }

    int readByte(int timeoutMs) override;
    bool write(std::string_view bytes) override;
    bool pause(int ms) override;

    // Number of bytes waiting in the read-ahead buffer or the kernel.
    bool inputPending();

  private:
    bool writeAll(const char* data, std::size_t count);

    int fd_;
    std::array<unsigned char, 256> buffer_{};
    std::size_t fill_ = 0;
    std::size_t next_ = 0;
    std::chrono::nanoseconds byteTime_{0};
    std::chrono::steady_clock::time_point nextSlot_{};
    bool hangupIsIdle_ = false;
    bool isSocket_ = false;
};

}  // namespace cncsim
