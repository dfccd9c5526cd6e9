#include <gtest/gtest.h>

#include "MemoryStore.h"
#include "ProgramStream.h"
#include "RefusalTable.h"
#include "SimOptions.h"
#include "TempStore.h"

namespace cncsim {
namespace {

using testing::TempStore;

TEST(MemoryStoreTest, AcceptsOnlyNamesThatStayInsideTheStore) {
    EXPECT_TRUE(MemoryStore::validName("PROG1"));
    EXPECT_TRUE(MemoryStore::validName("O1234 ROUGH"));
    for (const char* bad : {"", "../x", "a/b", ".hidden", "a\\b", "x\ny"})
        EXPECT_FALSE(MemoryStore::validName(bad)) << bad;
    EXPECT_FALSE(MemoryStore::validName(std::string(121, 'a')));
    EXPECT_TRUE(MemoryStore::validType("P1"));
    EXPECT_FALSE(MemoryStore::validType("P"));
    EXPECT_FALSE(MemoryStore::validType("P/"));
}

TEST(MemoryStoreTest, ListsWritesAndRemovesMemoriesOfOneType) {
    TempStore folder;
    MemoryStore store(folder.path());
    folder.put("b.pm", "1");
    folder.put("A.PM", "22");
    folder.put("C.TO", "333");
    EXPECT_EQ(store.names("PM"), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(store.read("B", "pm").value_or("?"), "1");
    EXPECT_EQ(store.usedBytes(), 6u);
    ASSERT_TRUE(store.write("B", "PM", "new"));
    EXPECT_EQ(folder.get("b.pm"), "new");  // the existing file, whatever its case
    EXPECT_TRUE(store.remove("a", "PM"));
    EXPECT_FALSE(store.remove("a", "PM"));
    EXPECT_FALSE(store.write("../x", "PM", "no"));
}

TEST(ProgramStreamTest, JoinsUnderHeadersAndSplitsBackAtThem) {
    const std::string stream = joinPrograms("PM", {{"10", "N1\r\n"}, {"11", "%PM11\r\nN2\r\n"}});
    EXPECT_EQ(stream, "%PM10\r\nN1\r\n%PM11\r\nN2\r\n");
    auto programs = splitPrograms("PM", stream);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0], (std::pair<std::string, std::string>{"10", "%PM10\r\nN1\r\n"}));
    EXPECT_EQ(programs[1].first, "11");
    auto headless = splitPrograms("PM", "N1\nN2\n");
    ASSERT_EQ(headless.size(), 1u);
    EXPECT_EQ(headless[0].first, "PM");
}

TEST(RefusalTableTest, MatchesByOperationNameAndType) {
    RefusalTable table;
    ASSERT_TRUE(table.add("PT:A.PM=T NP"));
    ASSERT_TRUE(table.add("*.TO=M NR"));
    EXPECT_EQ(table.find("PT", "a", "pm").value_or(""), "T NP");
    EXPECT_FALSE(table.find("PR", "A", "PM"));
    EXPECT_EQ(table.find("LI", "", "TO").value_or(""), "M NR");
    EXPECT_FALSE(table.find("LI", "", "PM"));
    std::string why;
    for (const char* bad : {"A.PM", "A.PM=X", "XX:A.PM=M NR", "APM=M NR", "A.PMX=M NR"})
        EXPECT_FALSE(table.add(bad, &why)) << bad;
}

SimOptions parsed(std::vector<std::string> args) {
    auto result = parseOptions(args);
    EXPECT_TRUE(std::holds_alternative<SimOptions>(result));
    return std::holds_alternative<SimOptions>(result) ? std::get<SimOptions>(result) : SimOptions{};
}

bool isUsageError(std::vector<std::string> args) {
    return std::holds_alternative<UsageError>(parseOptions(args));
}

TEST(SimOptionsTest, DefaultsToTheMachineOnLoopbackPort19000) {
    SimOptions options = parsed({});
    EXPECT_EQ(options.line, LineKind::TcpListen);
    EXPECT_EQ(options.tcp.host, "127.0.0.1");
    EXPECT_EQ(options.tcp.port, 19000);
    EXPECT_EQ(options.role, Role::Machine);
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseOptions({"--help"})));
}

TEST(SimOptionsTest, CommandsMakeTheRemoteClientThatCallsThePc) {
    SimOptions options = parsed({"--do", "version", "--do", "dir *.PM"});
    EXPECT_EQ(options.role, Role::Remote);
    EXPECT_EQ(options.line, LineKind::TcpConnect);
    EXPECT_EQ(options.commands.size(), 2u);
}

TEST(SimOptionsTest, ReadsFaultOptions) {
    SimOptions options = parsed({"--corrupt-frame", "3,5", "--delay-ack", "2:150", "--seed", "9",
                                 "--break-after", "4", "--withhold-ack", "1"});
    EXPECT_EQ(options.faults.corruptSent, (std::set<int>{3, 5}));
    EXPECT_EQ(options.faults.delayAckMs.at(2), 150);
    EXPECT_EQ(options.faults.seed, 9u);
    EXPECT_EQ(options.faults.breakAfterBlocks, 4);
    EXPECT_TRUE(options.faults.withholdAck.contains(1));
}

TEST(SimOptionsTest, RejectsMalformedAndContradictoryOptions) {
    EXPECT_TRUE(isUsageError({"--bogus"}));
    EXPECT_TRUE(isUsageError({"--tcp-listen"}));
    EXPECT_TRUE(isUsageError({"--tcp-listen", "host:99999"}));
    EXPECT_TRUE(isUsageError({"--pty", "--tcp-listen", "0"}));
    EXPECT_TRUE(isUsageError({"--link", "/tmp/x"}));
    EXPECT_TRUE(isUsageError({"--protocol", "punch"}));
    EXPECT_TRUE(isUsageError({"--pty", "--protocol", "reader"}));
    EXPECT_TRUE(isUsageError({"--corrupt-frame", "0"}));
    EXPECT_TRUE(isUsageError({"--delay-ack", "3"}));
    EXPECT_TRUE(isUsageError({"--block-size", "2000"}));
    EXPECT_TRUE(isUsageError({"--refuse", "nonsense"}));
}

}  // namespace
}  // namespace cncsim
