// The serial port for one exchange of a handle: opened here unless the handle holds a
// reservation, closed again on every way out. While it lives, the handle knows the line so
// that a disconnect from another thread ends the exchange's unlimited waits.
#pragma once

#include <memory>

#include "Handle.h"
#include "PortTable.h"

namespace cablor {

class PortSession {
  public:
    PortSession(Handle& handle, const HandleParams& params, OpenVariant variant, int timeoutMs);
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    bool ok() const { return line_ != nullptr; }
    SerialLine& line() { return *line_; }

  private:
    // The reservation's device failed for good (or could not be opened again last time): it
    // is closed and opened anew, so that an adapter plugged back in works again at once.
    std::shared_ptr<SerialLine> retakeReservedLine(int timeoutMs);

    Handle& handle_;
    int port_;
    OpenVariant variant_;
    std::shared_ptr<SerialLine> openedHere_;  // the device this session opened, if it did
    std::shared_ptr<SerialLine> line_;
};

// The port's busy flag for one RXA/2 telegram exchange.
class BusyFlag {
  public:
    explicit BusyFlag(int port) : port_(port), taken_(PortTable::instance().takeBusy(port)) {}
    ~BusyFlag() {
        if (taken_) PortTable::instance().releaseBusy(port_);
    }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;
    bool taken() const { return taken_; }

  private:
    int port_;
    bool taken_;
};

inline int secondsToMs(int32_t seconds) {
    return seconds <= 0 ? 0 : seconds * 1000;
}

}  // namespace cablor
