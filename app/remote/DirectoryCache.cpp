#include "remote/DirectoryCache.h"

#include <sys/stat.h>

#include <algorithm>

namespace qel::remote {

namespace {
// A folder's modification time moves in steps of the kernel's coarse clock (up to 10 ms); a
// change within the same step as the reading would leave the time unchanged. A listing read
// that soon after the last change is not trusted.
constexpr long kClockStepNs = 20'000'000;

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

long long nanoseconds(const timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}
}  // namespace

const std::vector<FolderEntry>& DirectoryCache::files(const ServedFolder& folder,
                                                      std::string_view pattern) {
    struct stat facts {};
    const bool known = folder.isOpen() && ::fstat(folder.descriptor(), &facts) == 0;
    if (known && valid_ && pattern == pattern_ && facts.st_dev == device_ &&
        facts.st_ino == inode_ && sameTime(facts.st_mtim, modified_) &&
        nanoseconds(read_) - nanoseconds(modified_) > kClockStepNs) {
        return files_;
    }
    ::clock_gettime(CLOCK_REALTIME, &read_);
    files_ = folder.matches(pattern);
    std::erase_if(files_, [](const FolderEntry& e) { return e.kind != EntryKind::File; });
    valid_ = known;
    pattern_ = std::string(pattern);
    device_ = facts.st_dev;
    inode_ = facts.st_ino;
    modified_ = facts.st_mtim;
    return files_;
}

}  // namespace qel::remote
