// The "drives" of this PC: the mounted file systems, as /proc/self/mounts lists them. "/" comes
// first, then the others in mount order; pseudo file systems (proc, sysfs, cgroup, devpts, ...)
// and the system's own mounts below /proc, /sys, /dev and /run are left out. The kind of a drive
// chooses its picture and whether it may be read before the operator opens it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

enum class DriveKind {
    Fixed,      // a local disk, or a kind not known
    Removable,  // mounted below /media, /run/media or /mnt
    Network,    // nfs, cifs, sshfs, ...
    CdRom,      // iso9660, udf
    RamDisk,    // tmpfs, ramfs
};

struct Drive {
    std::string root;   // the mount point with a trailing '/': "/", "/media/usb/"
    std::string label;  // the volume label, else the name of the mounted device ("vda", "tmpfs")
    DriveKind kind = DriveKind::Fixed;
};

// The drives of a mounts text (the format of /proc/self/mounts, with its octal escapes). A
// mount point mounted over again counts once, at its first place, with the kind of the file
// system that is seen there now. Labels are the device names here.
std::vector<Drive> mountedDrives(std::string_view mountsText);

// The drives of this process, from /proc/self/mounts, with the volume labels that
// /dev/disk/by-label gives. Never empty: without a readable mount table there is still "/".
std::vector<Drive> readMountedDrives();

// The drive that holds path (absolute, '/'-separated): the one whose root is the longest
// leading run of whole components of path. -1 when none does.
int driveOf(const std::vector<Drive>& drives, std::string_view path);

// The picture of a drive in the shared image list: 41 removable, 42 fixed, 43 CD-ROM,
// 44 network, 45 RAM disk.
int driveImage(DriveKind kind);

// The drive's entry in the path combo: "LABEL (ROOT)"; a removable drive, or one without a
// label, shows only its root, so that it is never read before the operator goes there.
std::string driveText(const Drive& drive);

}  // namespace qel
