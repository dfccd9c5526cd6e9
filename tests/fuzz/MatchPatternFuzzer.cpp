// A name and a pattern into the panes' wildcard matcher. It has no backtracking, so it may miss
// a match that a full glob finds, but every match it finds must be a glob match of the name by
// the pattern, except that '*' and '?' left over when the name has ended match nothing. A
// pattern without wildcards matches its own text in any case; a list of one pattern matches as
// that pattern does.
//
// Input: byte 0 the pattern's length (what is there of it), then the pattern, then the name.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "panes/MatchPattern.h"

using qel::MatchPattern;
using qel::MatchPatternList;

namespace {

constexpr size_t kLongest = 300;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// matched[j] after each pattern character: the pattern so far matches the name's first j
// characters. True when some prefix of the pattern matches the whole name and the rest of
// the pattern is only '*' and '?'.
bool globWithLeftOvers(std::string_view pattern, std::string_view name) {
    std::vector<char> matched(name.size() + 1, 0), next(name.size() + 1, 0);
    matched[0] = 1;
    for (size_t i = 0;; ++i) {
        if (matched[name.size()] != 0 &&
            pattern.substr(i).find_first_not_of("*?") == std::string_view::npos) {
            return true;
        }
        if (i == pattern.size()) return false;
        const char p = pattern[i];
        std::fill(next.begin(), next.end(), 0);
        for (size_t j = 0; j <= name.size(); ++j) {
            if (p == '*') {
                next[j] = matched[j] || (j > 0 && next[j - 1]);
            } else if (j > 0) {
                next[j] = matched[j - 1] && (p == '?' || sameLetter(p, name[j - 1]));
            }
        }
        matched.swap(next);
    }
}

// Where a text ends for the matcher: at a NUL or at ';'.
std::string_view upToEnd(std::string_view text, char end) {
    return text.substr(0, std::min(text.find('\0'), text.find(end)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view pattern = rest.substr(0, std::min<size_t>(data[0], rest.size()));
    const std::string_view name = rest.substr(pattern.size()).substr(0, kLongest);

    const bool matches = MatchPattern(name, pattern);
    const std::string_view shownName = upToEnd(name, '\0');
    const std::string_view shownPattern = upToEnd(pattern, '\0');
    if (matches && !globWithLeftOvers(shownPattern, shownName)) std::abort();
    if (shownPattern.find_first_of("*?") == std::string_view::npos) {
        const bool equal =
            shownPattern.size() == shownName.size() &&
            std::equal(shownPattern.begin(), shownPattern.end(), shownName.begin(),
                       [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
        if (matches != equal) std::abort();
    }
    // A list of one pattern, for texts that neither end early nor hold a separator.
    if (!pattern.empty() && pattern.size() <= 260 && name.size() <= 260 &&
        pattern.find_first_of(std::string_view(";\0", 2)) == std::string_view::npos &&
        name.find_first_of(std::string_view(";\0", 2)) == std::string_view::npos &&
        MatchPatternList(name, pattern) != matches) {
        std::abort();
    }
    return 0;
}
