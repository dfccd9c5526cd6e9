// The start-up file named on the command line: text lines of the form
//     keyword = value [value]
// Empty lines and lines starting with ";" are skipped. A value is a text in double quotes (may
// hold blanks) or a run of characters up to a blank, tab or ";"; from a ";" on the line is a
// comment. Keywords, compared without regard to case:
//     Connect = <address> <port>
//     Caption = <text>
// Other keywords are ignored; a later line overrides an earlier one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel {

struct StartupSettings {
    std::optional<std::string> ipAddress;
    std::optional<unsigned> portNumber;
    std::optional<std::string> caption;
};

// Only this much of a start-up file is read; a real one has a few lines.
inline constexpr std::size_t kStartupFileLimit = 1 << 20;

// Applies every line of text to settings. Any bytes are accepted; lines may end in LF or
// CR LF, the last one without either.
void parseStartupText(std::string_view text, StartupSettings& settings);

// Reads the file at path into settings. Returns 0, or the errno of the failed open or read
// (settings are then untouched).
int readStartupFile(const std::string& path, StartupSettings& settings);

// The decimal number at the start of text (after blanks); 0 when there is none, and the
// largest unsigned value when it does not fit.
unsigned decimalPrefix(std::string_view text);

}  // namespace qel
