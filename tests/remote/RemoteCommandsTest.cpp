// The command table and the commands on the served folder as a whole, one telegram at a time.
#include "RemoteCommandsFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <ctime>
#include <limits>

namespace qel::remote {
namespace {

using Texts = std::vector<std::string>;
using RemoteCommands = testing::RemoteCommandsFixture;

std::string directoryRequest(const std::string& pattern, int entry) {
    std::string telegram = "MPDR" + pattern;
    telegram.resize(17, ' ');
    return telegram + "D  " + std::to_string(entry);
}

std::string lockRequest(const std::string& pattern, char sign) {
    std::string telegram = "MPAT" + pattern;
    telegram.resize(18, ' ');
    return telegram + sign;
}

TEST_F(RemoteCommands, AnswersAndLogsEveryCommandOfTheTable) {
    struct Case {
        std::string telegram;
        Texts replies;
        Texts log;
    };
    const std::vector<Case> cases = {
        {"M DIhello operator", {"M OK"}, {"QEL: hello operator"}},
        {"M VN", {"R VNSxxxx_V4xx QEL Veva"}, {"Connected to CNC: QEL"}},
        {"MPINLathe 7", {"M OKRemote Mode QEL 4.10 Veva"}, {"Connected to CNC: Lathe 7"}},
        {"M ERwhat?", {}, {"CNC reports an invalid command."}},
        {"MPFMC:", {"M NR5"}, {"Format request from CNC denied."}},
        {"PX", {"M NR3"}, {}},
        {"PQPMABC", {"M NR3"}, {}},
        {"LX", {"M NR3"}, {}},
        {"L", {"M NR3"}, {}},
        {"QQQQ", {"M NR3"}, {}},
        {"", {"M NR3"}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(perform(c.telegram), c.replies) << c.telegram;
        EXPECT_EQ(logged(), c.log) << c.telegram;
    }
}

TEST_F(RemoteCommands, RefusesFormattingBeforeItLogsTheRefusal) {
    std::string logWhenSent;
    cnc.onSent = [&](const std::string&) { logWhenSent = display.logText(); };
    performRemoteCommand(session, "MPFM");
    EXPECT_EQ(logWhenSent, "Remote mode started.");  // nothing logged yet
    EXPECT_EQ(logged().size(), 1u);
    EXPECT_EQ(cnc.sent(), Texts{"M NR5"});
}

TEST_F(RemoteCommands, ReportsFreeSpaceCappedAt32BitsAndTheLastValueWhenAskingFails) {
    struct statvfs facts {};
    ASSERT_EQ(::statvfs(served.c_str(), &facts), 0);
    const uint64_t free = static_cast<uint64_t>(facts.f_bavail) * facts.f_frsize;
    const std::string expected =
        std::to_string(std::min<uint64_t>(free, std::numeric_limits<uint32_t>::max()));
    EXPECT_EQ(replyTo("M FR"), "R FR" + expected);
    EXPECT_EQ(replyTo("MPFR"), "M OK" + expected);
    EXPECT_TRUE(logged().empty());

    session.folder = ServedFolder();  // the file system can no longer be asked
    EXPECT_EQ(replyTo("MPFR"), "M OK" + expected);
    EXPECT_EQ(logged(), Texts{"Failed to retrieve free disk space."});
    RemoteSession fresh(link, display, abortRequested, [this] { return chosenFolder; });
    performRemoteCommand(fresh, "M FR");
    EXPECT_EQ(cnc.sent().back(), "R FR0");
}

// Splits a listing reply "M OK<number> <name> <size> <year> <month> <day> <hour> <minute> L<c>".
Texts fieldsOf(const std::string& reply) {
    Texts fields;
    std::istringstream words(reply.substr(4));
    for (std::string word; words >> word;) fields.push_back(word);
    return fields;
}

TEST_F(RemoteCommands, DirectoryIsReadEntryByEntryWithoutFoldersUntilNoSuchEntry) {
    put("b.pm", "12345");
    put("A.PM", std::string(1234, 'a'));
    testing::makeReadOnly(served / "A.PM");
    put("x.txt", "x");
    std::filesystem::create_directory(served / "SUB.PM");

    const Texts first = fieldsOf(replyTo(directoryRequest("*.PM", 0)));
    ASSERT_EQ(first.size(), 9u);
    EXPECT_EQ((Texts{first[0], first[1], first[2], first[8]}), (Texts{"0", "A.PM", "1234", "L+"}));
    // Made just now: this year, counted from 2000.
    const time_t now = ::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    EXPECT_EQ(first[3], std::to_string(local.tm_year + 1900 - 2000));
    EXPECT_EQ(first[4], std::to_string(local.tm_mon + 1));

    const Texts second = fieldsOf(replyTo(directoryRequest("*.PM", 1)));
    ASSERT_EQ(second.size(), 9u);
    EXPECT_EQ((Texts{second[0], second[1], second[2], second[8]}), (Texts{"1", "B.PM", "5", "L-"}));
    EXPECT_EQ(replyTo(directoryRequest("*.PM", 2)), "M NR13");
    EXPECT_EQ(replyTo(directoryRequest("*.PM", -1)), "M NR13");
    EXPECT_EQ(replyTo(directoryRequest("*.PM", 2147483647)), "M NR13");
    EXPECT_EQ(replyTo(directoryRequest("SUB.*", 0)), "M NR13");  // only a folder matches
    EXPECT_TRUE(logged().empty());
}

// The folder's modification time, set by hand: the listing kept between requests is trusted
// only while that time stays.
void setModified(const std::filesystem::path& folder, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
}

TEST_F(RemoteCommands, TheListingIsKeptBetweenRequestsUntilFolderPatternOrContentsChange) {
    put("A.PM", "a");
    put("B.PM", "b");
    setModified(served, 1'000'000'000);
    EXPECT_EQ(fieldsOf(replyTo(directoryRequest("*.PM", 0))).at(1), "A.PM");
    // A file slipped in without the folder's time moving: the kept listing does not know it ...
    put("AA.PM", "aa");
    setModified(served, 1'000'000'000);
    EXPECT_EQ(fieldsOf(replyTo(directoryRequest("*.PM", 1))).at(1), "B.PM");
    // ... but a file's own facts are read at every request.
    put("B.PM", "bigger");
    setModified(served, 1'000'000'000);
    EXPECT_EQ(fieldsOf(replyTo(directoryRequest("*.PM", 1))).at(2), "6");
    // Another pattern reads the folder again.
    EXPECT_EQ(fieldsOf(replyTo(directoryRequest("A*.PM", 1))).at(1), "AA.PM");
    // So does a change of the folder.
    std::filesystem::remove(served / "AA.PM");
    EXPECT_EQ(replyTo(directoryRequest("A*.PM", 1)), "M NR13");
    put("C.PM", "c");
    EXPECT_EQ(fieldsOf(replyTo(directoryRequest("*.PM", 2))).at(1), "C.PM");
}

TEST_F(RemoteCommands, DirectoryRequestSeesDWhereTheCncWroteIAtPosition17) {
    put("ABCDEFGHIJKLMD", "d");
    const std::string telegram = "MPDRABCDEFGHIJKLMI";  // the pattern reaches position 17
    EXPECT_EQ(fieldsOf(replyTo(telegram)).at(1), "ABCDEFGHIJKLMD");
    // A telegram that ends before the entry number asks for entry 0.
    EXPECT_EQ(fieldsOf(replyTo("MPDR*.*")).at(0), "0");
}

TEST_F(RemoteCommands, DirectoryRequestMakesTheBrowsedFolderTheOneTheCommandsUse) {
    const std::filesystem::path other = parent / "other";
    std::filesystem::create_directory(other);
    testing::writeFile(other / "ONLY.PM", "there");
    put("HERE.PM", "here");
    chosenFolder = other.string();                  // Browse
    EXPECT_EQ(perform("PTPMONLY"), Texts{"M NR"});  // not yet
    EXPECT_EQ(fieldsOf(replyTo(directoryRequest("*.PM", 0))).at(1), "ONLY.PM");
    EXPECT_EQ(perform("PTPMONLY", {"T NB", "T NB", "M OK"}), (Texts{"M RT", "R PMthere", "T FD"}));
    EXPECT_EQ(replyTo("MPCLHERE.PM"), "M NR13");
}

TEST_F(RemoteCommands, AServedFolderThatIsGoneIsRefusedWithItsReasonInTheLog) {
    put("HERE.PM", "here");
    const std::filesystem::path other = parent / "other";
    std::filesystem::create_directory(other);
    chosenFolder = other.string();  // Browse, and the folder is deleted before the CNC asks
    std::filesystem::remove(other);
    EXPECT_EQ(replyTo(directoryRequest("*.PM", 0)), "M NR13");  // not the old folder's files
    EXPECT_EQ(logged(), Texts{"The served folder '" + other.string() +
                              "' cannot be opened: No such file or directory."});
}

TEST_F(RemoteCommands, DeleteRemovesMatchingFilesButNotFoldersAndReportsALockedOne) {
    put("A.PM", "a");
    testing::makeReadOnly(served / "A.PM");
    put("B.PM", "b");
    put("C.TO", "c");
    std::filesystem::create_directory(served / "SUB.PM");
    EXPECT_EQ(replyTo("MPCL*.PM"), "M NR47");  // stays so after the later success
    EXPECT_EQ(logged(),
              (Texts{"Unable to remove the file 'A.PM'.", "The file 'B.PM' has been removed."}));
    EXPECT_EQ(testing::namesIn(served), (Texts{"A.PM", "C.TO", "SUB.PM"}));
    EXPECT_EQ(replyTo("MPCLc.to"), "M OK");
    EXPECT_EQ(replyTo("MPCLSUB.PM"), "M OK");
    EXPECT_EQ(replyTo("MPCL*.XX"), "M NR13");
    EXPECT_EQ(logged(), Texts{"No files found to delete. (*.XX)"});
}

TEST_F(RemoteCommands, LockSetsOrClearsReadOnlyAndTheReplyTellsTheLastFile) {
    put("A.PM", "a");
    put("B.PM", "b");
    EXPECT_EQ(replyTo(lockRequest("*.PM", '+')), "M OK");
    EXPECT_TRUE(testing::isReadOnly(served / "A.PM"));
    EXPECT_TRUE(testing::isReadOnly(served / "B.PM"));
    EXPECT_EQ(logged(), (Texts{"The file 'A.PM' has been locked (Read Only).",
                               "The file 'B.PM' has been locked (Read Only)."}));
    EXPECT_EQ(replyTo(lockRequest("A.PM", '-')), "M OK");
    EXPECT_FALSE(testing::isReadOnly(served / "A.PM"));
    EXPECT_EQ(logged(), Texts{"The file 'A.PM' has been unlocked."});
    EXPECT_EQ(replyTo("MPATB.PM"), "M OK");  // no sign: lock
    EXPECT_TRUE(testing::isReadOnly(served / "B.PM"));

    // Of two matches only one can be changed: the reply reports the last one handled.
    linkOut("C.PM");
    EXPECT_EQ(replyTo(lockRequest("?.PM", '-')), "M NR47");
    EXPECT_EQ(logged().back(),
              "The file 'C.PM' leads outside the served folder and was left alone.");
    put("D.PM", "d");
    EXPECT_EQ(replyTo(lockRequest("?.PM", '+')), "M OK");
    EXPECT_FALSE(testing::isReadOnly(outside / "SECRET.PM"));

    std::filesystem::create_directory(served / "SUB.TO");
    EXPECT_EQ(replyTo(lockRequest("*.TO", '+')), "M OK");
    EXPECT_EQ(replyTo(lockRequest("*.XX", '+')), "M NR13");
    EXPECT_EQ(logged(), Texts{"No files found to lock/unlock. (*.XX)"});
}

TEST_F(RemoteCommands, TypeListingSendsOneNamePerNextBlockRequest) {
    put("A.PM", "a");
    put("b.pm", "b");
    put("X.TO", "x");
    std::filesystem::create_directory(served / "C.PM");  // folders are listed here
    EXPECT_EQ(perform("LIPM", {"T NB", "T NB", "T NB", "T NB", "M OK"}),
              (Texts{"M RT", "DIPMA", "DIPMb", "DIPMC", "T FD"}));
    EXPECT_EQ(replyTo("LIXX"), "M NR");
}

TEST_F(RemoteCommands, TypeListingEndsEarlyWhenTheCncAsksForNoMoreNames) {
    put("A.PM", "a");
    put("B.PM", "b");
    EXPECT_EQ(perform("LIPM", {"T NB", "T BD", "T NB", "M OK"}),
              (Texts{"M RT", "DIPMA", "M OK", "T FD"}));
}

}  // namespace
}  // namespace qel::remote
