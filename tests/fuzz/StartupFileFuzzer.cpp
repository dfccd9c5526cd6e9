// Any bytes as a start-up file, into its parser. Lines may end in LF or CR LF: the settings
// are the same either way. Comment lines change nothing, and a later line overrides an
// earlier one. A value is one line's, and either quoted (no '"' in it) or a run of characters
// up to a blank, tab or ";" - never both a '"' and one of those. A port comes with every
// address; the decimal prefix of a text is the largest unsigned value when it does not fit.
#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "shell/StartupFile.h"

using qel::StartupSettings;

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

bool same(const StartupSettings& a, const StartupSettings& b) {
    return a.ipAddress == b.ipAddress && a.portNumber == b.portNumber && a.caption == b.caption;
}

StartupSettings parsed(std::string_view text) {
    StartupSettings settings;
    qel::parseStartupText(text, settings);
    return settings;
}

void checkValue(const std::optional<std::string>& value) {
    if (!value) return;
    check(value->find('\n') == std::string::npos);
    const bool quoteInside = value->find('"') != std::string::npos;
    const bool stopInside = value->find_first_of(" \t;") != std::string::npos;
    check(!(quoteInside && stopInside));
}

// Every LF that has no CR before it gets one.
std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

unsigned decimalPrefixByCharconv(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) return std::numeric_limits<unsigned>::max();
    return error == std::errc() ? value : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const StartupSettings settings = parsed(text);
    checkValue(settings.ipAddress);
    checkValue(settings.caption);
    check(settings.ipAddress.has_value() == settings.portNumber.has_value());

    check(same(parsed(withCrLf(text)), settings));
    check(same(parsed("; Connect = 10.0.0.1 19001\n" + std::string(text) + "\n;Caption = x\n"),
               settings));
    if (settings.caption) {
        check(same(parsed("caption = \"earlier\"\r\n" + std::string(text)), settings));
    }
    if (settings.ipAddress) {
        check(same(parsed("CONNECT=earlier 1\n" + std::string(text)), settings));
    }

    check(qel::decimalPrefix(text) == decimalPrefixByCharconv(text));
    return 0;
}
