// Low latency on a serial driver. USB adapters hold received bytes back (16 ms on FTDI-type
// chips) to fill their packets; a telegram protocol that turns the line around five times per
// block loses most of its speed to that. While a port is open its driver is asked to hand bytes
// on at once (ASYNC_LOW_LATENCY), and the flags it had are put back at close. A driver without
// the request (a pseudo-terminal) or one that refuses it is left as it is.
#pragma once

#include <linux/serial.h>

#include <functional>

namespace cablor {

// TIOCGSERIAL / TIOCSSERIAL on a descriptor; returns 0 or -1 with errno, as ioctl() does. Tests
// hand in one that records the calls.
using SerialInfoIoctl = std::function<int(int fd, unsigned long request, serial_struct* info)>;

int systemSerialInfoIoctl(int fd, unsigned long request, serial_struct* info);

class LowLatency {
  public:
    LowLatency() = default;
    // Asks the driver of fd for low latency.
    static LowLatency request(int fd, SerialInfoIoctl ioctl = systemSerialInfoIoctl);

    LowLatency(LowLatency&& other) noexcept;
    LowLatency& operator=(LowLatency&& other) noexcept;
    LowLatency(const LowLatency&) = delete;
    LowLatency& operator=(const LowLatency&) = delete;
    ~LowLatency() = default;

    // True when the flags were changed and restore() will put them back.
    bool changed() const { return changed_; }
    // Puts the driver's own flags back (once); call it before the descriptor is closed.
    void restore();

  private:
    SerialInfoIoctl ioctl_;
    int fd_ = -1;
    int oldFlags_ = 0;
    bool changed_ = false;
};

}  // namespace cablor
