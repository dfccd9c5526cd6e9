// The served folder on disk: what the CNC may see and touch, and files received whole or not
// at all.
#include "remote/IncomingFile.h"
#include "remote/ServedFolder.h"
#include "transfer/ReceivedFile.h"

#include "RemoteTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>

namespace qel::remote {
namespace {

using testing::namesIn;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;
using Names = std::vector<std::string>;

// A served folder inside a parent that also holds an "outside" folder with a secret.
struct ServedFolderTest : ::testing::Test {
    TempFolder parent;
    std::filesystem::path served = parent / "served";
    std::filesystem::path outside = parent / "outside";
    ServedFolder folder;

    void SetUp() override {
        std::filesystem::create_directories(served / "SUB.PM");
        std::filesystem::create_directories(outside);
        writeFile(outside / "SECRET.PM", "secret");
        writeFile(served / "b.pm", "bee");
        writeFile(served / "A.PM", "a");
        ASSERT_TRUE(folder.open(served.string()));
    }
    void link(const std::string& name, const std::filesystem::path& target) {
        std::filesystem::create_symlink(target, served / name);
    }
    std::string kindsOf(const std::string& pattern) const {
        std::string text;
        for (const FolderEntry& entry : folder.matches(pattern)) {
            text += entry.name + ":" + "FDOX"[static_cast<int>(entry.kind)] + " ";
        }
        return text;
    }
};

TEST_F(ServedFolderTest, ListsMatchesSortedWithoutRegardToCaseAndTellsTheirKind) {
    writeFile(served / "c.TO", "c");
    EXPECT_EQ(kindsOf("*.PM"), "A.PM:F b.pm:F SUB.PM:D ");
    EXPECT_EQ(kindsOf("*.XX"), "");
    EXPECT_EQ(folder.findByName("B.PM")->name, "b.pm");
    EXPECT_EQ(folder.findByName("A.PM")->name, "A.PM");
    EXPECT_FALSE(folder.findByName("NONE.PM"));
    EXPECT_FALSE(folder.findByName("../outside/SECRET.PM"));
}

TEST_F(ServedFolderTest, LinksCountOnlyWhileTheyStayInside) {
    link("IN.PM", "A.PM");
    link("INDIR.PM", "SUB.PM");
    link("OUT1.PM", outside / "SECRET.PM");
    link("OUT2.PM", "../outside/SECRET.PM");
    link("OUT3.PM", "../outside");
    link("OUT4.PM", outside / "NONE.PM");
    link("DANGLING.PM", "NONE.PM");
    EXPECT_EQ(kindsOf("*.PM"),
              "A.PM:F b.pm:F DANGLING.PM:O IN.PM:F INDIR.PM:D OUT1.PM:X OUT2.PM:X OUT3.PM:X "
              "OUT4.PM:X SUB.PM:D ");
}

TEST_F(ServedFolderTest, NothingOutsideIsReadDeletedOrChangedThroughALink) {
    link("OUT.PM", outside / "SECRET.PM");
    const FolderEntry escaping = *folder.findByName("OUT.PM");
    ASSERT_EQ(escaping.kind, EntryKind::Outside);
    // Even when a caller passes the entry on as a file, the folder does not follow the link out.
    const FolderEntry pretended{"OUT.PM", EntryKind::File};
    EXPECT_FALSE(folder.openForReading(pretended));
    EXPECT_EQ(errno, EXDEV);
    EXPECT_FALSE(folder.factsOf(pretended));
    EXPECT_FALSE(folder.setReadOnly(pretended, true));
    EXPECT_FALSE(folder.remove(escaping));
    EXPECT_EQ(readFile(outside / "SECRET.PM"), "secret");
    EXPECT_FALSE(testing::isReadOnly(outside / "SECRET.PM"));
    EXPECT_TRUE(std::filesystem::is_symlink(served / "OUT.PM"));
}

TEST_F(ServedFolderTest, ALockedFileIsNotDeletedAndUnlockingGivesItBack) {
    const FolderEntry a = *folder.findByName("A.PM");
    ASSERT_TRUE(folder.setReadOnly(a, true));
    EXPECT_TRUE(folder.factsOf(a)->readOnly);
    EXPECT_FALSE(folder.remove(a));
    EXPECT_TRUE(std::filesystem::exists(served / "A.PM"));
    ASSERT_TRUE(folder.setReadOnly(a, false));
    EXPECT_FALSE(folder.factsOf(a)->readOnly);
    EXPECT_TRUE(folder.remove(a));
    EXPECT_FALSE(std::filesystem::exists(served / "A.PM"));
    // A folder is never deleted as a file.
    EXPECT_FALSE(folder.remove(*folder.findByName("SUB.PM")));
}

TEST_F(ServedFolderTest, FactsGiveSizeAndCreationTime) {
    const time_t before = ::time(nullptr);
    writeFile(served / "NEW.PM", std::string(300, 'x'));
    const std::optional<FileFacts> facts = folder.factsOf(*folder.findByName("NEW.PM"));
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->size, 300u);
    EXPECT_GE(facts->created, before - 1);
    EXPECT_LE(facts->created, ::time(nullptr) + 1);
    EXPECT_TRUE(folder.freeBytes().has_value());
}

TEST_F(ServedFolderTest, AIncomingFileAppearsOnlyWhenCommittedAndNeverReplacesOne) {
    {
        IncomingFile file;
        ASSERT_TRUE(file.create(folder.descriptor()));
        ASSERT_TRUE(file.write("new data"));
        EXPECT_FALSE(folder.findByName("NEW.PM"));
        EXPECT_TRUE(folder.matches("*").size() == 3);  // the temporary file is not shown
        ASSERT_TRUE(file.commit("NEW.PM"));
    }
    EXPECT_EQ(readFile(served / "NEW.PM"), "new data");
    {
        IncomingFile file;
        ASSERT_TRUE(file.create(folder.descriptor()));
        ASSERT_TRUE(file.write("other"));
        EXPECT_FALSE(file.commit("A.PM"));
        EXPECT_EQ(errno, EEXIST);
    }
    {
        IncomingFile file;  // dropped half-way
        ASSERT_TRUE(file.create(folder.descriptor()));
        ASSERT_TRUE(file.write("partial"));
    }
    EXPECT_EQ(readFile(served / "A.PM"), "a");
    EXPECT_EQ(namesIn(served), (Names{"A.PM", "NEW.PM", "SUB.PM", "b.pm"}));
}

TEST_F(ServedFolderTest, AMemoryTheDesktopProgramIsStillReceivingIsNotListedToTheCnc) {
    ReceivedFile receiving;
    ASSERT_EQ(receiving.create(served.string(), "HALF.PM", std::nullopt), 0);
    ASSERT_EQ(receiving.write("N10 G0"), 0);
    ASSERT_EQ(receiving.flush(), 0);
    EXPECT_EQ(namesIn(served).size(), 4u);               // the hidden part file is on disk ...
    EXPECT_EQ(kindsOf("*"), "A.PM:F b.pm:F SUB.PM:D ");  // ... but not in the CNC's listing
    EXPECT_FALSE(folder.findByName(namesIn(served).front()));
    ASSERT_EQ(receiving.commit(), 0);
    EXPECT_EQ(kindsOf("*"), "A.PM:F b.pm:F HALF.PM:F SUB.PM:D ");
}

}  // namespace
}  // namespace qel::remote
