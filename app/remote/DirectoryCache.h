// The sorted files of the last "MPDR" pattern, kept between the CNC's requests. A CNC reads a
// directory entry by entry (0, 1, 2, ...): searching and sorting the folder anew for every
// entry made a listing cost quadratic time. The listing is read again only when the pattern,
// the folder, or the folder's contents (its modification time) changed.
#pragma once

#include "remote/ServedFolder.h"

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace qel::remote {

class DirectoryCache {
  public:
    // The files (no folders) of folder matching pattern, in the order the CNC sees.
    const std::vector<FolderEntry>& files(const ServedFolder& folder, std::string_view pattern);
    // Forgets the listing, so the next request reads the folder again.
    void clear() { valid_ = false; }

  private:
    bool valid_ = false;
    std::string pattern_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    timespec modified_{};
    timespec read_{};
    std::vector<FolderEntry> files_;
};

}  // namespace qel::remote
