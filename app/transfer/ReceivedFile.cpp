#include "transfer/ReceivedFile.h"

#include "base/FileErrorCause.h"
#include "base/TemporaryFile.h"
#include "base/Trace.h"
#include "transfer/LocalFileNames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace qel {

namespace {
// A failed deletion is only traced: what stays behind is named, nothing else depends on it.
void removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        trace("Unable to delete %s, cause = %d\n", path.c_str(),
              static_cast<int>(fileErrorCause(errno)));
    }
}

// Blocks of a hundred-odd bytes are written in pieces of this size: one system call per
// block would cost a tenth of a fast link's time.
constexpr size_t kWriteChunk = 64 * 1024;

}  // namespace

int ReceivedFile::create(const std::string& folder, const std::string& name,
                         std::optional<std::string> replacing) {
    discard();
    if (!isPlainFileName(name)) return EINVAL;
    prefix_ = folderPrefix(folder);
    struct stat info {};
    if (::stat((prefix_ + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return EISDIR;
    std::string partName;
    UniqueFd file = createTemporaryFile(AT_FDCWD, prefix_, partName);
    if (!file) return errno;
    fd_ = std::move(file);
    // Others may read the file while it grows, but a cooperating writer is kept out.
    ::flock(fd_.get(), LOCK_EX | LOCK_NB);
    partPath_ = prefix_ + partName;
    name_ = name;
    replacing_ = std::move(replacing);
    pending_.clear();
    written_ = 0;
    return 0;
}

int ReceivedFile::write(std::string_view data) {
    if (!fd_) return EBADF;
    pending_.append(data);
    return pending_.size() >= kWriteChunk ? flush() : 0;
}

int ReceivedFile::flush() {
    if (!fd_) return EBADF;
    size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::pwrite(fd_.get(), pending_.data() + done, pending_.size() - done,
                                   written_ + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int failure = n < 0 ? errno : EIO;
            // What was written stays written; the rest is tried again from where it stopped.
            pending_.erase(0, done);
            written_ += static_cast<off_t>(done);
            return failure;
        }
        done += static_cast<size_t>(n);
    }
    written_ += static_cast<off_t>(done);
    pending_.clear();
    return 0;
}

int ReceivedFile::putInPlace(const std::string& target) {
    if (replacing_) return ::rename(partPath_.c_str(), target.c_str()) == 0 ? 0 : errno;
    // No agreement to replace: a file that appeared meanwhile under the name stays.
    return renameWithoutReplacing(AT_FDCWD, partPath_, target);
}

int ReceivedFile::commit() {
    if (!fd_) return EBADF;
    if (const int failure = flush()) return failure;
    if (::fsync(fd_.get()) != 0 && errno != EINVAL) return errno;
    const std::string target = prefix_ + name_;
    if (const int failure = putInPlace(target)) return failure;
    fd_.close();
    // The file replaced under another case of the same name goes as well.
    if (replacing_ && *replacing_ != name_) removeFile(prefix_ + *replacing_);
    partPath_.clear();
    replacing_.reset();
    return 0;
}

void ReceivedFile::discard() {
    pending_.clear();
    if (!fd_) return;
    fd_.close();
    removeFile(partPath_);
    partPath_.clear();
    replacing_.reset();
}

}  // namespace qel
