// The local files of a transfer: a received file appears only whole, never over a file it was
// not allowed to replace; a file being sent is read block by block.
#include "TransferTestSupport.h"
#include "transfer/LocalFileNames.h"
#include "transfer/ReceivedFile.h"
#include "transfer/SourceFile.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qel {
namespace {

using testing::TempFolder;
using Names = std::set<std::string>;

TEST(ReceivedFile, AppearsUnderItsNameOnlyWhenComplete) {
    TempFolder folder;
    ReceivedFile file;
    ASSERT_EQ(file.create(folder.str(), "PROG1.PM", std::nullopt), 0);
    const std::string big(200 * 1024, 'x');  // more than one piece written
    ASSERT_EQ(file.write("N10\r\n"), 0);
    ASSERT_EQ(file.write(big), 0);
    EXPECT_FALSE(folder.read("PROG1.PM"));
    ASSERT_EQ(folder.entries().size(), 1u);
    EXPECT_EQ(folder.entries().begin()->front(), '.');  // a hidden part file meanwhile
    EXPECT_EQ(file.commit(), 0);
    EXPECT_EQ(folder.read("PROG1.PM"), "N10\r\n" + big);
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});
}

TEST(ReceivedFile, NeverOverwritesAFileItWasNotAllowedToReplace) {
    TempFolder folder;
    ReceivedFile file;
    ASSERT_EQ(file.create(folder.str(), "PROG1.PM", std::nullopt), 0);
    ASSERT_EQ(file.write("new"), 0);
    folder.write("PROG1.PM", "appeared meanwhile");
    EXPECT_EQ(file.commit(), EEXIST);
    file.discard();
    EXPECT_EQ(folder.read("PROG1.PM"), "appeared meanwhile");
    EXPECT_EQ(folder.entries(), Names{"PROG1.PM"});

    // Replacing the same name in another case leaves only the new one.
    folder.write("prog2.pm", "old");
    ASSERT_EQ(file.create(folder.str(), "PROG2.PM", findExistingFile(folder.str(), "PROG2.PM")), 0);
    ASSERT_EQ(file.write("new"), 0);
    EXPECT_EQ(file.commit(), 0);
    EXPECT_EQ(folder.entries(), (Names{"PROG1.PM", "PROG2.PM"}));
    EXPECT_EQ(folder.read("PROG2.PM"), "new");
}

TEST(ReceivedFile, NamesThatAreNoPlainFileOfTheFolderAreRefused) {
    TempFolder folder;
    ReceivedFile file;
    for (const char* name : {"", ".", "..", "../x.PM", "a/b.PM", "\r\n.\r\n"}) {
        EXPECT_EQ(file.create(folder.str(), name, std::nullopt), EINVAL) << name;
    }
    EXPECT_EQ(file.create(folder.str(), std::string(256, 'a'), std::nullopt), EINVAL);
    std::filesystem::create_directory(folder.path / "DIR.PM");
    EXPECT_EQ(file.create(folder.str(), "DIR.PM", std::nullopt), EISDIR);
    EXPECT_FALSE(findExistingFile(folder.str(), "dir.pm"));
    EXPECT_EQ(folder.entries(), Names{"DIR.PM"});
}

TEST(SourceFile, HandsOutBlocksInOrderToTheEnd) {
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 30000; ++i) text += static_cast<char>('A' + i % 26);
    folder.write("A.PM", text);
    SourceFile file;
    ASSERT_EQ(file.open(folder.str(), "A.PM"), 0);
    EXPECT_EQ(file.size(), 30000);
    std::string block;
    std::string all;
    do {
        ASSERT_EQ(file.read(124, block), 0);
        EXPECT_LE(block.size(), 124u);
        all += block;
    } while (!block.empty());
    EXPECT_EQ(all, text);
    EXPECT_EQ(file.open(folder.str(), "MISSING.PM"), ENOENT);
}

}  // namespace
}  // namespace qel
