#include "remote/IncomingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qel::remote {

bool IncomingFile::create(int folder) {
    discard();
    std::string name;
    UniqueFd file = createTemporaryFile(folder, {}, name);
    if (!file) return false;
    folder_ = folder;
    file_ = std::move(file);
    temporaryName_ = std::move(name);
    return true;
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
    int failure = 0;
    if (::fsync(file_.get()) != 0 || !file_.close()) {
        failure = errno;
    } else {
        failure = renameWithoutReplacing(folder_, temporaryName_, name);
    }
    if (failure == 0) {
        temporaryName_.clear();
        return true;
    }
    discard();
    errno = failure;
    return false;
}

void IncomingFile::discard() {
    file_.close();
    if (!temporaryName_.empty()) ::unlinkat(folder_, temporaryName_.c_str(), 0);
    temporaryName_.clear();
}

}  // namespace qel::remote
