// The wildcard rules of both panes, by table: no backtracking, an early end of the name, case,
// the end character, and pattern lists.
#include "panes/MatchPattern.h"

#include <gtest/gtest.h>

#include <string>

namespace qel {
namespace {

struct PatternCase {
    const char* name;
    const char* pattern;
    bool matches;
};

TEST(MatchPattern, FollowsItsRulesWithoutBacktracking) {
    const PatternCase cases[] = {
        {"XPM", "*PM", true},
        {"xpm", "*PM", true},
        {"A.B.PM", "*.PM", false},  // the first '.' is taken, and there is no going back
        {"A.PM", "*.PM", true},
        {"A", "A?", true},  // the name ended: '?' and '*' may be left over
        {"AB", "AB?", true},
        {"AB", "AB*?", true},
        {"AB", "AB?C", false},
        {"ABC", "AB", false},  // the pattern ended first
        {"AB", "AB", true},
        {"ab", "AB", true},
        {"1000.PM", "1*.PM", true},
        {"2000.PM", "1*.PM", false},
        {"PROG.PM", "*", true},
        {"PROG.PM", "*X", false},  // the character after '*' is not in the name
        {"", "", true},
        {"", "*", true},
        {"A", "", false},
        {"A1B", "A?B", true},
    };
    for (const PatternCase& test : cases) {
        EXPECT_EQ(MatchPattern(test.name, test.pattern), test.matches)
            << test.name << " against " << test.pattern;
    }
}

TEST(MatchPattern, BothTextsEndAtTheEndCharacterOrANul) {
    EXPECT_TRUE(MatchPattern("AB;CD", "AB;XY", ';'));
    EXPECT_FALSE(MatchPattern("AB;CD", "AB;XY"));
    EXPECT_TRUE(MatchPattern(std::string("AB\0CD", 5), "AB"));
}

TEST(MatchPatternList, TriesThePatternsInOrderAndAnEmptyListMatchesNothing) {
    EXPECT_TRUE(MatchPatternList("A.PM", "*.MP;*.PM"));
    EXPECT_TRUE(MatchPatternList("A.MP", "*.MP;*.PM"));
    EXPECT_FALSE(MatchPatternList("A.TX", "*.MP;*.PM"));
    EXPECT_FALSE(MatchPatternList("A.PM", ""));
    EXPECT_TRUE(MatchPatternList("A.PM", "*.*"));
    // Each is taken up to 260 characters: what lies beyond cannot decide.
    const std::string longName = std::string(260, 'A') + ".PM";
    EXPECT_FALSE(MatchPatternList(longName, "*.PM"));
    EXPECT_TRUE(MatchPatternList(longName, "A*"));
}

}  // namespace
}  // namespace qel
