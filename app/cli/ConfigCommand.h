// qel config: the named configurations of the settings file shared with the desktop program.
//     qel config list          one line per used slot, "<index> <name>", "*" after the selected
//     index qel config show [NAME]   the named (default: selected) configuration as field=value
//     lines qel config select NAME   select NAME and write the settings file
// Only select writes. A missing or damaged file gives the reset message on err and the
// built-in list, as in the desktop program.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qel {

// args are the words after "config". Returns 0 on success, 1 on failure (unknown name,
// settings not written), 2 on a usage error.
int runConfigCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qel
