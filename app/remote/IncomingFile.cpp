#include "remote/IncomingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace qel::remote {

namespace {
constexpr int kNameAttempts = 100;

// Hidden, and unique per process and file.
std::string temporaryNameFor(int attempt) {
    static std::atomic<unsigned> counter = 0;
    return std::string(kReceivingPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + "-" + std::to_string(attempt);
}

// Moves from to to within folder without ever replacing an existing to.
bool renameWithoutReplacing(int folder, const std::string& from, const std::string& to) {
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without that rename: a hard link refuses an existing name just the same.
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return false;
    ::unlinkat(folder, from.c_str(), 0);
    return true;
}
}  // namespace

bool IncomingFile::create(int folder) {
    discard();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = temporaryNameFor(attempt);
        UniqueFd file(::openat(folder, name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                               0666));
        if (file) {
            folder_ = folder;
            file_ = std::move(file);
            temporaryName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool IncomingFile::write(std::string_view data) {
    if (!file_) {
        errno = EBADF;
        return false;
    }
    while (!data.empty()) {
        const ssize_t written = ::write(file_.get(), data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool IncomingFile::commit(const std::string& name) {
    if (!file_) {
        errno = EBADF;
        return false;
    }
    bool kept = ::fsync(file_.get()) == 0 && file_.close() &&
                renameWithoutReplacing(folder_, temporaryName_, name);
    if (kept) {
        temporaryName_.clear();
        return true;
    }
    const int cause = errno;
    discard();
    errno = cause;
    return false;
}

void IncomingFile::discard() {
    file_.close();
    if (!temporaryName_.empty()) ::unlinkat(folder_, temporaryName_.c_str(), 0);
    temporaryName_.clear();
}

}  // namespace qel::remote
