// The qel commands that talk to the CNC: list, free, message, delete. Each writes only the
// requested data on out and one line per failure on err, and returns the exit status
// (0 done, 1 something failed).
#pragma once

#include "client/QelComC.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace qel {

// Checks a command's words before any connection is made; empty when they are fine, else the
// usage problem in one line.
std::string checkCncCommandWords(const std::string& command, const std::vector<std::string>& words);

bool isCncCommand(const std::string& command);

// Runs a command whose words passed checkCncCommandWords(). link describes the connection for
// messages.
int runCncCommand(CncClient& client, const LinkSettings& link, const std::string& command,
                  const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace qel
