#include "RemoteClient.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ScriptedLink.h"
#include "TempStore.h"

namespace cncsim {
namespace {

using testing::ScriptedLink;
using testing::TempStore;
using Telegrams = std::vector<std::string>;

struct RemoteRun {
    bool ok = false;
    Telegrams sent;
    std::string report;
};

class RemoteClientTest : public ::testing::Test {
  protected:
    RemoteRun run(const Telegrams& commands, std::deque<std::string> fromPc,
                  FaultOptions faults = {}) {
        ScriptedLink link(std::move(fromPc), std::move(faults));
        std::ostringstream report;
        RemoteClient client(link, memories, &report, 100, 4);
        RemoteRun result;
        result.ok = client.run(commands);
        result.sent = link.sent;
        result.report = report.str();
        return result;
    }
    TempStore folder;
    MemoryStore memories{folder.path()};
};

TEST_F(RemoteClientTest, PlacesPatternAndEntryNumberWhereThePcReadsThem) {
    const std::string request = RemoteClient::directoryRequest("*.PM", 12);
    EXPECT_EQ(request.substr(0, 8), "MPDR*.PM");
    EXPECT_EQ(request[8], ' ');
    EXPECT_EQ(request[17], 'D');
    EXPECT_NE(request[18], '-');
    EXPECT_EQ(request.substr(20), "12");
    EXPECT_EQ(RemoteClient::directoryRequest("ABCDEFGH.XYZ", 0).size(), 21u);
    EXPECT_EQ(RemoteClient::directoryRequest("ABCDEFGHI.XYZ", 0), "");
    EXPECT_EQ(RemoteClient::directoryRequest("A B", 0), "");

    EXPECT_EQ(RemoteClient::lockRequest("P1.PM", false)[18], '-');
    EXPECT_EQ(RemoteClient::lockRequest("P1.PM", true)[18], '+');
    EXPECT_EQ(RemoteClient::lockRequest("P1.PM", true).substr(0, 10), "MPATP1.PM ");
}

TEST_F(RemoteClientTest, ReadsTheDirectoryEntryByEntryUntilNoSuchEntry) {
    RemoteRun result =
        run({"dir *.PM"}, {"M OK0 A.PM 10 0 7 14 9 5 L-", "M OK1 B.PM 3 0 7 14 9 6 L+", "M NR13"});
    EXPECT_TRUE(result.ok);
    ASSERT_EQ(result.sent.size(), 3u);
    EXPECT_EQ(result.sent[2].substr(20), "2");
    EXPECT_NE(result.report.find("entry: 1 B.PM 3 0 7 14 9 6 L+"), std::string::npos);
}

TEST_F(RemoteClientTest, SendsTheSimpleCommandsAndPrintsTheirReplies) {
    RemoteRun result = run({"login MILL-3", "version", "message Tool 4 worn", "free", "mpfree",
                            "format", "error", "delete *.BAK", "raw M VN"},
                           {"M OKRemote Mode", "R VNSxxxx", "M OK", "R FR100", "M OK100", "M NR5",
                            "M OK", "R VNSxxxx"});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.sent, (Telegrams{"MPINMILL-3", "M VN", "M DITool 4 worn", "M FR", "MPFR",
                                      "MPFM", "M ER", "MPCL*.BAK", "M VN"}));
    EXPECT_NE(result.report.find("reply: M NR5"), std::string::npos);
}

TEST_F(RemoteClientTest, FetchesAFileIntoTheStore) {
    RemoteRun result = run({"get PART7.PM"}, {"M RT", "R PMN10\r\n", "R PMN20\r\n", "T FD"});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.sent, (Telegrams{"PTPMPART7", "T NB", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(folder.get("PART7.PM"), "N10\r\nN20\r\n");
}

TEST_F(RemoteClientTest, KeepsNothingWhenThePcBreaksOffOrRefuses) {
    RemoteRun broken = run({"get PART7.PM"}, {"M RT", "R PMN10", "T BDread error"});
    EXPECT_FALSE(broken.ok);
    EXPECT_FALSE(folder.has("PART7.PM"));
    RemoteRun refused = run({"get NONE.PM"}, {"M NR"});
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.report.find("reply: M NR"), std::string::npos);
}

TEST_F(RemoteClientTest, SendsAMemoryInBlocksAndEndsWithFileDone) {
    folder.put("P.PM", "ABCDEFG");
    RemoteRun result = run({"put P.PM"}, {"M RR", "T NB", "T NB", "M OK"});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.sent, (Telegrams{"PRPMP", "R PMABCD", "R PMEFG", "T FD"}));
}

TEST_F(RemoteClientTest, BreaksOffItsOwnSendingAfterKBlocks) {
    folder.put("P.PM", "ABCDEFG");
    FaultOptions faults;
    faults.breakAfterBlocks = 1;
    RemoteRun result = run({"put P.PM"}, {"M RR", "T NB"}, faults);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.sent.back(), "T BDABORTED BY CNC");
}

TEST_F(RemoteClientTest, CollectsTheTypeListing) {
    RemoteRun result = run({"list PM"}, {"M RT", "DIPMA", "DIPMB", "T FD"});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.sent, (Telegrams{"LIPM", "T NB", "T NB", "T NB", "M OK"}));
    EXPECT_NE(result.report.find("list PM: A B"), std::string::npos);
}

TEST_F(RemoteClientTest, StopsTheScriptWhenTheLineIsLost) {
    RemoteRun result = run({"version", "free"}, {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.sent, Telegrams{"M VN"});
}

TEST_F(RemoteClientTest, RefusesUnknownCommandsAndBadArguments) {
    RemoteRun result = run({"fly", "get NODOT", "list P", "dir ABCDEFGHIJKLMN"}, {});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.sent.empty());
}

}  // namespace
}  // namespace cncsim
