// The serial-device interface under the link protocols: one open COM device. Two
// implementations: TermiosDevice (a real tty or pseudo-terminal) and SimulatedDevice (tests:
// scripted input, injected line errors, recorded output and modem lines).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace cablor {

// Parity as the port record stores it: the platform's numbering.
enum class Parity : uint32_t { None = 0, Odd = 1, Even = 2 };

// Line modes are the serial link types.
enum class LineMode : uint32_t { Rxa2 = 0, DataIoRtsCts = 1, DataIoXonXoff = 2, DataIoCts = 6 };

struct LineSettings {
    uint32_t speed = 9600;
    Parity parity = Parity::None;
    uint32_t dataBits = 8;
    uint32_t stopBits = 0;  // 0 = one stop bit
    LineMode mode = LineMode::Rxa2;
};

// Errors the line reported since the last status query (cleared by the query).
struct LineErrors {
    bool parity = false;
    bool framing = false;
    bool overrun = false;
    bool brk = false;
    bool any() const { return parity || framing || overrun || brk; }
};

// What a device may be asked to wait for in waitEvent().
enum DeviceEvent : unsigned {
    kEventCharacter = 1u << 0,  // any byte arrived
    kEventCtsChange = 1u << 1,
    kEventLineError = 1u << 2,
};

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;

    // Programs speed, parity, data and stop bits and the line mode's modem lines and NUL
    // discarding. Returns 0 or an errno value.
    virtual int applySettings(const LineSettings& settings) = 0;

    // The line errors seen since the last query (then cleared) and the number of bytes
    // waiting. False when the device has failed.
    virtual bool queryStatus(LineErrors* errors, int* inputCount) = 0;

    // Reads up to max bytes. Waits at most timeoutMs for the first byte: 0 returns at once
    // with what is there, a negative value waits without limit. Returns the count read, 0 on
    // time-out, -1 on device failure or when cancel() was called.
    virtual int read(uint8_t* buffer, int max, int timeoutMs) = 0;

    // Writes all bytes. False on device failure.
    virtual bool write(const uint8_t* bytes, int count) = 0;

    virtual bool getCts(bool* cts) = 0;
    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;

    // Waits without limit for one of the DeviceEvent bits. False on failure or cancel().
    virtual bool waitEvent(unsigned mask) = 0;

    // Drops everything the driver has received but not yet delivered.
    virtual void purgeInput() = 0;

    // Pauses for a number of milliseconds (send delay, probe pauses). The simulated device
    // records the pause instead of sleeping, so tests check order and count, not wall time.
    virtual void pause(int ms);

    // Ends every wait of this device at once, now and later (handle disconnected, library
    // unloading). Safe to call from any thread.
    virtual void cancel() = 0;

    // True once the device has failed for good (a USB adapter pulled out, a hung-up tty):
    // every later call fails too, and only opening the device anew can help.
    virtual bool gone() { return false; }
};

// Why the last device open failed: the path and errno, so that the operator can be told
// which device could not be opened and why.
struct DeviceOpenFailure {
    std::string path;
    int error = 0;  // errno; EBUSY when another program holds the device
};

// Opens COM port n (1..4). Returns null on failure and fills *failure.
using DeviceOpener =
    std::function<std::unique_ptr<SerialDevice>(int port, DeviceOpenFailure* failure)>;

}  // namespace cablor
