// The disk as a local pane test wants it: a scratch folder that is a drive of its own (so that
// its root is depth 0), a count of folder readings, and a switch that makes every reading hang
// like a network drive that no longer answers, until it is released; and a drive that takes no
// change at all.
#pragma once

#include "panes/LocalDisk.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>

namespace qel::testing {

class TestDisk final : public LocalDisk {
  public:
    explicit TestDisk(std::string driveRoot) : driveRoot_(std::move(driveRoot)) {}
    ~TestDisk() override { release(); }

    std::vector<Drive> drives() override {
        return {{"/", "vda", DriveKind::Fixed}, {driveRoot_, "scratch", DriveKind::Fixed}};
    }
    FolderListing list(const std::string& folder, std::string_view filter,
                       const MemoryTypeTable& types) override {
        std::unique_lock lock(mutex_);
        ++readings_;
        released_.wait(lock, [&] { return !hanging_; });
        lock.unlock();
        return LocalDisk::list(folder, filter, types);
    }

    int readings() {
        std::lock_guard lock(mutex_);
        return readings_;
    }
    void hang() {
        std::lock_guard lock(mutex_);
        hanging_ = true;
    }
    void release() {
        std::lock_guard lock(mutex_);
        hanging_ = false;
        released_.notify_all();
    }

  private:
    std::string driveRoot_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool hanging_ = false;
    int readings_ = 0;
};

// A drive whose folders take nothing new, like one made read-only while it is shown.
class ReadOnlyDisk final : public LocalDisk {
  public:
    explicit ReadOnlyDisk(std::string root) : root_(std::move(root)) {}
    std::vector<Drive> drives() override { return {{root_, "scratch", DriveKind::Fixed}}; }
    int makeFolder(const std::string&) override { return EROFS; }
    int createEmptyFile(const std::string&) override { return EACCES; }
    int removeFile(const std::string&) override { return EROFS; }

  private:
    std::string root_;
};

}  // namespace qel::testing
