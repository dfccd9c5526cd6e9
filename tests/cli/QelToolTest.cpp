// qel run in-process against a scripted link: what it prints and which exit status it gives.
#include "cli/QelTool.h"

#include "FakeLink.h"

#include "config/FixedText.h"
#include "config/OperatorMessages.h"
#include "config/SettingsStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace qel {
namespace {

using testing::failure;
using testing::FakeLink;
using testing::reply;

struct QelToolTest : ::testing::Test {
    FakeLink link;
    std::ostringstream out;
    std::ostringstream err;

    int run(const std::vector<std::string>& args) { return runQel(args, out, err, link); }

    size_t errorLines() const {
        const std::string text = err.str();
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(QelToolTest, UsageErrorsGiveStatusTwoAndOneLineWithoutConnecting) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"list"},
        {"list", "PMX"},
        {"list", "P."},
        {"list", "PM", "MP"},
        {"free", "now"},
        {"message"},
        {"delete"},
        {"delete", "PROG1"},
        {"delete", "PROG1.PM", "PROG1."},
        {"-i"},
        {"-i", "host:abc", "free"},
        {"-i", ":19000", "free"},
        {"-x", "free"},
        {"-i", "a", "-c", "b", "free"},
        {"-i", "a", "config", "list"},
    };
    for (const auto& args : wrong) {
        err.str("");
        EXPECT_EQ(run(args), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(errorLines(), 1u) << err.str();
    }
    EXPECT_EQ(link.connects, 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(QelToolTest, HelpPrintsTheUsageOnStandardOutput) {
    EXPECT_EQ(run({"help"}), 0);
    EXPECT_NE(out.str().find("qel [CONNECTION] COMMAND [ARGS]"), std::string::npos);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(link.connects, 0);
}

TEST_F(QelToolTest, AddressConnectsAsAnExclusiveTcpClientWithLogin) {
    link.replies = {reply("R FR100")};
    EXPECT_EQ(run({"-i", "cnc.local", "free"}), 0);
    EXPECT_EQ(link.lastParams.linkType, DNC_LINK_TCP_CLIENT);
    EXPECT_EQ(link.lastParams.port, 19000);
    EXPECT_EQ(link.lastParams.flags, static_cast<uint32_t>(DNC_FLAG_RESERVE));
    EXPECT_EQ(link.lastHostName, "cnc.local");
    link.replies = {reply("R FR100")};
    EXPECT_EQ(run({"--ip", "10.0.0.5:19001", "free"}), 0);
    EXPECT_EQ(link.lastParams.port, 19001);
    EXPECT_EQ(link.lastHostName, "10.0.0.5");
    EXPECT_EQ(link.disconnects, 2);
    EXPECT_EQ(link.closes, 2);
}

TEST_F(QelToolTest, ConnectFailureNamesTheAddressAndTheLinkError) {
    link.connectSucceeds = false;
    link.connectError = DNC_ERR_CONNECT;
    EXPECT_EQ(run({"-i", "10.0.0.5", "free"}), 1);
    EXPECT_EQ(err.str(),
              "qel: cannot connect to 10.0.0.5:19000: link error 23 (connection refused or "
              "unreachable)\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(QelToolTest, ListPrintsOneNameAndTypePerLine) {
    link.replies = {reply("M RT"), reply("R PMPROG1,POCKET,"), reply("R PMJOBSET"), reply("T FD")};
    EXPECT_EQ(run({"-i", "cnc", "list", "pm"}), 0);
    EXPECT_EQ(out.str(), "PROG1.PM\nPOCKET.PM\nJOBSET.PM\n");
    EXPECT_EQ(link.sent[0].data, "LIPM");
    EXPECT_EQ(err.str(), "");
}

TEST_F(QelToolTest, ListOfATypeWithoutMemoriesPrintsTheWholeMemory) {
    link.replies = {reply("T NP")};
    EXPECT_EQ(run({"-i", "cnc", "list", "TO"}), 0);
    EXPECT_EQ(out.str(), "TO.TO\n");
}

TEST_F(QelToolTest, AListingBrokenOffPrintsNoNamesAndTheCncsReason) {
    link.replies = {reply("M RT"), reply("R PMPROG1"), reply("T BDLOCKED")};
    EXPECT_EQ(run({"-i", "cnc", "list", "PM"}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "qel: list PM: the CNC broke off: LOCKED\n");
}

TEST_F(QelToolTest, AListingRefusedOrUnansweredNamesWhy) {
    link.replies = {reply("M NR")};
    EXPECT_EQ(run({"-i", "cnc", "list", "PM"}), 1);
    EXPECT_EQ(err.str(), "qel: list PM: the CNC answered \"M NR\"\n");
    err.str("");
    EXPECT_EQ(run({"-i", "cnc", "list", "PM"}), 1);  // nothing scripted: time-out
    EXPECT_EQ(err.str(), "qel: list PM: link error 12 (time-out: no telegram arrived in time)\n");
}

TEST_F(QelToolTest, FreePrintsTheBytesAlone) {
    link.replies = {reply("R FR4193536")};
    EXPECT_EQ(run({"-i", "cnc", "free"}), 0);
    EXPECT_EQ(out.str(), "4193536\n");
    link.replies = {failure(DNC_ERR_CONNECTION)};
    EXPECT_EQ(run({"-i", "cnc", "free"}), 1);
    EXPECT_EQ(err.str(), "qel: free: link error 28 (the TCP connection failed)\n");
}

TEST_F(QelToolTest, FreeOnADataIoLinkIsAFailureNotAZero) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qel-dataio-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "QelVeva.cfg";
    {
        std::ostringstream ignored;
        StreamMessages messages(ignored);
        SettingsStore store(file, folder.string(), messages);
        ConfigRecord& tape = store.configs()[0];
        tape.inUse = 1;
        setText(tape.name, "Tape");
        tape.linkType = DNC_LINK_DATAIO_XONXOFF;
        tape.comPort = 1;
        tape.baudRate = 9600;
        store.currentConfig() = 0;
        ASSERT_TRUE(store.write());
    }
    ::setenv("QELVEVA_CFG", file.c_str(), 1);
    EXPECT_EQ(run({"free"}), 1);
    ::unsetenv("QELVEVA_CFG");
    std::filesystem::remove_all(folder);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "qel: free: a DataIO link carries no commands\n");
}

TEST_F(QelToolTest, MessageSendsTheWordsAsOneText) {
    link.replies = {reply("M OK")};
    EXPECT_EQ(run({"-i", "cnc", "message", "Tool", "change", "at", "N40"}), 0);
    EXPECT_EQ(link.sent[0].data, "M DITool change at N40");
    EXPECT_EQ(out.str(), "");
}

TEST_F(QelToolTest, DeleteGoesOnAfterARefusalAndReportsEachFailure) {
    link.replies = {reply("M OK"), reply("T NP"), reply("M OK")};
    EXPECT_EQ(run({"-i", "cnc", "delete", "PROG1.PM", "GONE.PM", "TO.TO"}), 1);
    EXPECT_EQ(link.sentTexts(), (std::vector<std::string>{"MCPMPROG1", "MCPMGONE", "MCTO"}));
    EXPECT_EQ(err.str(), "qel: delete GONE.PM: the CNC answered \"T NP\"\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace qel
