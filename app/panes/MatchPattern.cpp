#include "panes/MatchPattern.h"

#include <algorithm>
#include <cctype>

namespace qel {

namespace {
constexpr size_t kLongestText = 260;

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Where a text ends: at its end, a NUL or the end character.
size_t lengthUpTo(std::string_view text, char end) {
    size_t length = 0;
    while (length < text.size() && text[length] != '\0' && text[length] != end) ++length;
    return length;
}
}  // namespace

bool MatchPattern(std::string_view name, std::string_view pattern, char end) {
    name = name.substr(0, lengthUpTo(name, end));
    pattern = pattern.substr(0, lengthUpTo(pattern, end));
    size_t n = 0;
    size_t p = 0;
    while (p < pattern.size()) {
        if (n == name.size()) {
            // The name ended first: only '*' and '?' may be left of the pattern.
            for (; p < pattern.size(); ++p) {
                if (pattern[p] != '*' && pattern[p] != '?') return false;
            }
            return true;
        }
        const char wanted = pattern[p];
        if (wanted == '*') {
            ++p;
            if (p == pattern.size()) return true;  // a trailing '*' takes the rest of the name
            // Skip to the first character equal to the one after the '*'; no backtracking.
            while (n < name.size() && !sameLetter(name[n], pattern[p])) ++n;
            if (n == name.size()) return false;  // not found
            continue;
        }
        if (wanted != '?' && !sameLetter(wanted, name[n])) return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

bool MatchPatternList(std::string_view name, std::string_view list) {
    name = name.substr(0, kLongestText);
    list = list.substr(0, kLongestText);
    if (list.empty()) return false;
    // The patterns of the list, each ended by ';' (the last by the list's end).
    size_t start = 0;
    while (start <= list.size()) {
        const size_t stop = std::min(list.find(';', start), list.size());
        if (MatchPattern(name, list.substr(start, stop - start), ';')) return true;
        start = stop + 1;
    }
    return false;
}

}  // namespace qel
