#include "panes/LocalFolder.h"

#include "base/UniqueFd.h"
#include "config/FixedText.h"
#include "panes/MatchPattern.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qel {

namespace {
constexpr uint64_t kMegabyte = 1048576;
constexpr uint64_t kTenKilobytes = 10240;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string joined(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

bool isFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Calls found(name) for every folder of the open folder fd until it returns false; the
// entry's kind is looked up only where the directory entry does not tell it (a link, a file
// system without kinds). Tells whether there was any entry at all.
template <typename Found>
bool forEachFolder(int fd, DIR* dir, Found&& found) {
    bool anyEntry = false;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (isDotOrDotDot(entry->d_name)) continue;
        anyEntry = true;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat status {};
            folder = ::fstatat(fd, entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
        }
        if (folder && !found(entry->d_name)) break;
        errno = 0;
    }
    return anyEntry;
}

// The list's entry for the name in the open folder fd, whose directory entry gave kind (a
// DT_ value); none when the filter hides it.
std::optional<LocalEntry> entryOf(int fd, const char* name, unsigned char kind,
                                  std::string_view filter, const MemoryTypeTable& types) {
    LocalEntry item;
    item.name = name;
    const bool folderKnown = kind == DT_DIR || kind == DT_REG;
    item.folder = kind == DT_DIR;
    // A file that the filter hides needs no look at the disk, unless it may be a folder.
    if (folderKnown && !item.folder && !MatchPatternList(item.name, filter)) return std::nullopt;
    if (!folderKnown || !item.folder) {
        struct stat status {};
        if (::fstatat(fd, name, &status, 0) == 0) {
            item.folder = S_ISDIR(status.st_mode);
            if (!item.folder) item.size = static_cast<uint64_t>(status.st_size);
        }
        // A link to nothing, or a name gone meanwhile: a file of 0 bytes.
    }
    if (item.folder) {
        item.image = kLocalFolderImage;
    } else {
        if (!folderKnown && !MatchPatternList(item.name, filter)) return std::nullopt;
        item.image = fileImage(item.name, types);
    }
    return item;
}

// opendir with the descriptor kept for fstatat; errno set when it fails.
DirHandle openFolder(const std::string& folder, int& fd) {
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DirHandle dir(::fdopendir(fd));
    if (!dir) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return dir;
}

// A folder of parent whose name equals name without regard to case.
std::optional<std::string> folderInAnyCase(const std::string& parent, std::string_view name) {
    DirHandle dir(::opendir(parent.c_str()));
    if (!dir) return std::nullopt;
    const std::string wanted(name);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name) || ::strcasecmp(entry->d_name, wanted.c_str()) != 0) {
            continue;
        }
        if (isFolder(joined(parent, entry->d_name))) return std::string(entry->d_name);
    }
    return std::nullopt;
}
}  // namespace

bool listedBefore(const LocalEntry& a, const LocalEntry& b) {
    if (a.folder != b.folder) return a.folder;
    const int order = ::strcasecmp(a.name.c_str(), b.name.c_str());
    if (order != 0) return order < 0;
    return a.name < b.name;
}

void sortFoldersFirst(std::vector<LocalEntry>& entries) {
    std::sort(entries.begin(), entries.end(), listedBefore);
}

