// The drive tree without its window: opened along a starting folder whatever its case, lazy
// reading (removable and CD-ROM drives untouched until opened), the buttons that come and go,
// a branch read afresh at each opening, and a drive that does not answer.
#include "ScratchFolder.h"
#include "TreeDisk.h"
#include "panes/DriveTree.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace qel;
using qel::testing::ScratchFolder;
using qel::testing::TreeDisk;
using namespace std::chrono_literals;

namespace {
std::vector<std::string> texts(const DriveTreeItem& item) {
    std::vector<std::string> names;
    for (const auto& child : item.children) names.push_back(child->text);
    return names;
}

const DriveTreeItem& driveAt(const DriveTree& tree, const ScratchFolder& root) {
    for (const auto& drive : tree.drives()) {
        if (drive->text == root.str()) return *drive;
    }
    throw std::runtime_error("no drive " + root.str());
}

DriveTreeItem& mutableDrive(DriveTree& tree, const ScratchFolder& root) {
    return const_cast<DriveTreeItem&>(driveAt(tree, root));
}
}  // namespace

TEST(DriveTree, OpensAlongTheStartingFolderWhateverItsCase) {
    ScratchFolder fixed;
    fixed.folder("Windows/System/deeper/deepest");
    fixed.folder("Windows/Fonts");
    fixed.folder("alpha");
    fixed.write("Windows/readme.txt");
    auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed}});
    DriveTree tree(disk);
    tree.Init(fixed.str() + "windows/SYSTEM");

    // The path as spelt on disk, down to the deepest folder of the start.
    EXPECT_EQ(tree.selectedPath(), fixed.str() + "Windows/System");
    const DriveTreeItem& drive = driveAt(tree, fixed);
    EXPECT_TRUE(drive.open);
    EXPECT_EQ(texts(drive), (std::vector<std::string>{"alpha", "Windows"}));
    const DriveTreeItem& windows = *drive.children[1];
    EXPECT_TRUE(windows.open);
    EXPECT_EQ(texts(windows), (std::vector<std::string>{"Fonts", "System"}));  // files left out
    // Opened: its one subfolder is known but not read.
    EXPECT_TRUE(windows.children[1]->open);
    ASSERT_EQ(windows.children[1]->children.size(), 1u);
    EXPECT_TRUE(windows.children[1]->children[0]->placeholder);
    EXPECT_FALSE(windows.children[0]->placeholder);  // Fonts has no subfolder: no button
    EXPECT_EQ(tree.selected(), windows.children[1].get());
    EXPECT_EQ(fullPath(*windows.children[0]), fixed.str() + "Windows/Fonts");
}

TEST(DriveTree, AStartThatExistsOnlyPartlyOpensItsExistingPart) {
    ScratchFolder fixed;
    fixed.folder("jobs/2026");
    auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed}});
    DriveTree tree(disk);
    tree.Init(fixed.str() + "jobs/missing/2026");
    EXPECT_EQ(tree.selectedPath(), fixed.str() + "jobs");

    // A start on no drive at all: nothing opened, the start stays the path.
    DriveTree elsewhere(disk);
    elsewhere.Init("/no/such/drive");
    EXPECT_EQ(elsewhere.selected(), nullptr);
    EXPECT_EQ(elsewhere.selectedPath(), "/no/such/drive");
}

TEST(DriveTree, RemovableAndCdRomDrivesAreNotReadBeforeTheyAreOpened) {
    ScratchFolder fixed, stick, disc;
    stick.folder("programs");
    disc.folder("archive");
    auto disk =
        std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed},
                                                      {stick.str(), "", DriveKind::Removable},
                                                      {disc.str(), "", DriveKind::CdRom}});
    DriveTree tree(disk);
    tree.Init(fixed.str());
    EXPECT_FALSE(disk->touched(stick.str()));
    EXPECT_FALSE(disk->touched(disc.str()));
    // Each shows a button all the same, with its own picture.
    EXPECT_TRUE(driveAt(tree, stick).openable());
    EXPECT_EQ(driveAt(tree, stick).image, 41);
    EXPECT_EQ(driveAt(tree, disc).image, 43);
    EXPECT_EQ(driveAt(tree, fixed).image, 42);

    ASSERT_TRUE(tree.Open(mutableDrive(tree, stick)));
    EXPECT_EQ(texts(driveAt(tree, stick)), std::vector<std::string>{"programs"});
    EXPECT_FALSE(disk->touched(disc.str()));
}

