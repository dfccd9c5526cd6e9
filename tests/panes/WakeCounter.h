// Counts the watcher's wakes, which come on its own thread, and waits for the next one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qel::testing {

class WakeCounter {
  public:
    void wake() {
        std::lock_guard lock(mutex_);
        ++wakes_;
        changed_.notify_all();
    }
    int wakes() {
        std::lock_guard lock(mutex_);
        return wakes_;
    }
    // True when wakes reached count within the time.
    bool waitFor(int count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return wakes_ >= count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int wakes_ = 0;
};

}  // namespace qel::testing
