#include "TraceLog.h"

#include <cstdio>

namespace cncsim {

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (byte < 0x20 || byte > 0x7E) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

void TraceLog::line(std::string_view prefix, std::string_view text) {
    if (out_ == nullptr) return;
    *out_ << prefix << printable(text) << '\n' << std::flush;
}

}  // namespace cncsim