TEST(DriveTree, ButtonsComeAndGoWithWhatTheBranchHolds) {
    ScratchFolder fixed, filesOnly, empty;
    fixed.folder("locked/inner");
    filesOnly.write("O1000.PM");
    auto disk =
        std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed},
                                                      {filesOnly.str(), "", DriveKind::Removable},
                                                      {empty.str(), "", DriveKind::Removable}});
    DriveTree tree(disk);
    tree.Init(fixed.str());

    // A drive of files only: opening is refused and its button goes.
    DriveTreeItem& files = mutableDrive(tree, filesOnly);
    EXPECT_FALSE(tree.Open(files));
    EXPECT_FALSE(files.openable());
    // A drive that holds nothing (no disk in it yet) keeps its button for another try.
    DriveTreeItem& nothing = mutableDrive(tree, empty);
    EXPECT_FALSE(tree.Open(nothing));
    EXPECT_TRUE(nothing.openable());
    EXPECT_FALSE(nothing.open);

    // A folder that cannot be read: no children, no error, the opening refused.
    DriveTreeItem& locked = *driveAt(tree, fixed).children[0];
    ASSERT_TRUE(locked.placeholder);
    disk->refuse(fixed.str() + "locked");
    EXPECT_FALSE(tree.Open(locked));
    EXPECT_TRUE(locked.children.empty());
    EXPECT_FALSE(locked.openable());
}

TEST(DriveTree, ClosingForgetsTheBranchSoThatTheNextOpeningReadsItAfresh) {
    ScratchFolder fixed;
    fixed.folder("parts/old");
    auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{{fixed.str(), "", DriveKind::Fixed}});
    DriveTree tree(disk);
    tree.Init(fixed.str() + "parts/old");
    DriveTreeItem& parts = *mutableDrive(tree, fixed).children[0];
    ASSERT_EQ(texts(parts), std::vector<std::string>{"old"});

    fixed.folder("parts/New");
    tree.Close(parts);
    EXPECT_TRUE(parts.children.empty());
    EXPECT_TRUE(parts.placeholder);
    // The selection was inside: it moves up to the closed branch.
    EXPECT_EQ(tree.selected(), &parts);
    EXPECT_EQ(tree.selectedPath(), fixed.str() + "parts");

    ASSERT_TRUE(tree.Open(parts));
    EXPECT_EQ(texts(parts), (std::vector<std::string>{"New", "old"}));

    // A folder whose subfolders went meanwhile loses its button when closed.
    std::filesystem::remove(fixed / "parts/New");
    std::filesystem::remove(fixed / "parts/old");
    tree.Close(parts);
    EXPECT_FALSE(parts.openable());
    // A drive always gets its button back.
    DriveTreeItem& drive = mutableDrive(tree, fixed);
    tree.Close(drive);
    EXPECT_TRUE(drive.placeholder);
}

TEST(DriveTree, ADriveThatDoesNotAnswerIsGivenUpWithinTheLimit) {
    ScratchFolder fixed, network;
    network.folder("shared");
    auto disk = std::make_shared<TreeDisk>(std::vector<Drive>{
        {fixed.str(), "", DriveKind::Fixed}, {network.str(), "", DriveKind::Network}});
    disk->hang(network.str());
    DriveTree tree(disk, 50ms);
    const auto started = std::chrono::steady_clock::now();
    tree.Init(fixed.str());
    // Its button stays: the operator may try again when it answers.
    EXPECT_TRUE(driveAt(tree, network).openable());
    EXPECT_FALSE(tree.Open(mutableDrive(tree, network)));
    EXPECT_TRUE(driveAt(tree, network).openable());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);

    disk->release();
    // Once the stuck calls came back, the drive reads as any other.
    for (int i = 0; i < 100 && tree.stuckDiskCalls() > 0; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(tree.Open(mutableDrive(tree, network)));
    EXPECT_EQ(texts(driveAt(tree, network)), std::vector<std::string>{"shared"});
}

TEST(DriveTree, FullPathsJoinTheTextsBelowTheDriveRoot) {
    const auto item = [](std::string text, DriveTreeItem* parent) {
        DriveTreeItem made;
        made.text = std::move(text);
        made.drive = parent == nullptr;
        made.parent = parent;
        return made;
    };
    DriveTreeItem root = item("/", nullptr);
    DriveTreeItem home = item("home", &root);
    DriveTreeItem user = item("op", &home);
    EXPECT_EQ(fullPath(root), "/");
    EXPECT_EQ(fullPath(home), "/home");
    EXPECT_EQ(fullPath(user), "/home/op");
    DriveTreeItem stick = item("/media/usb/", nullptr);
    DriveTreeItem folder = item("NC", &stick);
    EXPECT_EQ(fullPath(folder), "/media/usb/NC");
}
