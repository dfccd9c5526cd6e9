// Names and patterns that come from the CNC stay inside the served folder: they must not carry
// a path ("/") or a NUL, and must not be "." or "..". The name buffer of a transfer holds 256
// characters before the added "." and type; patterns get the same limit.
#pragma once

#include <cstddef>
#include <string_view>

namespace qel::remote {

inline constexpr std::size_t kMaxCncNameLength = 256;

bool leavesServedFolder(std::string_view name);

inline bool tooLongForCncName(std::string_view name) {
    return name.size() > kMaxCncNameLength;
}

}  // namespace qel::remote
