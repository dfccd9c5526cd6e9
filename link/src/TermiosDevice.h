// A serial device on a Linux tty (a real COM port, a USB adapter or a pseudo-terminal).
//
// Raw-mode checklist, all in open() and applySettings():
//   O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, must be a tty; TIOCEXCL plus a non-blocking
//   flock(LOCK_EX), so that a second program (root included) is refused; no canonical mode,
//   echo, signals or output processing; CLOCAL | CREAD; no driver flow control (the protocols
//   do it); INPCK | PARMRK so that parity and framing errors reach the reader as 0xFF 0x00 X
//   (a real 0xFF arrives doubled); VMIN = VTIME = 0 and every wait under poll() beside an
//   eventfd that cancel() signals; the driver asked for low latency (LowLatency.h) while open.
// Paths are opened through their symlinks (/dev/serial/by-id/...), and the lock is on the device
// itself, so two names of one adapter exclude each other.
// Pseudo-terminals have no modem lines: setting DTR/RTS is skipped there and CTS reads high.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "LowLatency.h"
#include "SerialDevice.h"

namespace cablor {

std::unique_ptr<SerialDevice> openTermiosDevice(const std::string& path, DeviceOpenFailure* failure,
                                                SerialInfoIoctl serialInfo = systemSerialInfoIoctl);

// The opener used by the port table outside tests: COM n through ports::comPortDevice(n).
std::unique_ptr<SerialDevice> openComPort(int port, DeviceOpenFailure* failure);

}  // namespace cablor
