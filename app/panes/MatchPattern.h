// The wildcard matching both panes use: for a memory type's wildcards, the Select filters and
// the file icons. '?' takes any one character, '*' skips to the first character equal to the
// one after it, letters match without regard to case. There is no backtracking: "*.PM" does not
// match "A.B.PM". A name that ends early still matches when only '*' and '?' are left of the
// pattern ("AB?" matches "AB").
#pragma once

#include <string_view>

namespace qel {

// name and pattern end at their end, at a NUL or at the end character (';' in pattern lists).
bool MatchPattern(std::string_view name, std::string_view pattern, char end = '\0');

// Tries the ';'-separated patterns of list in order; true at the first that matches. An empty
// list matches nothing. Name and list are each taken up to 260 characters.
bool MatchPatternList(std::string_view name, std::string_view list);

}  // namespace qel
