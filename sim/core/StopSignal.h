#pragma once

namespace cncsim {

// SIGINT and SIGTERM ask the simulator to end. The handler only sets a flag and writes to a
// pipe, so every blocking wait that polls wakeFd() returns at once and the program unwinds
// normally: the pty, the sockets and the symlink are closed and removed by their owners.
class StopSignal {
  public:
    // Installs the handlers (once per process).
    static void install();
    static bool requested();
    // Read end of the wake-up pipe; -1 before install().
    static int wakeFd();
    // Asks for a stop from inside the program (tests, end of a script).
    static void request();
};

}  // namespace cncsim
