#include "CncMachine.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ScriptedLink.h"
#include "TempStore.h"

namespace cncsim {
namespace {

using testing::ScriptedLink;
using testing::TempStore;
using Telegrams = std::vector<std::string>;

class CncMachineTest : public ::testing::Test {
  protected:
    // Plays the PC's telegrams to the machine and returns the machine's answers.
    Telegrams exchange(std::deque<std::string> fromPc, FaultOptions faults = {}) {
        ScriptedLink link(std::move(fromPc), std::move(faults));
        CncMachine machine(memories, refusals, options, &report);
        machine.serve(link);
        messages = machine.messages();
        return link.sent;
    }

    TempStore folder;
    MemoryStore memories{folder.path()};
    RefusalTable refusals;
    MachineOptions options;
    std::ostringstream report;
    std::vector<std::string> messages;
};

TEST_F(CncMachineTest, AnswersLoginVersionFreeMemoryAndUnknownTelegrams) {
    options.versionReply = "R VNS5TEST";
    options.capacity = 1000;
    folder.put("A.PM", std::string(300, 'x'));
    EXPECT_EQ(exchange({"M  I", "M VN", "M FR", "QQ", "M"}),
              (Telegrams{"M OK", "R VNS5TEST", "R FR700", "M ER", "M ER"}));
}

TEST_F(CncMachineTest, KeepsAndPrintsScreenMessages) {
    EXPECT_EQ(exchange({"M DIQEL inactive."}), Telegrams{"M OK"});
    EXPECT_EQ(messages, Telegrams{"QEL inactive."});
    EXPECT_NE(report.str().find("message: QEL inactive."), std::string::npos);
}

TEST_F(CncMachineTest, TransmitsAMemoryInBlocksOnEachNextBlockRequest) {
    options.blockPayload = 4;
    folder.put("PROG1.PM", "G90G0X1");
    EXPECT_EQ(exchange({"PTPMPROG1", "T NB", "T NB", "T NB", "M OK"}),
              (Telegrams{"M RT", "R PMG90G", "R PM0X1", "T FD"}));
    EXPECT_NE(report.str().find("transfer PT PROG1.PM: 7 bytes"), std::string::npos);
    EXPECT_NE(report.str().find("complete"), std::string::npos);
}

TEST_F(CncMachineTest, FindsMemoriesWhateverTheCaseOfTypeAndName) {
    folder.put("prog1.PM", "X");
    EXPECT_EQ(exchange({"PTpmPROG1", "T NB", "T NB", "M OK"}),
              (Telegrams{"M RT", "R PMX", "T FD"}));
}

TEST_F(CncMachineTest, TransmitsAnEmptyMemoryAsFileDoneAtOnce) {
    folder.put("EMPTY.PM", "");
    EXPECT_EQ(exchange({"PTPMEMPTY", "T NB", "M OK"}), (Telegrams{"M RT", "T FD"}));
}

TEST_F(CncMachineTest, TransmitsAWholeTypeUnderProgramHeaders) {
    folder.put("A.PM", "N1\r\n");
    folder.put("B.PM", "%PMB\r\nN2\r\n");
    Telegrams sent = exchange({"PTPM", "T NB", "T NB", "M OK"});
    EXPECT_EQ(sent, (Telegrams{"M RT", "R PM%PMA\r\nN1\r\n%PMB\r\nN2\r\n", "T FD"}));
}

TEST_F(CncMachineTest, AnswersNoSuchMemoryForMissingMemoriesAndTypes) {
    EXPECT_EQ(exchange({"PTPMNOPE", "PTPM", "LIPM", "MCPMNOPE"}),
              (Telegrams{"T NP", "T NP", "T NP", "T NP"}));
}

TEST_F(CncMachineTest, StopsSendingWhenThePcAbortsOrFallsSilent) {
    options.blockPayload = 1;
    folder.put("P.PM", "abc");
    EXPECT_EQ(exchange({"PTPMP", "T NB", "T BDcancel", "M VN"}),
              (Telegrams{"M RT", "R PMa", "R VNS0001_V410 cncsim"}));
    EXPECT_NE(report.str().find("aborted by the PC"), std::string::npos);
    EXPECT_EQ(exchange({"PTPMP", "T NB"}), (Telegrams{"M RT", "R PMa"}));
    EXPECT_NE(report.str().find("abandoned"), std::string::npos);
}

TEST_F(CncMachineTest, BreaksOffAnUnexpectedAnswerInsideATransfer) {
    folder.put("P.PM", "abc");
    EXPECT_EQ(exchange({"PTPMP", "M VN"}), (Telegrams{"M RT", "T BDUNEXPECTED TELEGRAM"}));
}

TEST_F(CncMachineTest, StoresWhatThePcSendsOnlyWhenTheFileIsDone) {
    EXPECT_EQ(exchange({"PRPMNEW", "R PMN10 G0\r\n", "R PMN20 M30\r\n", "T FD"}),
              (Telegrams{"M RR", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(folder.get("NEW.PM"), "N10 G0\r\nN20 M30\r\n");

    EXPECT_EQ(exchange({"PRPMHALF", "R PMN10\r\n", "T BD"}), (Telegrams{"M RR", "T NB"}));
    EXPECT_FALSE(folder.has("HALF.PM"));
    EXPECT_EQ(exchange({"PRPMCUT", "R PMN10\r\n"}), (Telegrams{"M RR", "T NB"}));
    EXPECT_FALSE(folder.has("CUT.PM"));
}

TEST_F(CncMachineTest, StoresAnEmptyMemoryAndRefusesToOverwriteAnExistingOne) {
    EXPECT_EQ(exchange({"PRPMEMPTY", "T FD"}), (Telegrams{"M RR", "M OK"}));
    EXPECT_TRUE(folder.has("EMPTY.PM"));
    folder.put("OLD.PM", "old");
    EXPECT_EQ(exchange({"PRPMOLD"}), Telegrams{"M NR"});
    EXPECT_EQ(folder.get("OLD.PM"), "old");
}

TEST_F(CncMachineTest, RefusesBlocksOfAnotherTypeAndMemoryThatDoesNotFit) {
    EXPECT_EQ(exchange({"PRPMX", "R TOdata"}), (Telegrams{"M RR", "T BDUNEXPECTED TELEGRAM"}));
    options.capacity = 10;
    EXPECT_EQ(exchange({"PRPMBIG", "R PM0123456789ABC"}), (Telegrams{"M RR", "T BDMEMORY FULL"}));
    EXPECT_FALSE(folder.has("X.PM"));
    EXPECT_FALSE(folder.has("BIG.PM"));
}

TEST_F(CncMachineTest, SplitsAWholeTypeStreamAtProgramHeaders) {
    EXPECT_EQ(exchange({"PRPM", "R PM%PM7\r\nN1\r\n%PM8\r\n", "R PMN2\r\n", "T FD"}),
              (Telegrams{"M RR", "T NB", "T NB", "M OK"}));
    EXPECT_EQ(folder.get("7.PM"), "%PM7\r\nN1\r\n");
    EXPECT_EQ(folder.get("8.PM"), "%PM8\r\nN2\r\n");
}

TEST_F(CncMachineTest, RejectsMemoryNamesThatWouldLeaveTheStore) {
    EXPECT_EQ(exchange({"PRPM../../etc/x", "PTPM../secret", "PRPM.hidden"}),
              (Telegrams{"T BDINVALID MEMORY NAME", "T BDINVALID MEMORY NAME",
                         "T BDINVALID MEMORY NAME"}));
}

TEST_F(CncMachineTest, ListsNamesCommaSeparatedWithoutCuttingAName) {
    options.blockPayload = 12;
    for (const char* name : {"AAAA", "BBBB", "CCCC", "DDDDDDDDDDDDDD"})
        folder.put(std::string(name) + ".PM", "");
    folder.put("OTHER.TO", "");
    EXPECT_EQ(exchange({"LIPM", "T NB", "T NB", "T NB", "T NB", "M OK"}),
              (Telegrams{"M RT", "R PMAAAA,BBBB", "R PMCCCC", "R PMDDDDDDDDDDDDDD", "T FD"}));
}

TEST_F(CncMachineTest, DeletesOneMemoryOrAWholeType) {
    folder.put("A.PM", "");
    folder.put("B.PM", "");
    folder.put("C.TO", "");
    EXPECT_EQ(exchange({"MCPMA", "MCPMA"}), (Telegrams{"M OK", "T NP"}));
    EXPECT_EQ(exchange({"MCPM"}), Telegrams{"M OK"});
    EXPECT_FALSE(folder.has("B.PM"));
    EXPECT_TRUE(folder.has("C.TO"));
}

TEST_F(CncMachineTest, ExecutesBehindTapeReaderBlocksAndConfirmsTheEnd) {
    EXPECT_EQ(exchange({"BRPMJOB", "R PMN10 G0\r\n", "R PMN20 M30\r\n", "T FD"}),
              (Telegrams{"M RR", "T NB", "T NB", "M OK"}));
    EXPECT_NE(report.str().find("2 blocks executed"), std::string::npos);
    EXPECT_FALSE(folder.has("JOB.PM"));
}

TEST_F(CncMachineTest, RunsOnlyPartProgramsBehindTheTapeReader) {
    EXPECT_EQ(exchange({"BRTOX", "BRpmX"}), (Telegrams{"M NR", "M NR"}));
}

TEST_F(CncMachineTest, StalledBehindTapeReaderRunWaitsForTheAbort) {
    FaultOptions faults;
    faults.btrStallAfter = 2;
    EXPECT_EQ(exchange({"BRPMJOB", "R PMN10\r\n", "R PMN20\r\n", "T BD", "M VN"}, faults),
              (Telegrams{"M RR", "T NB", "R VNS0001_V410 cncsim"}));
    EXPECT_NE(report.str().find("btr stalled after 2 blocks"), std::string::npos);
}

TEST_F(CncMachineTest, RefusesConfiguredMemoriesWithTheConfiguredReply) {
    ASSERT_TRUE(refusals.add("LOCKED.PM=T BDPROGRAM IN USE"));
    ASSERT_TRUE(refusals.add("PR:*.TO=M NR"));
    folder.put("LOCKED.PM", "x");
    EXPECT_EQ(exchange({"PTPMLOCKED", "PRPMLOCKED", "MCPMLOCKED", "PRTOT", "PTTOT", "LIPM"}),
              (Telegrams{"T BDPROGRAM IN USE", "T BDPROGRAM IN USE", "T BDPROGRAM IN USE", "M NR",
                         "T NP", "M RT"}));
}

TEST_F(CncMachineTest, BreaksOffTransfersAfterTheChosenNumberOfBlocks) {
    FaultOptions faults;
    faults.breakAfterBlocks = 1;
    faults.breakText = "TAPE ERROR";
    options.blockPayload = 1;
    folder.put("P.PM", "abc");
    EXPECT_EQ(exchange({"PTPMP", "T NB", "T NB"}, faults),
              (Telegrams{"M RT", "R PMa", "T BDTAPE ERROR"}));
    EXPECT_EQ(exchange({"PRPMQ", "R PMa"}, faults), (Telegrams{"M RR", "T BDTAPE ERROR"}));
    EXPECT_FALSE(folder.has("Q.PM"));
}

TEST_F(CncMachineTest, FallsSilentAfterTheChosenNumberOfTelegrams) {
    FaultOptions faults;
    faults.silentAfter = 2;
    EXPECT_EQ(exchange({"M  I", "M VN", "M FR"}, faults),
              (Telegrams{"M OK", "R VNS0001_V410 cncsim"}));
}

}  // namespace
}  // namespace cncsim
