#include "panes/LocalFileChanges.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qel {

namespace {
int resultOf(int status) {
    return status == 0 ? 0 : errno;
}
}  // namespace

int removeLocalFile(const std::string& path) {
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0) return errno;
    // unlink refuses a folder on Linux too, but says EISDIR only on some file systems.
    if (S_ISDIR(entry.st_mode)) return EISDIR;
    return resultOf(::unlink(path.c_str()));
}

int makeLocalFolder(const std::string& path) {
    return resultOf(::mkdir(path.c_str(), 0777));
}

int createLocalFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    return resultOf(::close(fd));
}

int renameLocalEntry(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno == EEXIST) {
        // On a file system that ignores case (a FAT stick) a new spelling of the same name
        // finds the entry itself.
        struct stat source {
        }, target{};
        if (::lstat(from.c_str(), &source) == 0 && ::lstat(to.c_str(), &target) == 0 &&
            source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
            return resultOf(::rename(from.c_str(), to.c_str()));
        }
        return EEXIST;
    }
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace rename: look first; the gap until the rename is
    // the operator's own.
    struct stat entry {};
    if (::lstat(to.c_str(), &entry) == 0) return EEXIST;
    return resultOf(::rename(from.c_str(), to.c_str()));
}

}  // namespace qel
