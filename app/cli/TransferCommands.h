// qel's transfer commands:
//     receive [--as NEWNAME] [--yes-all | --no-replace] NAME...   CNC memories into the current
//     folder send    [--as NEWNAME] [--yes-all | --no-replace] FILE...   files of the current
//     folder btr     FILE...                                             behind-tape-reader sending
// Each completed file is named on out, one line each; failures go to err. Exit status: 0 done,
// 1 something failed.
#pragma once

#include "client/QelComC.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace qel {

bool isTransferCommand(const std::string& command);

// Checks a command's words before any connection is made; empty when they are fine, else the
// usage problem in one line.
std::string checkTransferCommandWords(const std::string& command,
                                      const std::vector<std::string>& words);

// Runs a command whose words passed the check, in the current folder. options: the
// configuration's option word (0 without a configuration).
int runTransferCommand(CncClient& client, const LinkSettings& link, uint8_t options,
                       const std::string& command, const std::vector<std::string>& words,
                       std::ostream& out, std::ostream& err);

}  // namespace qel
