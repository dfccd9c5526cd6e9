// qel [CONNECTION] serve [DIR]: remote mode without a window. The CNC drives; qel serves DIR
// (default: the current folder) until SIGINT or SIGTERM, which act as the window's Exit.
#pragma once

#include "cli/QelArguments.h"
#include "client/LinkApi.h"
#include "config/ConfigRecord.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace qel {

// -i HOST:PORT as a configuration: a TCP/IP client of HOST:PORT, which remote mode turns into a
// server listening on PORT for the CNC's call.
ConfigRecord directTcpConfiguration(const DirectAddress& address);

// words: [--allow ADDRESS]... [DIR]. Remote mode serves whoever reaches the port, unless
// --allow names the addresses that may call; others are refused with a log line. With
// bindToGivenAddress (-i HOST:PORT) qel listens on HOST only, not on every network.
// Log lines go to out, one per line with the local time; the status line to standard error
// when that is a terminal. Returns 0 after a clean stop, 1 when serving could not start, 2 on
// a usage error.
int runServeCommand(const ConfigRecord& config, const std::vector<std::string>& words,
                    std::ostream& out, std::ostream& err, LinkApi& api = cablorLinkApi(),
                    bool bindToGivenAddress = false);

}  // namespace qel
