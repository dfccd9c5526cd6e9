// How a CNC memory named on the PC ("PROG1.PM"; "PM.PM" or "PM" for the whole memory type) is
// addressed in a request telegram: code, type in capitals, then the name unchanged
// ("PTPMPROG1", "PTPM").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel {

// The CNC keeps memory names of at most this many characters.
inline constexpr size_t kMaxMemoryNameLength = 120;

struct MemoryAddress {
    std::string type;  // the two characters after the last dot, as written
    std::string name;  // empty when the whole memory type is meant

    bool wholeType() const { return name.empty(); }
    // Code + type in capitals + name.
    std::string telegram(std::string_view code) const;
    // Code + type + name, both unchanged.
    std::string telegramAsWritten(std::string_view code) const;
};

// Nothing for a name the CNC cannot be asked about: no dot and not a bare two-character type,
// fewer than two characters after the last dot, an empty name, or a name over 120 characters.
std::optional<MemoryAddress> parseMemoryFileName(std::string_view fileName);

std::string toUpperAscii(std::string_view text);

}  // namespace qel
