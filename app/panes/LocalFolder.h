// One folder of the PC as the local pane shows it: its subfolders first, then the files that
// pass the display filter, each file with its size and the icon of its memory type. Everything
// here reads the disk and may be slow on a network drive; the pane runs it on a worker.
#pragma once

#include "config/ConfigRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel {

inline constexpr int kLocalFolderImage = 0;
inline constexpr int kLocalFileImage = 2;

using MemoryTypeTable = std::array<MemoryTypeEntry, kMemoryTypeSlots>;

struct LocalEntry {
    std::string name;
    uint64_t size = 0;  // bytes; 0 for a folder
    int image = kLocalFileImage;
    bool folder = false;
};

// The list's order: folders before files, each group ascending by name without regard to case
// (names that differ only in case keep a fixed order between them).
bool listedBefore(const LocalEntry& a, const LocalEntry& b);
void sortFoldersFirst(std::vector<LocalEntry>& entries);

// The size column: "%.2fMB" from 1,048,576 bytes, "%.1fKB" from 10,240 bytes, "%.2fKB" below.
std::string sizeText(uint64_t bytes);

// The icon of a file: the first used memory type whose wildcards match the name, else the plain
// file (2).
int fileImage(std::string_view name, const MemoryTypeTable& types);

// The display filter: an empty text shows everything.
std::string displayFilter(std::string_view filterText);

struct FolderListing {
    std::vector<LocalEntry> entries;  // sorted folders first
    int error = 0;                    // errno when the folder could not be read
};

// Reads folder ('/'-terminated or not): every subfolder, and the files whose names match
// filter (a MatchPatternList list). "." and ".." are left out; a link counts as what it points
// to, a broken link as an empty file.
FolderListing listFolder(const std::string& folder, std::string_view filter,
                         const MemoryTypeTable& types);

// Some names of a folder looked at again, after the watcher told of them: each with its entry
// as listFolder gives it, or none when it is gone or the filter hides it.
struct EntryLookup {
    std::vector<std::pair<std::string, std::optional<LocalEntry>>> entries;
    int error = 0;  // errno when the folder itself could not be opened
};
EntryLookup lookUpEntries(const std::string& folder, const std::vector<std::string>& names,
                          std::string_view filter, const MemoryTypeTable& types);

// The subfolders of a folder, for the drive tree: their names as read, unsorted.
struct SubfolderListing {
    std::vector<std::string> names;
    bool anyEntry = false;  // the folder holds something besides "." and ".."
    int error = 0;          // errno when the folder could not be read
};
SubfolderListing listSubfolders(const std::string& folder);
// The folder holds at least one folder; reading stops at the first.
bool hasSubfolder(const std::string& folder);

// Where a path leads on the disk, below its drive root.
struct PathWalk {
    std::vector<std::string> folders;  // the names as found on disk, from below the root down
    bool complete = false;             // every component was found as a folder
};

// Follows the components of path (separated by '/') below root, each name as spelt first,
// then without regard to case; stops at the first that is not a folder.
PathWalk walkPath(const std::string& root, std::string_view path);

// Bytes free for the user on the file system of folder; nothing when it cannot tell.
std::optional<uint64_t> freeBytes(const std::string& folder);
// "%lu KB", or "???" when unknown.
std::string freeSpaceText(std::optional<uint64_t> bytes);

}  // namespace qel
