// The disk side of the local pane and the drive tree: the drives, a path walked down, a folder
// read, its subfolders, its free space, and the changes the operator makes to a folder. The pane
// calls it on worker threads (TimedDiskCalls); a test puts in one that hangs like a network drive
// that no longer answers, or that shows a folder as a drive of its own.
#pragma once

#include "panes/Drives.h"
#include "panes/LocalFileChanges.h"
#include "panes/LocalFolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

class LocalDisk {
  public:
    virtual ~LocalDisk() = default;
    // Read on the window thread: the mount table is the kernel's, it never waits for a disk.
    virtual std::vector<Drive> drives() { return readMountedDrives(); }
    virtual PathWalk walk(const std::string& root, std::string_view path) {
        return walkPath(root, path);
    }
    virtual FolderListing list(const std::string& folder, std::string_view filter,
                               const MemoryTypeTable& types) {
        return listFolder(folder, filter, types);
    }
    virtual EntryLookup lookUp(const std::string& folder, const std::vector<std::string>& names,
                               std::string_view filter, const MemoryTypeTable& types) {
        return lookUpEntries(folder, names, filter, types);
    }
    virtual SubfolderListing subfolders(const std::string& folder) {
        return listSubfolders(folder);
    }
    virtual bool holdsSubfolder(const std::string& folder) { return hasSubfolder(folder); }
    virtual std::optional<uint64_t> freeSpace(const std::string& folder) {
        return freeBytes(folder);
    }
    // Each gives 0 or the errno of the failure. None of them ever replaces an existing entry.
    virtual int removeFile(const std::string& path) { return removeLocalFile(path); }
    virtual int makeFolder(const std::string& path) { return makeLocalFolder(path); }
    virtual int createEmptyFile(const std::string& path) { return createLocalFile(path); }
    virtual int renameEntry(const std::string& from, const std::string& to) {
        return renameLocalEntry(from, to);
    }
};

}  // namespace qel
