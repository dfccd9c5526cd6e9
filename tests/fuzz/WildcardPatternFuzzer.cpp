// A pattern and a name from the CNC into the wildcard matcher of remote mode, compared with a
// plain table-filling matcher of the same rules: "*" any run of characters, "?" any one, ASCII
// letters without regard to case; "NAME.*" also takes a name without an extension (no dot),
// "NAME." only such a name; an empty pattern or name matches nothing.
//
// Input: byte 0 the pattern's length (what is there of it), then the pattern, then the name.
#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "remote/WildcardPattern.h"

using qel::remote::equalIgnoringCase;
using qel::remote::matchesWildcard;

namespace {

// CNC names and patterns are at most 256 characters; the table stays small.
constexpr size_t kLongest = 300;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// matched[j]: the pattern so far matches the first j characters of the name.
bool globByTable(std::string_view pattern, std::string_view name) {
    std::vector<char> matched(name.size() + 1, 0), next(name.size() + 1, 0);
    matched[0] = 1;
    for (char p : pattern) {
        std::fill(next.begin(), next.end(), 0);
        for (size_t j = 0; j <= name.size(); ++j) {
            if (p == '*') {
                next[j] = matched[j] || (j > 0 && next[j - 1]);
            } else if (j > 0) {
                next[j] = matched[j - 1] && (p == '?' || lowerAscii(p) == lowerAscii(name[j - 1]));
            }
        }
        matched.swap(next);
    }
    return matched[name.size()] != 0;
}

bool reference(std::string_view pattern, std::string_view name) {
    if (pattern.empty() || name.empty()) return false;
    const bool withoutExtension = name.find('.') == std::string_view::npos;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        return globByTable(pattern, name) ||
               (withoutExtension && globByTable(pattern.substr(0, pattern.size() - 2), name));
    }
    if (pattern.back() == '.') {
        return withoutExtension && globByTable(pattern.substr(0, pattern.size() - 1), name);
    }
    return globByTable(pattern, name);
}

bool equalByLowering(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view pattern = rest.substr(0, std::min<size_t>(data[0], rest.size()));
    const std::string_view name = rest.substr(pattern.size()).substr(0, kLongest);

    if (matchesWildcard(pattern, name) != reference(pattern, name)) std::abort();
    if (equalIgnoringCase(pattern, name) != equalByLowering(pattern, name)) std::abort();
    // Case never decides a match.
    if (equalIgnoringCase(pattern, name) &&
        matchesWildcard(pattern, pattern) != matchesWildcard(pattern, name)) {
        std::abort();
    }
    return 0;
}
