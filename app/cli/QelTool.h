// The qel command-line tool: parses the command line, connects as asked and runs the command.
#pragma once

#include "client/LinkApi.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace qel {

// args are argv[1..]. Returns the exit status: 0 done, 1 something failed, 2 usage error.
int runQel(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           LinkApi& api = cablorLinkApi());

}  // namespace qel
