#include "panes/Drives.h"

#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace qel {

namespace {
// Room for the volume name, as much as the combo shows.
constexpr size_t kLongestLabel = 19;

constexpr std::string_view kPseudoTypes[] = {
    "proc",       "sysfs",      "cgroup",    "cgroup2",         "devpts",      "devtmpfs",
    "mqueue",     "securityfs", "debugfs",   "tracefs",         "pstore",      "bpf",
    "configfs",   "fusectl",    "hugetlbfs", "autofs",          "binfmt_misc", "efivarfs",
    "rpc_pipefs", "nsfs",       "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "nfsd",
    "rootfs",     "squashfs"};
constexpr std::string_view kNetworkTypes[] = {"nfs",        "nfs4", "cifs", "smb3", "smbfs",
                                              "fuse.sshfs", "9p",   "afs",  "ceph"};
constexpr std::string_view kSystemFolders[] = {"/proc", "/sys", "/dev"};
constexpr std::string_view kRemovableFolders[] = {"/media", "/run/media", "/mnt"};

template <size_t N>
bool isOneOf(std::string_view text, const std::string_view (&list)[N]) {
    return std::find(std::begin(list), std::end(list), text) != std::end(list);
}

// path is folder itself or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (path.substr(0, folder.size()) != folder) return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

// The fields of the mount table escape blanks, tabs, newlines and backslashes as \ooo.
std::string unescape(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](size_t at) { return field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

DriveKind kindOf(std::string_view type, std::string_view mountPoint) {
    if (isOneOf(type, kNetworkTypes) || type.starts_with("nfs")) return DriveKind::Network;
    if (type == "iso9660" || type == "udf") return DriveKind::CdRom;
    if (type == "tmpfs" || type == "ramfs") return DriveKind::RamDisk;
    for (std::string_view folder : kRemovableFolders) {
        if (isAtOrBelow(mountPoint, folder) && mountPoint != folder) return DriveKind::Removable;
    }
    return DriveKind::Fixed;
}

bool leftOut(std::string_view type, std::string_view mountPoint) {
    if (isOneOf(type, kPseudoTypes)) return true;
    for (std::string_view folder : kSystemFolders) {
        if (isAtOrBelow(mountPoint, folder)) return true;
    }
    // /run holds the system's own mounts, except the removable media below /run/media.
    return isAtOrBelow(mountPoint, "/run") && !isAtOrBelow(mountPoint, "/run/media");
}

std::string deviceName(std::string_view source) {
    const size_t slash = source.rfind('/');
    // A network source keeps its server ("server:/export" -> "server:/export").
    if (source.find(':') != std::string_view::npos || slash == std::string_view::npos ||
        slash + 1 == source.size()) {
        return std::string(source.substr(0, kLongestLabel));
    }
    return std::string(source.substr(slash + 1, kLongestLabel));
}

// Device path -> volume label, from the links in /dev/disk/by-label.
std::map<std::string, std::string> volumeLabels() {
    std::map<std::string, std::string> labels;
    const std::string folder = "/dev/disk/by-label/";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return labels;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        char resolved[PATH_MAX];
        const std::string link = folder + entry->d_name;
        if (::realpath(link.c_str(), resolved) == nullptr) continue;
        labels[resolved] = unescape(entry->d_name).substr(0, kLongestLabel);
    }
    ::closedir(dir);
    return labels;
}
}  // namespace

namespace {
// The drives of a mounts text; labelOf names the volume of a device, or gives "".
template <typename LabelOf>
std::vector<Drive> parseMounts(std::string_view mountsText, LabelOf labelOf) {
    std::vector<Drive> drives;
    std::istringstream lines{std::string(mountsText)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string source;
        std::string point;
        std::string type;
        if (!(fields >> source >> point >> type)) continue;
        point = unescape(point);
        source = unescape(source);
        if (point.empty() || point.front() != '/' || leftOut(type, point)) continue;
        Drive drive;
        drive.root = point.back() == '/' ? point : point + '/';
        drive.label = labelOf(source);
        if (drive.label.empty()) drive.label = deviceName(source);
        drive.kind = kindOf(type, point);
        auto same = std::find_if(drives.begin(), drives.end(),
                                 [&](const Drive& known) { return known.root == drive.root; });
        if (same != drives.end()) {
            *same = std::move(drive);  // mounted over: what is seen there now
        } else {
            drives.push_back(std::move(drive));
        }
    }
    auto root = std::find_if(drives.begin(), drives.end(),
                             [](const Drive& drive) { return drive.root == "/"; });
    if (root != drives.end()) std::rotate(drives.begin(), root, root + 1);
    return drives;
}
}  // namespace

std::vector<Drive> mountedDrives(std::string_view mountsText) {
    return parseMounts(mountsText, [](const std::string&) { return std::string(); });
}

std::vector<Drive> readMountedDrives() {
    std::ifstream file("/proc/self/mounts");
    std::ostringstream text;
    text << file.rdbuf();
    const auto labels = volumeLabels();
    std::vector<Drive> drives = parseMounts(text.str(), [&](const std::string& device) {
        char resolved[PATH_MAX];
        if (labels.empty() || device.empty() || device.front() != '/' ||
            ::realpath(device.c_str(), resolved) == nullptr) {
            return std::string();
        }
        const auto label = labels.find(resolved);
        return label == labels.end() ? std::string() : label->second;
    });
    if (drives.empty() || drives.front().root != "/") {
        drives.insert(drives.begin(), Drive{"/", "", DriveKind::Fixed});
    }
    return drives;
}

int driveOf(const std::vector<Drive>& drives, std::string_view path) {
    int best = -1;
    size_t bestLength = 0;
    for (size_t i = 0; i < drives.size(); ++i) {
        std::string_view root = drives[i].root;
        if (root.size() > 1) root.remove_suffix(1);  // "/media/usb/" -> "/media/usb"
        const bool holds = root == "/" ? path.starts_with('/') : isAtOrBelow(path, root);
        if (holds && (best < 0 || root.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = root.size();
        }
    }
    return best;
}

int driveImage(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable:
            return 41;
        case DriveKind::CdRom:
            return 43;
        case DriveKind::Network:
            return 44;
        case DriveKind::RamDisk:
            return 45;
        case DriveKind::Fixed:
            break;
    }
    return 42;
}

std::string driveText(const Drive& drive) {
    if (drive.kind == DriveKind::Removable || drive.label.empty()) return drive.root;
    return drive.label + " (" + drive.root + ")";
}

}  // namespace qel
