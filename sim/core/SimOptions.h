#pragma once

#include <string>
#include <variant>
#include <vector>

#include "CncMachine.h"
#include "DataIoTape.h"
#include "FaultPlan.h"
#include "RefusalTable.h"
#include "Rxa2Link.h"
#include "TcpEndpoint.h"

namespace cncsim {

enum class LineKind { TcpListen, TcpConnect, Pty, Serial };
enum class Role { Machine, Remote, Punch, Reader };

// Everything the command line sets.
struct SimOptions {
    LineKind line = LineKind::TcpListen;
    TcpAddress tcp;
    std::string linkPath;  // --link: symlink to the pty slave
    std::string device;    // --serial
    int baud = 0;
    int latencyMs = 0;  // --latency: bytes held as a USB adapter holds them
    Role role = Role::Machine;
    std::string storeDir;  // empty: a fresh temporary folder
    std::string loadDir;   // memories copied into the store at start
    MachineOptions machine;
    RefusalTable refusals;
    Rxa2Settings rxa2;
    TapeOptions tape;
    FaultOptions faults;
    std::vector<std::string> commands;  // remote mode
    int connectWaitMs = 5000;
    bool once = false;
    bool quiet = false;
};

struct ShowHelp {};
struct UsageError {
    std::string message;
};

std::variant<SimOptions, ShowHelp, UsageError> parseOptions(const std::vector<std::string>& args);
const char* helpText();

}  // namespace cncsim
