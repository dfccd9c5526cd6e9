#include "remote/WildcardPattern.h"

namespace qel::remote {

namespace {

char folded(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Glob matching with one remembered "*": on a mismatch the last star takes one more character.
bool globMatches(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0;
    size_t starAt = std::string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || folded(pattern[p]) == folded(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (folded(a[i]) != folded(b[i])) return false;
    }
    return true;
}

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    if (pattern.empty() || name.empty()) return false;
    const bool withoutExtension = name.find('.') == std::string_view::npos;
    if (pattern.ends_with(".*")) {
        return globMatches(pattern, name) ||
               (withoutExtension && globMatches(pattern.substr(0, pattern.size() - 2), name));
    }
    if (pattern.ends_with('.')) {
        return withoutExtension && globMatches(pattern.substr(0, pattern.size() - 1), name);
    }
    return globMatches(pattern, name);
}

}  // namespace qel::remote
