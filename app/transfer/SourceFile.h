// A local file being sent, read block by block. Opened read-only; others may read it
// meanwhile, but a cooperating writer is refused (a shared advisory lock).
#pragma once

#include "base/UniqueFd.h"

#include <sys/types.h>
#include <cstdint>
#include <string>

namespace qel {

class SourceFile {
  public:
    // Returns 0 or the errno value of the failure.
    int open(const std::string& folder, const std::string& name);
    // Reads up to count bytes following the last complete read; data is empty at the end of
    // the file. After a failure the same call reads the block again from the same place.
    // Returns 0 or the errno value.
    int read(size_t count, std::string& data);
    void close() { fd_.close(); }

    bool isOpen() const { return static_cast<bool>(fd_); }
    int64_t size() const { return size_; }

  private:
    UniqueFd fd_;
    int64_t size_ = 0;
    off_t position_ = 0;  // of the first byte not yet handed out
    std::string ahead_;   // read ahead; ahead_[aheadAt_] is the byte at position_
    size_t aheadAt_ = 0;
    bool atEnd_ = false;
};

}  // namespace qel
