// The CNC pane's logic against the simulated CNC over TCP: both levels, the wildcard entries
// and their codes, "T NP", the refresh that keeps what is still there, Quick View of five
// blocks, a link that dies during a listing, and the names and flags a Receive passes on.
#include "panes/CncPane.h"

#include "SimulatedCnc.h"
#include "transfer/Download.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace qel {
namespace {

using testing::SimulatedCnc;
using Texts = std::vector<std::string>;

std::vector<MemoryTypeView> threeTypes() {
    return {{"Part programs", "*.PM", 3}, {"Tools 1000", ";1*.TO", 4}, {"Macros", "*.MA;*.MB", 5}};
}

Texts textsOf(const std::vector<PaneItem>& items) {
    Texts texts;
    for (const PaneItem& item : items) texts.push_back(item.text);
    return texts;
}

class CncPaneAgainstSim : public ::testing::Test {
  protected:
    void SetUp() override {
        client = cnc.tcpClient();
        ASSERT_TRUE(client->isConnected());
        setup.types = threeTypes();
        setup.link = client.get();
        setup.linkType = client->linkType();
        setup.paneOptions = OPT_PERCENT_B;
    }
    SimulatedCnc cnc{{"--tcp-listen", "127.0.0.1:0", "--block-size", "10"}};
    std::unique_ptr<CncClient> client;
    CncPaneSetup setup;
};

TEST(CncPaneRules, WildcardEntriesAreSplitCutAtTenCharactersAndGiveTheirCodes) {
    EXPECT_EQ(wildcardEntries("*.PM;*.PP"), (Texts{"*.PM", "*.PP"}));
    EXPECT_EQ(wildcardEntries(";*.PM"), (Texts{"*.PM"}));
    EXPECT_EQ(wildcardEntries("ABCDEFGHIJKL.PM"), (Texts{"ABCDEFGHIJ", "KL.PM"}));
    EXPECT_EQ(wildcardEntries(""), Texts{});
    EXPECT_EQ(memoryCodeOf("*.PM"), "PM");
    EXPECT_EQ(memoryCodeOf("X"), "X");
    EXPECT_EQ(wholeMemoryName("PM"), "PM.PM");
}

TEST(CncPaneRules, APlainStreamLinkListsOnlyTheCncAndReceivesTheStarName) {
    CncPaneSetup setup;
    setup.types = threeTypes();
    setup.linkType = DNC_LINK_DATAIO_RTSCTS;
    // Unconnected: the top level still lists the types, and nothing can be used.
    const LevelListing unconnected = listLevel(setup, 2, 0);
    EXPECT_EQ(unconnected.level, 2);
    EXPECT_TRUE(unconnected.items.empty());
    EXPECT_EQ(unconnected.freeText, "???");
    const CncPaneEnables none = cncPaneEnables(setup, 2);
    EXPECT_FALSE(none.list || none.back || none.receive || none.receiveAs || none.deleteAndSelect);

    CncClient stream;  // not connected; only its pointer and the link type count here
    setup.link = &stream;
    setup.paneOptions = OPT_PERCENT_A;
    const CncPaneEnables enables = cncPaneEnables(setup, 0);
    EXPECT_TRUE(enables.receive);
    EXPECT_TRUE(enables.receiveAs);
    EXPECT_FALSE(enables.deleteAndSelect);
    const ReceiveChoice choice = namesToReceive(setup, 0, {}, nullptr, true);
    EXPECT_EQ(choice.names, Texts{"*"});
    EXPECT_EQ(choice.flags, kReceivePercentA);  // "*" is no name from the list: not asked
}

TEST(CncPaneRules, ReceiveTakesTheSelectionOrTheFocusedItemAndEachNameOnce) {
    CncPaneSetup setup;
    setup.types = threeTypes();
    CncClient telegrams;
    setup.link = &telegrams;
    setup.linkType = DNC_LINK_TCP_CLIENT;
    setup.paneOptions = OPT_PERCENT_B;
    // Top level: every wildcard's whole memory of the selected types.
    const PaneItem macros{"Macros", 5, 3};
    ReceiveChoice top = namesToReceive(setup, 0, {macros, macros}, nullptr, true);
    EXPECT_EQ(top.names, (Texts{"MA.MA", "MB.MB"}));
    EXPECT_EQ(top.flags, kReceivePercentB);
    const PaneItem untagged{"CNC", 1, 0};
    EXPECT_TRUE(namesToReceive(setup, 0, {}, &untagged, false).names.empty());
    EXPECT_TRUE(namesToReceive(setup, 0, {}, nullptr, false).names.empty());
    // A memory level: the selected texts in order, else the focused one.
    const PaneItem a{"A.PM", 3, 1};
    const PaneItem b{"B.PM", 3, 1};
    EXPECT_EQ(namesToReceive(setup, 1, {b, a}, &a, false).names, (Texts{"B.PM", "A.PM"}));
    const ReceiveChoice as = namesToReceive(setup, 1, {}, &a, true);
    EXPECT_EQ(as.names, Texts{"A.PM"});
    EXPECT_EQ(as.flags, kReceivePercentB | kReceiveAskNames);
    // The Select filter takes only items with a tag.
    EXPECT_TRUE(selectedByFilter(a, "*.*"));
    EXPECT_FALSE(selectedByFilter(untagged, "*.*"));
    EXPECT_FALSE(selectedByFilter(a, "*.TO"));
}

TEST_F(CncPaneAgainstSim, TheLevelsListTypesAndMatchingMemoriesAndTNpGivesTheWholeMemory) {
    cnc.store.write("A.PM", "N1\r\n");
    cnc.store.write("B.PM", "N1\r\n");
    cnc.store.write("1000.TO", "T1\r\n");
    cnc.store.write("2000.TO", "T2\r\n");

    const LevelListing top = listLevel(setup, 0, 2);
    EXPECT_EQ(textsOf(top.items), (Texts{"Part programs", "Tools 1000", "Macros"}));
    EXPECT_EQ(top.items[2].tag, 3);
    EXPECT_EQ(top.selector.size(), 4u);
    EXPECT_EQ(top.selector[1].indent, 1);
    EXPECT_EQ(top.selectRow, 2);  // back from memory type 3
    EXPECT_NE(top.freeText.find(" KB"), std::string::npos);

    const LevelListing programs = listLevel(setup, 1, 0);
    EXPECT_EQ(textsOf(programs.items), (Texts{"A.PM", "B.PM"}));
    EXPECT_EQ(programs.selectorIndex, 1);
    EXPECT_TRUE(programs.ok);
    // 1*.TO: the CNC's 2000 does not match.
    EXPECT_EQ(textsOf(listLevel(setup, 2, 0).items), Texts{"1000.TO"});
    // Nothing of type MA or MB: the CNC answers "T NP", the whole memories stand for them.
    EXPECT_EQ(textsOf(listLevel(setup, 3, 0).items), (Texts{"MA.MA", "MB.MB"}));
    // A level beyond the table (a default left from a longer one) shows the top level.
    EXPECT_EQ(listLevel(setup, 9, 0).level, 0);
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_EQ(client->reserveDepth(), 1);  // the TCP client's own, nothing more
}

TEST_F(CncPaneAgainstSim, RefreshTellsWhatWentAndWhatCame) {
    cnc.store.write("A.PM", "N1\r\n");
    cnc.store.write("B.PM", "N1\r\n");
    const Texts shown = textsOf(listLevel(setup, 1, 0).items);
    std::filesystem::remove(cnc.store.path / "A.PM");
    cnc.store.write("C.PM", "N1\r\n");
    const LevelRefresh refresh = refreshLevel(setup, 1, {"a.pm", "B.PM"});
    EXPECT_TRUE(refresh.listed);
    EXPECT_EQ(refresh.gone, Texts{"a.pm"});
    EXPECT_EQ(refresh.added, Texts{"C.PM"});
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_FALSE(refreshLevel(setup, 0, shown).listed);  // the top level is not refreshed
}

TEST_F(CncPaneAgainstSim, TenThousandMemoriesAreListedWholeAndTheirRefreshIsExact) {
    constexpr int kMemories = 10000;
    const auto name = [](int n) {
        char text[16];
        std::snprintf(text, sizeof text, "P%05d.PM", n);
        return std::string(text);
    };
    for (int n = 0; n < kMemories; ++n) cnc.store.write(name(n), "N1\r\n");
    const LevelListing listing = listLevel(setup, 1, 0);
    ASSERT_EQ(listing.items.size(), static_cast<size_t>(kMemories));
    EXPECT_EQ(listing.items.back().text, name(kMemories - 1));

    // Shown in another case; every hundredth goes, fifty come.
    Texts shown;
    for (const PaneItem& item : listing.items) {
        std::string lower = item.text;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        shown.push_back(lower);
    }
    Texts gone, added;
    for (int n = 0; n < kMemories; n += 100) {
        std::filesystem::remove(cnc.store.path / name(n));
        gone.push_back(shown[static_cast<size_t>(n)]);
    }
    for (int n = kMemories; n < kMemories + 50; ++n) {
        cnc.store.write(name(n), "N1\r\n");
        added.push_back(name(n));
    }
    LevelRefresh refresh = refreshLevel(setup, 1, shown);
    ASSERT_TRUE(refresh.listed);
    EXPECT_EQ(refresh.gone, gone);
    std::sort(refresh.added.begin(), refresh.added.end());
    EXPECT_EQ(refresh.added, added);
}

// A CNC whose replies arrive damaged: every listing ends, listed or with its box, the names
// shown are only ones of the type, and no memory is left open.
TEST(CncPaneGarbage, DamagedListingsEndCleanlyAndShowOnlyNamesOfTheType) {
    SimulatedCnc cnc({"--tcp-listen", "127.0.0.1:0", "--block-size", "10", "--corrupt-percent",
                      "40", "--seed", "11"});
    for (int n = 0; n < 40; ++n) cnc.store.write("P" + std::to_string(n) + ".PM", "N1\r\n");
    const std::unique_ptr<CncClient> client = cnc.tcpClient();
    ASSERT_TRUE(client->isConnected());
    CncPaneSetup setup;
    setup.types = threeTypes();
    setup.link = client.get();
    setup.linkType = client->linkType();
    for (int round = 0; round < 5; ++round) {
        const LevelListing listing = listLevel(setup, 1, 0);
        for (const PaneItem& item : listing.items) {
            EXPECT_TRUE(item.text.ends_with(".PM")) << item.text;
            EXPECT_GT(item.text.size(), 3u);
        }
        EXPECT_LE(listing.items.size(), 40u);
        EXPECT_LE(listing.messages.size(), 1u);
        EXPECT_EQ(client->transferState(), TransferState::Idle);
        if (!listing.ok) break;  // the link is gone: the box said so once
    }
}

TEST_F(CncPaneAgainstSim, QuickViewShowsTheFirstFiveBlocksAndEndsTheMemory) {
    const std::string text(200, 'X');
    cnc.store.write("LONG.PM", text);
    const QuickViewText view = readQuickView(*client, "LONG.PM");
    EXPECT_TRUE(view.opened);
    EXPECT_EQ(view.caption, "Viewing the first lines of 'LONG.PM':");
    EXPECT_EQ(view.text, text.substr(0, 5 * 10));
    EXPECT_EQ(client->transferState(), TransferState::Idle);
    EXPECT_FALSE(readQuickView(*client, "NONE.PM").opened);
}

TEST_F(CncPaneAgainstSim, ALinkThatDiesDuringAListingGivesTheLinkLostBoxOnce) {
    cnc.store.write("A.PM", "N1\r\n");
    cnc.process().kill(SIGKILL);
    const LevelListing listing = listLevel(setup, 3, 0);
    EXPECT_FALSE(listing.ok);
    EXPECT_TRUE(listing.items.empty());
    if (!listing.messages.empty()) {
        EXPECT_EQ(listing.messages.size(), 1u);
        EXPECT_EQ(listing.messages.front().kind, PaneMessage::Kind::LinkLost);
    } else {
        EXPECT_EQ(listing.status, kCncDirectoryFailedText);  // the free memory already failed
    }
    EXPECT_FALSE(refreshLevel(setup, 1, {"A.PM"}).listed);
}

TEST(CncPaneOverAnAdapter, AnAdapterPulledOutNamesItsDeviceInTheLinkLostBox) {
    // COM1 is the adapter's stable name; pulling it out takes the name with it.
    const std::filesystem::path byId =
        std::filesystem::temp_directory_path() / ("qel-pane-by-id-" + std::to_string(::getpid()));
    SimulatedCnc cnc({"--pty", "--link", byId.string()}, {{"A.PM", "N1\r\n"}});
    ASSERT_TRUE(cnc.report("link "));
    ::setenv("CABLOR_COM1", byId.c_str(), 1);
    LinkSettings settings;
    settings.linkType = DNC_LINK_RXA2;
    settings.port = 1;
    settings.speed = 115200;
    CncClient client(settings, 0);
    ASSERT_TRUE(client.isConnected());
    client.setLinkParams(1, 1, 0);
    CncPaneSetup setup;
    setup.types = threeTypes();
    setup.link = &client;
    setup.linkType = client.linkType();
    ASSERT_TRUE(listLevel(setup, 1, 0).ok);

    std::filesystem::remove(byId);
    cnc.process().kill(SIGKILL);
    const LevelListing listing = listLevel(setup, 1, 0);
    EXPECT_FALSE(listing.ok);
    ASSERT_EQ(listing.messages.size(), 1u);
    EXPECT_EQ(listing.messages.front().kind, PaneMessage::Kind::LinkLost);
    EXPECT_TRUE(listing.messages.front().text.ends_with(
        "press 'Reconnect' to retry the connection.\nThe device " + byId.string() + " is gone."))
        << listing.messages.front().text;
    ::unsetenv("CABLOR_COM1");
}

}  // namespace
}  // namespace qel
