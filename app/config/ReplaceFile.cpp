#include "config/ReplaceFile.h"

#include "base/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace qel {

namespace {

bool writeAll(int fd, std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes bytes, syncs and closes; false at the first step that fails.
bool writeAndClose(UniqueFd fd, std::span<const std::byte> bytes) {
    if (!writeAll(fd.get(), bytes)) return false;
    if (::fsync(fd.get()) != 0 && errno != EINVAL) return false;  // EINVAL: cannot be synced
    return fd.close();
}

bool writeInPlace(const std::filesystem::path& file, std::span<const std::byte> bytes) {
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    return fd && writeAndClose(std::move(fd), bytes);
}

std::filesystem::path temporaryBeside(const std::filesystem::path& file) {
    static std::atomic<unsigned> counter{0};
    return file.parent_path() / ("." + file.filename().string() + "." + std::to_string(::getpid()) +
                                 "." + std::to_string(counter++) + ".tmp");
}

}  // namespace

bool replaceFile(const std::filesystem::path& file, std::span<const std::byte> bytes) {
    std::error_code ignored;
    std::filesystem::path target = std::filesystem::weakly_canonical(file, ignored);
    if (target.empty()) target = file;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ignored);

    // A file the operator made read-only stays unwritten, as an in-place write would find it.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
        errno = EACCES;
        return false;
    }

    const std::filesystem::path temporary = temporaryBeside(target);
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) {
        // Only a folder that takes no new file, around a file that may be written, is written in
        // place; on a full disk the old contents must stay.
        if (errno != EACCES && errno != EPERM) return false;
        return writeInPlace(target, bytes);
    }

    struct stat existing {};
    bool ok = true;
    if (::stat(target.c_str(), &existing) == 0)
        ok = ::fchmod(fd.get(), existing.st_mode & 07777) == 0;
    ok = ok && writeAndClose(std::move(fd), bytes);
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    const int cause = errno;
    ::unlink(temporary.c_str());
    errno = cause;
    return false;
}

}  // namespace qel
