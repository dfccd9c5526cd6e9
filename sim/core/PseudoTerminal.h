#pragma once

#include <filesystem>
#include <string>

#include "UniqueFd.h"

namespace cncsim {

// A pseudo-terminal the simulator talks through: the PC opens the slave path as its serial
// port. The simulator keeps a slave descriptor of its own open so that the line stays up while
// the PC opens and closes it between exchanges. An optional symlink gives the slave a stable
// name; it is removed again when the terminal is destroyed.
class PseudoTerminal {
  public:
    // Throws std::runtime_error with the reason when the terminal or the symlink cannot be made.
    explicit PseudoTerminal(const std::filesystem::path& symlink = {});
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }
    // Waits until the PC has read everything sent to it (at most timeoutMs), so that closing
    // the terminal does not throw away the end of a tape.
    void waitUntilDrained(int timeoutMs) const;

  private:
    UniqueFd master_;
    UniqueFd slaveHold_;
    std::string slavePath_;
    std::filesystem::path symlink_;
};

// Opens an existing serial device raw, 8 data bits, no parity, at the given speed.
// Throws std::runtime_error naming the device when it cannot.
UniqueFd openSerialDevice(const std::string& path, int baud);

}  // namespace cncsim
