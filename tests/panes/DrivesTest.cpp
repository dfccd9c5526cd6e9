// The drives of a mount table: what is left out, the kinds, the order, escapes and mounts over
// mounts; which drive holds a path; the texts and pictures of the path combo.
#include "panes/Drives.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

constexpr const char* kMounts =
    "sysfs /sys sysfs rw,nosuid 0 0\n"
    "proc /proc proc rw 0 0\n"
    "/dev/sdb1 /media/op/USB\\040STICK vfat rw 0 0\n"
    "/dev/vda / ext4 rw,relatime 0 0\n"
    "devtmpfs /dev devtmpfs rw 0 0\n"
    "tmpfs /dev/shm tmpfs rw 0 0\n"
    "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
    "tmpfs /run/user/1000 tmpfs rw 0 0\n"
    "/dev/sr0 /run/media/op/DISC iso9660 ro 0 0\n"
    "server:/export/progs /net/progs nfs4 rw 0 0\n"
    "//nas/cnc /mnt/nas cifs rw 0 0\n"
    "tmpfs /scratch tmpfs rw 0 0\n"
    "/dev/vda2 /boot ext4 rw 0 0\n"
    "/dev/vdb1 /boot xfs rw 0 0\n"
    "garbage\n"
    "\n";

TEST(MountedDrives, LeavesOutPseudoAndSystemMountsAndPutsTheRootFirst) {
    const std::vector<Drive> drives = mountedDrives(kMounts);
    std::vector<std::string> roots;
    for (const Drive& drive : drives) roots.push_back(drive.root);
    EXPECT_EQ(roots, (std::vector<std::string>{"/", "/media/op/USB STICK/", "/run/media/op/DISC/",
                                               "/net/progs/", "/mnt/nas/", "/scratch/", "/boot/"}));
}

TEST(MountedDrives, TellsTheKindByFileSystemThenByPlace) {
    const std::vector<Drive> drives = mountedDrives(kMounts);
    ASSERT_EQ(drives.size(), 7u);
    EXPECT_EQ(drives[0].kind, DriveKind::Fixed);
    EXPECT_EQ(drives[0].label, "vda");
    EXPECT_EQ(drives[1].kind, DriveKind::Removable);
    EXPECT_EQ(drives[2].kind, DriveKind::CdRom);  // an optical disc, also below /run/media
    EXPECT_EQ(drives[3].kind, DriveKind::Network);
    EXPECT_EQ(drives[3].label, "server:/export/prog");  // a label has room for 19 characters
    EXPECT_EQ(drives[4].kind, DriveKind::Network);      // cifs below /mnt is still a network drive
    EXPECT_EQ(drives[5].kind, DriveKind::RamDisk);
    // /boot mounted over: seen once, as what is mounted there now.
    EXPECT_EQ(drives[6].label, "vdb1");
}

TEST(MountedDrives, AnEmptyOrUnreadableTableGivesNoDrivesAndTheReaderStillHasTheRoot) {
    EXPECT_TRUE(mountedDrives("").empty());
    const std::vector<Drive> drives = readMountedDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives.front().root, "/");
}

TEST(DriveOf, TakesTheLongestRootOfWholeComponents) {
    const std::vector<Drive> drives = {{"/", "vda", DriveKind::Fixed},
                                       {"/media/usb/", "", DriveKind::Removable},
                                       {"/media/usb/inner/", "", DriveKind::Removable}};
    EXPECT_EQ(driveOf(drives, "/home/op/"), 0);
    EXPECT_EQ(driveOf(drives, "/media/usb"), 1);
    EXPECT_EQ(driveOf(drives, "/media/usb/progs/"), 1);
    EXPECT_EQ(driveOf(drives, "/media/usb2/progs/"), 0);  // not a component of /media/usb
    EXPECT_EQ(driveOf(drives, "/media/usb/inner/x"), 2);
    EXPECT_EQ(driveOf(drives, "relative/path"), -1);
    EXPECT_EQ(driveOf({}, "/"), -1);
}

TEST(DriveText, ShowsLabelAndRootButOnlyTheRootOfARemovableDrive) {
    EXPECT_EQ(driveText({"/", "vda", DriveKind::Fixed}), "vda (/)");
    EXPECT_EQ(driveText({"/net/p/", "srv:/p", DriveKind::Network}), "srv:/p (/net/p/)");
    EXPECT_EQ(driveText({"/media/usb/", "STICK", DriveKind::Removable}), "/media/usb/");
    EXPECT_EQ(driveText({"/x/", "", DriveKind::Fixed}), "/x/");
    EXPECT_EQ(driveImage(DriveKind::Removable), 41);
    EXPECT_EQ(driveImage(DriveKind::Fixed), 42);
    EXPECT_EQ(driveImage(DriveKind::CdRom), 43);
    EXPECT_EQ(driveImage(DriveKind::Network), 44);
    EXPECT_EQ(driveImage(DriveKind::RamDisk), 45);
}

}  // namespace
}  // namespace qel
