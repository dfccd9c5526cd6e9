#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cncsim {

// A memory as a telegram addresses it: the two-letter code, then the memory type, then the
// name ("PTPMPROG1"). An empty name addresses the whole memory type.
struct MemoryAddress {
    std::string code;
    std::string type;        // upper case
    std::string typeAsSent;  // as the telegram wrote it
    std::string name;
    bool wholeType() const { return name.empty(); }
    // NAME.TYPE, or TYPE alone for a whole type.
    std::string display() const { return wholeType() ? type : name + "." + type; }
};

// Nullopt when the telegram is too short to hold code and type.
std::optional<MemoryAddress> parseAddress(std::string_view telegram);

// Splits NAME.TYPE at its last point; nullopt when there is no point.
std::optional<MemoryAddress> parseFileName(std::string_view fileName);

}  // namespace cncsim