std::string sizeText(uint64_t bytes) {
    char text[48];
    const double value = static_cast<double>(bytes);
    if (bytes >= kMegabyte) {
        std::snprintf(text, sizeof text, "%.2fMB", value / static_cast<double>(kMegabyte));
    } else if (bytes >= kTenKilobytes) {
        std::snprintf(text, sizeof text, "%.1fKB", value / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.2fKB", value / 1024.0);
    }
    return text;
}

int fileImage(std::string_view name, const MemoryTypeTable& types) {
    int image = kLocalFileImage;
    for (const MemoryTypeEntry& type : types) {
        if (type.inUse == 0 || !MatchPatternList(name, textOf(type.wildcards))) continue;
        image = type.iconIndex;
        if (image != kLocalFileImage) break;
    }
    return image;
}

std::string displayFilter(std::string_view filterText) {
    return filterText.empty() ? std::string("*") : std::string(filterText);
}

FolderListing listFolder(const std::string& folder, std::string_view filter,
                         const MemoryTypeTable& types) {
    FolderListing listing;
    int fd = -1;
    DirHandle dir = openFolder(folder, fd);
    if (!dir) {
        listing.error = errno;
        return listing;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name)) continue;
        if (auto item = entryOf(fd, entry->d_name, entry->d_type, filter, types)) {
            listing.entries.push_back(std::move(*item));
        }
        errno = 0;
    }
    if (errno != 0) listing.error = errno;
    sortFoldersFirst(listing.entries);
    return listing;
}

EntryLookup lookUpEntries(const std::string& folder, const std::vector<std::string>& names,
                          std::string_view filter, const MemoryTypeTable& types) {
    EntryLookup lookup;
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        lookup.error = errno;
        return lookup;
    }
    for (const std::string& name : names) {
        struct stat status {};
        std::optional<LocalEntry> entry;
        if (!name.empty() && name.find('/') == std::string::npos && !isDotOrDotDot(name.c_str()) &&
            ::fstatat(fd.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            const unsigned char kind = S_ISDIR(status.st_mode)   ? DT_DIR
                                       : S_ISREG(status.st_mode) ? DT_REG
                                                                 : DT_UNKNOWN;
            entry = entryOf(fd.get(), name.c_str(), kind, filter, types);
        }
        lookup.entries.emplace_back(name, std::move(entry));
    }
    return lookup;
}

SubfolderListing listSubfolders(const std::string& folder) {
    SubfolderListing listing;
    int fd = -1;
    DirHandle dir = openFolder(folder, fd);
    if (!dir) {
        listing.error = errno;
        return listing;
    }
    listing.anyEntry = forEachFolder(fd, dir.get(), [&](const char* name) {
        listing.names.emplace_back(name);
        return true;
    });
    if (errno != 0) listing.error = errno;
    return listing;
}

bool hasSubfolder(const std::string& folder) {
    int fd = -1;
    DirHandle dir = openFolder(folder, fd);
    if (!dir) return false;
    bool found = false;
    forEachFolder(fd, dir.get(), [&](const char*) {
        found = true;
        return false;
    });
    return found;
}

PathWalk walkPath(const std::string& root, std::string_view path) {
    PathWalk walk;
    walk.complete = true;
    std::string current = withoutTrailingSlash(root);
    size_t start = 0;
    while (start < path.size()) {
        size_t stop = path.find('/', start);
        if (stop == std::string_view::npos) stop = path.size();
        const std::string_view component = path.substr(start, stop - start);
        start = stop + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (walk.folders.empty()) continue;  // never above the drive root
            walk.folders.pop_back();
            current = withoutTrailingSlash(current.substr(0, current.rfind('/') + 1));
            continue;
        }
        std::optional<std::string> found;
        if (isFolder(joined(current, component))) {
            found = std::string(component);
        } else {
            found = folderInAnyCase(current, component);
        }
        if (!found) {
            walk.complete = false;
            break;
        }
        current = joined(current, *found);
        walk.folders.push_back(std::move(*found));
    }
    return walk;
}

std::optional<uint64_t> freeBytes(const std::string& folder) {
    struct statvfs status {};
    if (::statvfs(folder.c_str(), &status) != 0) return std::nullopt;
    return static_cast<uint64_t>(status.f_bavail) * static_cast<uint64_t>(status.f_frsize);
}

std::string freeSpaceText(std::optional<uint64_t> bytes) {
    if (!bytes) return "???";
    return std::to_string(*bytes / 1024) + " KB";
}

}  // namespace qel
