#include "remote/ServedFolder.h"

#include "base/TemporaryFile.h"
#include "remote/CncNameCheck.h"
#include "remote/IncomingFile.h"
#include "remote/WildcardPattern.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace qel::remote {

namespace {

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISDIR(mode)) return EntryKind::Folder;
    return EntryKind::Other;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryStream = std::unique_ptr<DIR, DirectoryCloser>;

// A fresh stream over the folder's entries, independent of any earlier one.
DirectoryStream readEntries(int folder) {
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* directory = ::fdopendir(fd);
    if (directory == nullptr) ::close(fd);
    return DirectoryStream(directory);
}

// "." and "..", and files still being received, are no entries the CNC sees.
bool isHidden(std::string_view name) {
    return name == "." || name == ".." || isTemporaryFileName(name);
}

char folded(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool listedBefore(const FolderEntry& a, const FolderEntry& b) {
    const size_t common = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < common; ++i) {
        const char x = folded(a.name[i]), y = folded(b.name[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
}

UniqueFd openBeneath(int folder, const std::string& name, int flags) {
    // openat2 refuses any flag O_PATH does not take.
    if ((flags & O_PATH) == 0) flags |= O_NOCTTY;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return UniqueFd(static_cast<int>(fd));
    // Kernels without openat2: no link is followed at all, every one counts as leading out.
    UniqueFd plain(::openat(folder, name.c_str(), flags | O_CLOEXEC | O_NOFOLLOW));
    struct stat facts {};
    if (!plain && errno == ELOOP) errno = EXDEV;
    if (plain && (flags & O_PATH) != 0 && ::fstat(plain.get(), &facts) == 0 &&
        S_ISLNK(facts.st_mode)) {
        plain.close();
        errno = EXDEV;
    }
    return plain;
}

bool ServedFolder::open(const std::string& path) {
    UniqueFd opened(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened) return false;
    folder_ = std::move(opened);
    return true;
}

EntryKind ServedFolder::classify(std::string_view name, unsigned char directoryType) const {
    if (directoryType == DT_REG) return EntryKind::File;
    if (directoryType == DT_DIR) return EntryKind::Folder;
    if (directoryType != DT_LNK && directoryType != DT_UNKNOWN) return EntryKind::Other;
    const std::string path(name);
    struct stat facts {};
    if (::fstatat(folder_.get(), path.c_str(), &facts, AT_SYMLINK_NOFOLLOW) != 0) {
        return EntryKind::Other;
    }
    if (!S_ISLNK(facts.st_mode)) return kindOfMode(facts.st_mode);
    const UniqueFd target = openBeneath(folder_.get(), path, O_PATH);
    if (!target) return errno == EXDEV ? EntryKind::Outside : EntryKind::Other;
    if (::fstat(target.get(), &facts) != 0) return EntryKind::Other;
    return kindOfMode(facts.st_mode);
}

std::vector<FolderEntry> ServedFolder::matches(std::string_view pattern) const {
    std::vector<FolderEntry> found;
    if (!folder_) return found;
    DirectoryStream directory = readEntries(folder_.get());
    if (!directory) return found;
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::string_view name = entry->d_name;
        if (isHidden(name) || !matchesWildcard(pattern, name)) continue;
        found.push_back({std::string(name), classify(name, entry->d_type)});
    }
    std::sort(found.begin(), found.end(), listedBefore);
    return found;
}

std::optional<FolderEntry> ServedFolder::findByName(std::string_view name) const {
    if (!folder_ || name.empty() || leavesServedFolder(name) || isTemporaryFileName(name)) {
        return std::nullopt;
    }
    const std::string exact(name);
    struct stat facts {};
    if (::fstatat(folder_.get(), exact.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0) {
        return FolderEntry{exact, classify(exact, DT_UNKNOWN)};
    }
    std::optional<FolderEntry> found;
    DirectoryStream directory = readEntries(folder_.get());
    if (!directory) return std::nullopt;
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::string_view candidate = entry->d_name;
        if (isHidden(candidate) || !equalIgnoringCase(candidate, name)) continue;
        FolderEntry next{std::string(candidate), classify(candidate, entry->d_type)};
        if (!found || listedBefore(next, *found)) found = std::move(next);
    }
    return found;
}

std::optional<FileFacts> ServedFolder::factsOf(const FolderEntry& entry) const {
    if (entry.kind != EntryKind::File) {
        errno = EINVAL;
        return std::nullopt;
    }
    const UniqueFd file = openBeneath(folder_.get(), entry.name, O_PATH);
    struct statx facts {};
    if (!file ||
        ::statx(file.get(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &facts) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(facts.stx_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    FileFacts result;
    result.size = facts.stx_size;
    result.created = static_cast<time_t>(
        (facts.stx_mask & STATX_BTIME) != 0 ? facts.stx_btime.tv_sec : facts.stx_mtime.tv_sec);
    result.readOnly = (facts.stx_mode & S_IWUSR) == 0;
    return result;
}

UniqueFd ServedFolder::openForReading(const FolderEntry& entry) const {
    if (entry.kind != EntryKind::File) {
        errno = EINVAL;
        return UniqueFd();
    }
    // Non-blocking, so that a pipe put in the file's place cannot hold the worker.
    UniqueFd file = openBeneath(folder_.get(), entry.name, O_RDONLY | O_NONBLOCK);
    struct stat facts {};
    if (!file || ::fstat(file.get(), &facts) != 0) return UniqueFd();
    if (!S_ISREG(facts.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

bool ServedFolder::remove(const FolderEntry& entry) const {
    if (entry.kind == EntryKind::Folder || entry.kind == EntryKind::Outside) {
        errno = EPERM;
        return false;
    }
    if (entry.kind == EntryKind::File) {
        const std::optional<FileFacts> facts = factsOf(entry);
        if (!facts) return false;
        if (facts->readOnly) {
            errno = EACCES;
            return false;
        }
    }
    return ::unlinkat(folder_.get(), entry.name.c_str(), 0) == 0;
}

bool ServedFolder::setReadOnly(const FolderEntry& entry, bool readOnly) const {
    if (entry.kind != EntryKind::File) {
        errno = EPERM;
        return false;
    }
    const UniqueFd file = openBeneath(folder_.get(), entry.name, O_RDONLY | O_NONBLOCK);
    struct stat facts {};
    if (!file || ::fstat(file.get(), &facts) != 0) return false;
    if (!S_ISREG(facts.st_mode)) {
        errno = EINVAL;
        return false;
    }
    const mode_t permissions = facts.st_mode & 07777;
    const mode_t changed = readOnly
                               ? (permissions & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH))
                               : (permissions | S_IWUSR);
    return ::fchmod(file.get(), changed) == 0;
}

std::optional<uint64_t> ServedFolder::freeBytes() const {
    struct statvfs facts {};
    if (!folder_ || ::fstatvfs(folder_.get(), &facts) != 0) return std::nullopt;
    return static_cast<uint64_t>(facts.f_bavail) * facts.f_frsize;
}

}  // namespace qel::remote
