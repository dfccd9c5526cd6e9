// A file the CNC sends, written under a hidden temporary name in the served folder and given its
// real name only when the whole file has arrived. An existing file of that name is never
// replaced, and a transfer that fails or is broken off leaves nothing behind: whatever was not
// committed is deleted when the object goes.
#pragma once

#include "base/TemporaryFile.h"
#include "base/UniqueFd.h"

#include <string>
#include <string_view>

namespace qel::remote {

class IncomingFile {
  public:
    IncomingFile() = default;
    ~IncomingFile() { discard(); }
    IncomingFile(const IncomingFile&) = delete;
    IncomingFile& operator=(const IncomingFile&) = delete;

    // Creates the temporary file in folder (a descriptor that must outlive this object).
    // False (errno set) when it cannot be created.
    bool create(int folder);
    // Appends all of data; false (errno set) on a write error.
    bool write(std::string_view data);
    // Flushes the data to the disk and gives the file its name; false (errno set) when that fails,
    // for example because a file of that name appeared meanwhile (EEXIST). Then nothing is kept.
    bool commit(const std::string& name);
    // Deletes the temporary file, if any.
    void discard();

  private:
    int folder_ = -1;
    UniqueFd file_;
    std::string temporaryName_;
};

}  // namespace qel::remote
