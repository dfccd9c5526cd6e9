// Reading the CNC's telegrams, its file name patterns, and the listing line it gets back.
#include "remote/CncNameCheck.h"
#include "remote/DirectoryListing.h"
#include "remote/RemoteCommand.h"
#include "remote/WildcardPattern.h"

#include <gtest/gtest.h>

#include <ctime>

namespace qel::remote {
namespace {

// The CNC's directory request: pattern, blanks up to position 17, then "D", the sign at 18
// and the entry number from position 20.
std::string directoryRequest(const std::string& pattern, char sign, const std::string& number) {
    std::string telegram = "MPDR" + pattern;
    telegram.resize(17, ' ');
    return telegram + "D" + sign + " " + number;
}

TEST(RemoteCommand, RecognisesTheTableByFourCharactersAndTransfersByTwo) {
    EXPECT_EQ(recogniseCommand("M DIhello"), RemoteCommand::Message);
    EXPECT_EQ(recogniseCommand("M VN"), RemoteCommand::Version);
    EXPECT_EQ(recogniseCommand("M VNextra"), RemoteCommand::Version);
    EXPECT_EQ(recogniseCommand("MPINLathe"), RemoteCommand::LogOn);
    EXPECT_EQ(recogniseCommand("M ER"), RemoteCommand::CncError);
    EXPECT_EQ(recogniseCommand("MPFMC:"), RemoteCommand::Format);
    EXPECT_EQ(recogniseCommand("M FR"), RemoteCommand::FreeSpace);
    EXPECT_EQ(recogniseCommand("MPFR"), RemoteCommand::FreeSpaceRemote);
    EXPECT_EQ(recogniseCommand("MPDR*.PM"), RemoteCommand::DirectoryEntry);
    EXPECT_EQ(recogniseCommand("MPCL*.PM"), RemoteCommand::Delete);
    EXPECT_EQ(recogniseCommand("MPAT*.PM"), RemoteCommand::Lock);
    EXPECT_EQ(recogniseCommand("PRPMABC"), RemoteCommand::ReceiveFile);
    EXPECT_EQ(recogniseCommand("PTPM"), RemoteCommand::SendFile);
    EXPECT_EQ(recogniseCommand("LIPM"), RemoteCommand::TypeListing);
    for (const char* unknown : {"", "P", "PX", "PQPM", "L", "LX", "M D", "MPXX", "m vn", "M  I"}) {
        EXPECT_EQ(recogniseCommand(unknown), RemoteCommand::Unknown) << unknown;
    }
}

TEST(RemoteCommand, DirectoryEntryNumberIsReadAtPosition20AndLoweredByAMinusAt18) {
    EXPECT_EQ(directoryEntryNumber(directoryRequest("*.PM", ' ', "0")), 0);
    EXPECT_EQ(directoryEntryNumber(directoryRequest("*.PM", ' ', "12")), 12);
    EXPECT_EQ(directoryEntryNumber(directoryRequest("*.PM", ' ', "  +7x9")), 7);
    EXPECT_EQ(directoryEntryNumber(directoryRequest("*.PM", ' ', "-3")), -3);
    EXPECT_EQ(directoryEntryNumber(directoryRequest("*.PM", '-', "1")), 0);
    EXPECT_EQ(directoryEntryNumber(directoryRequest("*.PM", '-', "0")), -1);
    EXPECT_GT(directoryEntryNumber(directoryRequest("*.PM", ' ', std::string(40, '9'))),
              2147483647LL);
    // A telegram that ends before position 20 asks for entry 0, or -1 with the minus.
    EXPECT_EQ(directoryEntryNumber("MPDR*.PM"), 0);
    EXPECT_EQ(directoryEntryNumber("MPDR*.PM         D-"), -1);
}

TEST(RemoteCommand, PatternRunsFromPosition4ToTheFirstBlank) {
    EXPECT_EQ(commandPattern(directoryRequest("P*.PM", ' ', "3")), "P*.PM");
    EXPECT_EQ(commandPattern("MPCLA.PM"), "A.PM");
    EXPECT_EQ(commandPattern("MPCL"), "");
    EXPECT_TRUE(unlockRequested("MPATA.PM         D-"));
    EXPECT_FALSE(unlockRequested("MPATA.PM         D+"));
    EXPECT_FALSE(unlockRequested("MPATA.PM"));  // no sign: lock
}

TEST(RemoteCommand, TransferNamesTheArgumentOrTheTypeWithTheTypeAsExtension) {
    EXPECT_EQ(transferFileName("PRPMABC"), "ABC.PM");
    EXPECT_EQ(transferFileName("PTPM"), "PM.PM");
    EXPECT_EQ(transferFileName("PTpmProg 1"), "Prog 1.pm");
    EXPECT_EQ(transferFileName("PT"), ".");
    EXPECT_EQ(memoryTypeOf("LITO"), "TO");
}

TEST(CncNameCheck, RefusesPathsNulAndTheDotEntries) {
    for (std::string_view hostile : {"../x", "/etc/passwd", "a/b", ".", "..", "x/"}) {
        EXPECT_TRUE(leavesServedFolder(hostile)) << hostile;
    }
    EXPECT_TRUE(leavesServedFolder(std::string_view("a\0b", 3)));
    for (std::string_view fine : {"A.PM", "...", "..PM", ".hidden", "*.*", "a b"}) {
        EXPECT_FALSE(leavesServedFolder(fine)) << fine;
    }
    EXPECT_FALSE(tooLongForCncName(std::string(256, 'a')));
    EXPECT_TRUE(tooLongForCncName(std::string(257, 'a')));
}

TEST(WildcardPattern, MatchesAsTheCncMeansItWithoutRegardToCase) {
    EXPECT_TRUE(matchesWildcard("*.PM", "prog1.pm"));
    EXPECT_TRUE(matchesWildcard("P?OG*.PM", "PROG12.PM"));
    EXPECT_FALSE(matchesWildcard("*.PM", "PROG1.PMX"));
    EXPECT_TRUE(matchesWildcard("*A*B*", "xxAyyBzz"));
    EXPECT_FALSE(matchesWildcard("*A*B", "xxAyyBzz"));
    // "NAME.*" also takes a name without extension; "NAME." takes only those.
    EXPECT_TRUE(matchesWildcard("*.*", "README"));
    EXPECT_TRUE(matchesWildcard("PROG.*", "PROG"));
    EXPECT_TRUE(matchesWildcard("*.", "README"));
    EXPECT_FALSE(matchesWildcard("*.", "A.PM"));
    EXPECT_FALSE(matchesWildcard("", "A.PM"));
    EXPECT_TRUE(equalIgnoringCase("abc.Pm", "ABC.PM"));
}

time_t localTime(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(DirectoryListing, PrintsNumberUpperCaseNameSizeDateAndLock) {
    EXPECT_EQ(listingLine(0, "prog1.pm", {1234, localTime(2000, 7, 14, 9, 5), false}),
              "0 PROG1.PM 1234 0 7 14 9 5 L-");
    EXPECT_EQ(listingLine(3, "OLD.PM", {7, localTime(1999, 12, 31, 23, 59), true}),
              "3 OLD.PM 7 99 12 31 23 59 L+");
    EXPECT_EQ(listingLine(1, "NEW.PM", {0, localTime(2026, 1, 2, 0, 0), false}),
              "1 NEW.PM 0 26 1 2 0 0 L-");
    // The size field carries the low 32 bits.
    EXPECT_EQ(listingLine(0, "BIG", {(uint64_t{1} << 32) + 5, localTime(2000, 1, 1, 0, 0), false}),
              "0 BIG 5 0 1 1 0 0 L-");
}

}  // namespace
}  // namespace qel::remote
