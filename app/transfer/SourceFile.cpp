#include "transfer/SourceFile.h"

#include "transfer/LocalFileNames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

namespace qel {

namespace {
constexpr size_t kReadChunk = 64 * 1024;
}  // namespace

int SourceFile::open(const std::string& folder, const std::string& name) {
    fd_.close();
    const int fd = ::open((folderPrefix(folder) + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    UniqueFd owned(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return errno;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) return EWOULDBLOCK;
    fd_ = std::move(owned);
    size_ = info.st_size;
    position_ = 0;
    ahead_.clear();
    aheadAt_ = 0;
    atEnd_ = false;
    return 0;
}

int SourceFile::read(size_t count, std::string& data) {
    data.clear();
    if (!fd_) return EBADF;
    // Read ahead in large pieces: one system call per block of a hundred-odd bytes would cost
    // a tenth of a fast link's time.
    while (ahead_.size() - aheadAt_ < count && !atEnd_) {
        ahead_.erase(0, aheadAt_);
        aheadAt_ = 0;
        const size_t have = ahead_.size();
        ahead_.resize(have + kReadChunk);
        const ssize_t n = ::pread(fd_.get(), ahead_.data() + have, kReadChunk,
                                  position_ + static_cast<off_t>(have));
        if (n < 0) {
            const int failure = errno;
            ahead_.resize(have);
            if (failure == EINTR) continue;
            return failure;
        }
        ahead_.resize(have + static_cast<size_t>(n));
        atEnd_ = n == 0;
    }
    const size_t taken = std::min(count, ahead_.size() - aheadAt_);
    data.assign(ahead_, aheadAt_, taken);
    aheadAt_ += taken;
    position_ += static_cast<off_t>(taken);
    return 0;
}

}  // namespace qel
