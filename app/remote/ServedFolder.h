// The folder the CNC works in, held open as a descriptor. Every name is looked up relative to
// it and never leaves it: names carry no path, and a symbolic link is followed only while it
// stays beneath the folder. An entry whose link leads out is reported as such and never read,
// written, deleted or changed.
#pragma once

#include "base/UniqueFd.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::remote {

enum class EntryKind {
    File,     // a regular file, or a link to one inside the folder
    Folder,   // a folder, or a link to one inside the folder
    Other,    // anything else: device, pipe, socket, dangling link
    Outside,  // a link that leads out of the folder
};

struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::Other;
};

struct FileFacts {
    uint64_t size = 0;
    time_t created = 0;  // birth time where the file system keeps one, else modification time
    bool readOnly = false;
};

class ServedFolder {
  public:
    // Opens path; on failure (errno set) the folder held so far stays.
    bool open(const std::string& path);
    bool isOpen() const { return static_cast<bool>(folder_); }
    int descriptor() const { return folder_.get(); }

    // Entries whose names match the pattern (WildcardPattern.h), "." and ".." never; sorted
    // (listedBefore), so the CNC sees a stable order.
    std::vector<FolderEntry> matches(std::string_view pattern) const;
    // The entry of exactly this name, else the first that equals it without regard to case.
    std::optional<FolderEntry> findByName(std::string_view name) const;

    // Size, creation time and lock of a File entry; nothing (errno set) when it cannot be had.
    std::optional<FileFacts> factsOf(const FolderEntry& entry) const;
    // A File entry opened for reading; invalid (errno set) when that fails.
    UniqueFd openForReading(const FolderEntry& entry) const;
    // Deletes a File or Other entry (a link itself, never what it points to). A read-only file
    // is refused with EACCES: the lock protects it from deletion, as the CNC expects.
    bool remove(const FolderEntry& entry) const;
    // Sets or clears the lock (all write permissions off; owner write on) of a File entry.
    bool setReadOnly(const FolderEntry& entry, bool readOnly) const;
    // Bytes free for this user on the folder's file system.
    std::optional<uint64_t> freeBytes() const;

  private:
    EntryKind classify(std::string_view name, unsigned char directoryType) const;

    UniqueFd folder_;
};

// The order the CNC sees: by name without regard to case, then byte by byte.
bool listedBefore(const FolderEntry& a, const FolderEntry& b);

// Opens name below folder, following symbolic links only while they stay beneath it; a link
// that leads out fails with EXDEV. O_CLOEXEC (and, without O_PATH, O_NOCTTY) is added.
UniqueFd openBeneath(int folder, const std::string& name, int flags);

}  // namespace qel::remote
