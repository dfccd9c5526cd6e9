// An open serial port as the protocols see it: the device, the read-ahead buffer and the
// DataIO peer-ready flag. Reads yield one of five outcomes, which the protocols treat each in
// its own way. Time-outs inside the library are milliseconds; a negative one waits without
// limit.
#pragma once

#include <cstdint>
#include <memory>

#include "SerialDevice.h"

namespace cablor {

enum class ReadKind { Byte, Timeout, Parity, LineError, DeviceFailure };

struct ReadOutcome {
    ReadKind kind = ReadKind::Timeout;
    uint8_t byte = 0;

    bool is(uint8_t value) const { return kind == ReadKind::Byte && byte == value; }
    static ReadOutcome of(uint8_t value) { return {ReadKind::Byte, value}; }
};

class SerialLine {
  public:
    static constexpr int kReadAheadSize = 256;

    explicit SerialLine(std::shared_ptr<SerialDevice> device) : device_(std::move(device)) {}

    SerialDevice& device() { return *device_; }
    const std::shared_ptr<SerialDevice>& sharedDevice() const { return device_; }

    // Programs the line for a mode (speed, parity, data bits, modem lines) and sets the read
    // time-out; empties the read-ahead buffer. Returns 0 or an errno value.
    int configure(const LineSettings& settings, int timeoutMs);

    // The time-out that reads without their own time-out use (DataIO, DirectSend/DirectRecv).
    void setReadTimeout(int timeoutMs) { readTimeoutMs_ = timeoutMs; }
    int readTimeout() const { return readTimeoutMs_; }

    // Reads one byte. Buffered (single == false): takes everything the driver holds in one
    // read and keeps the rest in the read-ahead buffer. Single: reads exactly one byte and
    // does not touch the read-ahead buffer.
    ReadOutcome readByte(int timeoutMs, bool single = false);

    // Writes all bytes; false on device failure. Writing nothing succeeds.
    bool write(const uint8_t* bytes, int count);
    bool writeByte(uint8_t byte) { return write(&byte, 1); }

    // Reprograms speed and parity code (0 none, 1 even, 2 odd) of the open line, purges input
    // and empties the read-ahead buffer. Returns 0, -1 for a parity code outside 0..2, or an
    // errno value.
    int setSpeedParity(uint32_t speed, int parityCode);

    // The read-ahead buffer: bytes read from the device but not yet consumed.
    uint8_t* readAhead() { return ahead_; }
    int& readAheadCount() { return aheadCount_; }
    int& readAheadIndex() { return aheadIndex_; }
    int readAheadPending() const { return aheadCount_ - aheadIndex_; }
    void clearReadAhead() { aheadCount_ = aheadIndex_ = 0; }

    // DataIO: the peer has said it may receive (XOn seen, or CTS high).
    bool peerReady = false;

    const LineSettings& settings() const { return settings_; }

  private:
    std::shared_ptr<SerialDevice> device_;
    LineSettings settings_;
    int readTimeoutMs_ = 0;
    uint8_t ahead_[kReadAheadSize] = {};
    int aheadCount_ = 0;
    int aheadIndex_ = 0;
};

}  // namespace cablor
