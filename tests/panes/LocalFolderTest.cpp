// A local folder as the pane lists it: the three size formats at their borders and beyond
// 4 GiB, the memory-type icons in table order, the display filter, folders first, links, and
// a path walked down as far as it exists, in the spelling on disk.
#include "ScratchFolder.h"
#include "config/FixedText.h"
#include "panes/LocalFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qel {
namespace {

using testing::ScratchFolder;

MemoryTypeEntry memoryType(const char* name, const char* wildcards, int icon, bool used = true) {
    MemoryTypeEntry entry;
    entry.inUse = used ? 1 : 0;
    setText(entry.name, name);
    setText(entry.wildcards, wildcards);
    entry.iconIndex = icon;
    return entry;
}

std::vector<std::string> namesOf(const FolderListing& listing) {
    std::vector<std::string> names;
    for (const LocalEntry& entry : listing.entries) {
        names.push_back((entry.folder ? "[" : "") + entry.name + (entry.folder ? "]" : ""));
    }
    return names;
}

TEST(SizeText, UsesTheThreeFormatsAtTheirBorders) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0.00KB"},
        {512, "0.50KB"},
        {10239, "10.00KB"},
        {10240, "10.0KB"},
        {1048575, "1024.0KB"},
        {1048576, "1.00MB"},
        {4294967296ull + 1048576ull * 100, "4196.00MB"},  // beyond 32 bits: the true size
        {5ull << 40, "5242880.00MB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(sizeText(bytes), text) << bytes;
}

TEST(FileImage, TakesTheFirstUsedMemoryTypeThatGivesAnIcon) {
    MemoryTypeTable types{};
    types[0] = memoryType("Unused", "*.PM", 7, false);
    types[1] = memoryType("Plain", "*.PM", 2);  // icon 2 does not end the scan
    types[2] = memoryType("Programs", "*.PM;*.PP", 5);
    types[3] = memoryType("Also programs", "*.PM", 9);
    EXPECT_EQ(fileImage("PROG1.PM", types), 5);
    EXPECT_EQ(fileImage("prog1.pp", types), 5);
    EXPECT_EQ(fileImage("README.TXT", types), 2);
    EXPECT_EQ(fileImage("PROG1.PM", MemoryTypeTable{}), 2);
}

TEST(ListFolder, ShowsFoldersFirstAndFilesThatPassTheFilter) {
    ScratchFolder scratch;
    scratch.write("b.PM", "1");
    scratch.write("A.pp", "22");
    scratch.write("notes.txt");
    scratch.write(".hidden");
    scratch.folder("zeta");
    scratch.folder("Alpha.TXT");  // a folder passes whatever the filter says
    MemoryTypeTable types{};
    types[0] = memoryType("Programs", "*.PM", 5);

    const FolderListing filtered = listFolder(scratch.str(), "*.PM;*.PP", types);
    EXPECT_EQ(filtered.error, 0);
    EXPECT_EQ(namesOf(filtered),
              (std::vector<std::string>{"[Alpha.TXT]", "[zeta]", "A.pp", "b.PM"}));
    EXPECT_EQ(filtered.entries[0].image, kLocalFolderImage);
    EXPECT_EQ(filtered.entries[2].image, kLocalFileImage);
    EXPECT_EQ(filtered.entries[2].size, 2u);
    EXPECT_EQ(filtered.entries[3].image, 5);

    EXPECT_EQ(displayFilter(""), "*");
    EXPECT_EQ(listFolder(scratch.str(), displayFilter(""), types).entries.size(), 6u);
    EXPECT_EQ(namesOf(listFolder(scratch.str(), "*.NC", types)),
              (std::vector<std::string>{"[Alpha.TXT]", "[zeta]"}));
}

TEST(ListFolder, NamesThatDifferOnlyInCaseAreBothShownInAFixedOrder) {
    ScratchFolder scratch;
    scratch.write("prog.PM");
    scratch.write("PROG.PM");
    scratch.write("Other.PM");
    EXPECT_EQ(namesOf(listFolder(scratch.str(), "*", {})),
              (std::vector<std::string>{"Other.PM", "PROG.PM", "prog.PM"}));
}

TEST(ListFolder, AFileOverFourGibibytesHasItsTrueSize) {
    ScratchFolder scratch;
    const std::string path = scratch / "BIG.PM";
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const off_t size = (off_t{5} << 30) + 123;  // sparse: no disk space needed
    const bool sized = ::ftruncate(fd, size) == 0;
    ::close(fd);
    if (!sized) GTEST_SKIP() << "the file system refuses a 5 GiB file";
    const FolderListing listing = listFolder(scratch.str(), "*", {});
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].size, static_cast<uint64_t>(size));
    EXPECT_EQ(sizeText(listing.entries[0].size), "5120.00MB");
}

