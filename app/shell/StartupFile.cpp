#include "shell/StartupFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <vector>

#include "base/UniqueFd.h"

namespace qel {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Takes the next value off rest. A ";" ends the line: its value and all after it are empty.
std::string nextValue(std::string_view& rest) {
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    if (rest.empty() || rest.front() == ';') {
        rest = {};
        return {};
    }
    if (rest.front() == '"') {
        rest.remove_prefix(1);
        const std::size_t close = rest.find('"');  // unterminated: the rest of the line
        std::string value(rest.substr(0, close));
        rest = close == std::string_view::npos ? std::string_view{} : rest.substr(close + 1);
        return value;
    }
    std::size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end]) && rest[end] != ';') ++end;
    std::string value(rest.substr(0, end));
    rest.remove_prefix(end);
    return value;
}

void applyLine(std::string_view line, StartupSettings& settings) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == ';') return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view keyword = trimBlanks(line.substr(0, equals));
    std::string_view rest = line.substr(equals + 1);
    if (sameWord(keyword, "Connect")) {
        settings.ipAddress = nextValue(rest);
        settings.portNumber = decimalPrefix(nextValue(rest));
    } else if (sameWord(keyword, "Caption")) {
        settings.caption = nextValue(rest);
    }
}

}  // namespace

unsigned decimalPrefix(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > std::numeric_limits<unsigned>::max())
            return std::numeric_limits<unsigned>::max();
    }
    return static_cast<unsigned>(value);
}

void parseStartupText(std::string_view text, StartupSettings& settings) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        applyLine(text.substr(0, end), settings);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

int readStartupFile(const std::string& path, StartupSettings& settings) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return errno;
    std::vector<char> text(kStartupFileLimit);
    std::size_t have = 0;
    int error = 0;
    while (have < text.size()) {
        const ssize_t got = ::read(fd.get(), text.data() + have, text.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    if (error != 0) return error;
    parseStartupText(std::string_view(text.data(), have), settings);
    return 0;
}

}  // namespace qel
