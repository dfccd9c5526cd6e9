// File name patterns as the CNC writes them: "*" any run of characters, "?" any one character,
// letters compared without regard to case. "NAME.*" also takes names without an extension
// (so "*.*" takes every name), and "NAME." takes only names without one.
#pragma once

#include <string_view>

namespace qel::remote {

bool matchesWildcard(std::string_view pattern, std::string_view name);

// Equal without regard to the case of ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

}  // namespace qel::remote