TEST(ListFolder, ALinkCountsAsWhatItPointsToAndABrokenOneAsAnEmptyFile) {
    ScratchFolder scratch;
    scratch.folder("real");
    scratch.write("data.PM", "12345");
    ASSERT_EQ(::symlink((scratch / "real").c_str(), (scratch / "to-folder").c_str()), 0);
    ASSERT_EQ(::symlink((scratch / "data.PM").c_str(), (scratch / "to-file.PM").c_str()), 0);
    ASSERT_EQ(::symlink((scratch / "nothing").c_str(), (scratch / "broken.PM").c_str()), 0);
    const FolderListing listing = listFolder(scratch.str(), "*.PM", {});
    EXPECT_EQ(namesOf(listing), (std::vector<std::string>{"[real]", "[to-folder]", "broken.PM",
                                                          "data.PM", "to-file.PM"}));
    EXPECT_EQ(listing.entries[2].size, 0u);
    EXPECT_EQ(listing.entries[4].size, 5u);
}

TEST(ListFolder, AFolderThatIsNotThereOrNotReadableGivesItsError) {
    ScratchFolder scratch;
    EXPECT_EQ(listFolder(scratch / "missing", "*", {}).error, ENOENT);
    scratch.write("file");
    EXPECT_EQ(listFolder(scratch / "file", "*", {}).error, ENOTDIR);
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    scratch.folder("locked");
    scratch.write("locked/inside");
    ASSERT_EQ(::chmod((scratch / "locked").c_str(), 0300), 0);
    EXPECT_EQ(listFolder(scratch / "locked", "*", {}).error, EACCES);
}

// A name the watcher told of, looked at again, gives what a whole listing would give for it.
TEST(LookUpEntries, GiveWhatTheListingGivesAndNoneForWhatIsGoneHiddenOrNoName) {
    ScratchFolder scratch;
    scratch.folder("Sub");
    scratch.write("data.PM", "12345");
    scratch.write("notes.txt", "x");
    ASSERT_EQ(::symlink((scratch / "nothing").c_str(), (scratch / "broken.PM").c_str()), 0);
    ASSERT_EQ(::symlink((scratch / "Sub").c_str(), (scratch / "to-sub").c_str()), 0);
    const MemoryTypeTable types{memoryType("Programs", "*.PM", 7)};
    const std::vector<std::string> names{"data.PM",   "Sub",     "broken.PM",  "to-sub",
                                         "notes.txt", "gone.PM", "../data.PM", "",
                                         ".",         ".."};
    const EntryLookup lookup = lookUpEntries(scratch.str(), names, "*.PM", types);
    ASSERT_EQ(lookup.error, 0);
    ASSERT_EQ(lookup.entries.size(), names.size());
    const FolderListing listing = listFolder(scratch.str(), "*.PM", types);
    const auto listed = [&](const std::string& name) {
        for (const LocalEntry& entry : listing.entries) {
            if (entry.name == name) return entry;
        }
        throw std::runtime_error("not listed: " + name);
    };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_TRUE(lookup.entries[i].second.has_value());
        const LocalEntry& entry = *lookup.entries[i].second;
        const LocalEntry want = listed(names[i]);
        EXPECT_EQ(entry.folder, want.folder);
        EXPECT_EQ(entry.size, want.size);
        EXPECT_EQ(entry.image, want.image);
    }
    EXPECT_EQ(lookup.entries[0].second->image, 7);
    for (size_t i = 4; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(lookup.entries[i].first, names[i]);
        EXPECT_FALSE(lookup.entries[i].second.has_value());
    }
    EXPECT_EQ(lookUpEntries(scratch / "missing", names, "*", {}).error, ENOENT);
}

TEST(WalkPath, GoesAsDeepAsThePathExistsInTheSpellingOnDisk) {
    ScratchFolder scratch;
    scratch.folder("Progs/Mill");
    scratch.write("Progs/file");
    const std::string root = scratch.str();

    PathWalk walk = walkPath(root, "Progs/Mill/");
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.folders, (std::vector<std::string>{"Progs", "Mill"}));

    walk = walkPath(root, "progs/MILL");  // found without regard to case, named as on disk
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.folders, (std::vector<std::string>{"Progs", "Mill"}));

    walk = walkPath(root, "Progs/A/B/C");
    EXPECT_FALSE(walk.complete);
    EXPECT_EQ(walk.folders, (std::vector<std::string>{"Progs"}));

    walk = walkPath(root, "Progs/file/x");  // a file is not a folder
    EXPECT_FALSE(walk.complete);
    EXPECT_EQ(walk.folders, (std::vector<std::string>{"Progs"}));

    walk = walkPath(root, "Progs//./Mill/../Mill/../../../Progs");
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.folders, (std::vector<std::string>{"Progs"}));

    EXPECT_TRUE(walkPath(root, "").complete);
}

TEST(FreeSpace, IsTheUsersFreeBytesInKilobytesOrQuestionMarks) {
    ScratchFolder scratch;
    const auto bytes = freeBytes(scratch.str());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(freeSpaceText(*bytes), std::to_string(*bytes / 1024) + " KB");
    EXPECT_EQ(freeSpaceText(uint64_t{8ull << 40}), "8589934592 KB");  // beyond 32 bits
    EXPECT_FALSE(freeBytes(scratch / "missing").has_value());
    EXPECT_EQ(freeSpaceText(std::nullopt), "???");
}

}  // namespace
}  // namespace qel
