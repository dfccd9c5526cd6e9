// A local file being received. The data goes to a hidden file beside it and is put in place
// under its name only when the file is complete, so that a broken or cancelled transfer leaves
// no partial file, and a file being replaced stays as it was until its successor is whole.
#pragma once

#include "base/UniqueFd.h"

#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

class ReceivedFile {
  public:
    ReceivedFile() = default;
    ~ReceivedFile() { discard(); }
    ReceivedFile(const ReceivedFile&) = delete;
    ReceivedFile& operator=(const ReceivedFile&) = delete;

    // Starts receiving name in folder. replacing: the existing file (perhaps differing in case)
    // the operator agreed to replace; without it an existing file is never overwritten.
    // Returns 0 or the errno value of the failure.
    int create(const std::string& folder, const std::string& name,
               std::optional<std::string> replacing);
    // Appends data. Data is collected and written in large pieces; returns 0 or the errno
    // value of a failed write, after which the data is kept and flush() writes it again at the
    // same place.
    int write(std::string_view data);
    int flush();
    // Puts the complete file in place under its name. Returns 0 or the errno value; after a
    // failure the data is kept and commit() may be tried again.
    int commit();
    // Drops the unfinished data.
    void discard();

    bool isOpen() const { return static_cast<bool>(fd_); }
    const std::string& name() const { return name_; }
    off_t size() const { return written_ + static_cast<off_t>(pending_.size()); }

  private:
    int putInPlace(const std::string& target);

    UniqueFd fd_;
    std::string prefix_;
    std::string name_;
    std::string partPath_;
    std::optional<std::string> replacing_;
    std::string pending_;  // received, not yet written
    off_t written_ = 0;
};

}  // namespace qel
