#include "base/TemporaryFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace qel {

namespace {
constexpr int kNameAttempts = 100;

// Hidden, and unique per process and file.
std::string temporaryNameFor(int attempt) {
    static std::atomic<unsigned> counter = 0;
    return std::string(kTemporaryFilePrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + "-" + std::to_string(attempt);
}
}  // namespace

UniqueFd createTemporaryFile(int folder, const std::string& prefix, std::string& name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = temporaryNameFor(attempt);
        UniqueFd file(::openat(folder, (prefix + candidate).c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                               0666));
        if (file) {
            name = std::move(candidate);
            return file;
        }
        if (errno != EEXIST) return UniqueFd();
    }
    errno = EEXIST;
    return UniqueFd();
}

int renameWithoutReplacing(int folder, const std::string& from, const std::string& to) {
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without that rename: a hard link refuses an existing name just the same.
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return errno;
    ::unlinkat(folder, from.c_str(), 0);
    return 0;
}

}  // namespace qel
