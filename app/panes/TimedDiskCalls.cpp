#include "panes/TimedDiskCalls.h"

#include <algorithm>

namespace qel {

TimedDiskCalls::~TimedDiskCalls() {
    for (Worker& worker : stuck_) worker.thread.join();
}

size_t TimedDiskCalls::stuck() {
    joinFinished();
    return stuck_.size();
}

void TimedDiskCalls::joinFinished() {
    auto finished = std::stable_partition(stuck_.begin(), stuck_.end(), [](Worker& worker) {
        std::lock_guard lock(worker.call->mutex);
        return !worker.call->finished;
    });
    for (auto it = finished; it != stuck_.end(); ++it) it->thread.join();
    stuck_.erase(finished, stuck_.end());
}

bool TimedDiskCalls::runFor(std::function<void()> work) {
    joinFinished();
    if (stuck_.size() >= kMostStuck) return false;
    auto call = std::make_shared<Call>();
    std::thread thread([call, work = std::move(work)] {
        work();
        std::lock_guard lock(call->mutex);
        call->finished = true;
        call->done.notify_all();
    });
    bool finished = false;
    {
        std::unique_lock lock(call->mutex);
        finished = call->done.wait_for(lock, limit_, [&] { return call->finished; });
    }
    if (finished) {
        thread.join();
        return true;
    }
    stuck_.push_back(Worker{std::move(call), std::move(thread)});
    return false;
}

}  // namespace qel
