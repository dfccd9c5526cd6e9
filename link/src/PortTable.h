// The process-wide table of the five COM port records. A connect only registers its port; the
// device is opened for each exchange, or for as long as a handle holds a reservation, so that
// other programs can use the port in between.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "SerialDevice.h"
#include "SerialLine.h"

namespace cablor {

inline constexpr int kPortCount = 5;  // index 0 has no device; 1..4 are COM1..COM4

enum class OpenResult { Ok, NotRegistered, Busy, DeviceFailed };

// How an open device is used: RXA/2 telegrams (busy taken per exchange) or DataIO (busy held
// while the device is open).
enum class OpenVariant { Rxa2, DataIo };

struct PortRecord {
    std::shared_ptr<SerialLine> line;  // the open device with its read-ahead buffer
    std::string deviceName = "None";
    uint32_t speed = 0;
    Parity parity = Parity::None;
    uint32_t stopBits = 0;
    uint32_t dataBits = 8;
    LineMode lineMode = LineMode::Rxa2;
    bool exclusive = false;
    std::atomic<int> users{0};  // changed under the record lock
    std::atomic<bool> busy{false};
    std::atomic<bool> recordLock{false};
    std::atomic<bool> open{false};
    std::mutex lineMutex;  // guards `line` itself against a concurrent close
};

class PortTable {
  public:
    static PortTable& instance();
    static void destroy();  // library unload

    // Registers a port for a line mode. speed 0 detects the CNC's speed (and parity); on
    // success *speed and *parityCode hold what is in use. Fails when the port is exclusive,
    // registered for another line mode, or the device cannot be opened and programmed.
    bool registerPort(int port, uint32_t* speed, int* parityCode, LineMode mode, bool exclusive);
    void unregisterPort(int port);

    // Opens the device; *opened identifies this open for closeAfterExchange.
    OpenResult openForExchange(int port, int timeoutMs, OpenVariant variant,
                               std::shared_ptr<SerialLine>* opened);
    // Closes the device if it is still the one `opened` names: an exchange that outlived its
    // handle's disconnect must not close what a later user of the port opened.
    void closeAfterExchange(int port, OpenVariant variant,
                            const std::shared_ptr<SerialLine>& opened);

    // The open line, or null. The shared pointer keeps it alive for the caller's exchange.
    std::shared_ptr<SerialLine> line(int port);

    // One exchange at a time on an open device.
    bool takeBusy(int port);
    void releaseBusy(int port);

    // Read-only view for tests and diagnostics.
    const PortRecord& record(int port) const { return records_[port]; }

    // Tests hand in a simulated device; null restores the tty opener.
    void setDeviceOpener(DeviceOpener opener);

    // Why the most recent device open failed (path and errno).
    DeviceOpenFailure lastOpenFailure();

  private:
    PortTable();
    bool lockRecord(PortRecord& record);
    std::unique_ptr<SerialDevice> openDevice(int port);
    std::shared_ptr<SerialLine> openLine(int port, const LineSettings& settings, int timeoutMs);
    bool detectSpeed(int port, LineSettings* settings);

    PortRecord records_[kPortCount];
    std::mutex openerMutex_;
    DeviceOpener opener_;
    DeviceOpenFailure lastFailure_;
};

}  // namespace cablor
