// The disk as a drive tree test wants it: drives that are scratch folders of a test (a fixed
// one, a removable one, ...), a record of every folder the tree read, and a switch that makes
// the reads of one drive hang like a network drive that no longer answers, or one folder be
// unreadable.
#pragma once

#include "panes/LocalDisk.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace qel::testing {

class TreeDisk final : public LocalDisk {
  public:
    explicit TreeDisk(std::vector<Drive> drives) : drives_(std::move(drives)) {}
    ~TreeDisk() override { release(); }

    std::vector<Drive> drives() override { return drives_; }
    SubfolderListing subfolders(const std::string& folder) override {
        if (!touch(folder)) return {};
        if (refused(folder)) return {.names = {}, .anyEntry = false, .error = EACCES};
        return LocalDisk::subfolders(folder);
    }
    bool holdsSubfolder(const std::string& folder) override {
        return touch(folder) && LocalDisk::holdsSubfolder(folder);
    }

    // Some folder at or below root was read.
    bool touched(const std::string& root) {
        std::lock_guard lock(mutex_);
        for (const std::string& folder : touched_) {
            if (folder.starts_with(root)) return true;
        }
        return false;
    }
    void forget() {
        std::lock_guard lock(mutex_);
        touched_.clear();
    }
    void hang(const std::string& root) {
        std::lock_guard lock(mutex_);
        hangingRoot_ = root;
    }
    // Reading folder itself fails as a folder without read permission does (also for root).
    void refuse(const std::string& folder) {
        std::lock_guard lock(mutex_);
        refused_.push_back(folder);
    }
    void release() {
        std::lock_guard lock(mutex_);
        hangingRoot_.clear();
        released_.notify_all();
    }

  private:
    // Records the read; false when it was let go after hanging.
    bool touch(const std::string& folder) {
        std::unique_lock lock(mutex_);
        touched_.push_back(folder);
        const bool hangs = !hangingRoot_.empty() && folder.starts_with(hangingRoot_);
        if (hangs) released_.wait(lock, [&] { return hangingRoot_.empty(); });
        return !hangs;
    }

    bool refused(const std::string& folder) {
        std::lock_guard lock(mutex_);
        for (const std::string& path : refused_) {
            if (path == folder || path + "/" == folder) return true;
        }
        return false;
    }

    std::vector<Drive> drives_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::string hangingRoot_;
    std::vector<std::string> touched_;
    std::vector<std::string> refused_;
};

}  // namespace qel::testing
