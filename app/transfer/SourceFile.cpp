#include "transfer/SourceFile.h"

#include "transfer/LocalFileNames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace qel {

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
    return 0;
}

int SourceFile::read(size_t count, std::string& data) {
    data.clear();
    if (!fd_) return EBADF;
    data.resize(count);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_.get(), data.data() + done, count - done,
                                  position_ + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int failure = errno;
            data.clear();
            return failure;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    data.resize(done);
    position_ += static_cast<off_t>(done);
    return 0;
}

}  // namespace qel
