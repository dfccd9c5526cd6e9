// Disk calls that may hang: a network drive that no longer answers blocks stat, opendir and
// statvfs in the kernel, for minutes or for ever. The local pane makes such calls through here:
// each runs on a thread of its own and the caller waits for it at most the time limit. A call
// that has not come back by then is given up, not stopped (the kernel holds it); its thread is
// kept and joined when it returns or, at the latest, when this object goes. While a few calls
// are stuck, further ones are refused at once instead of piling up threads on a dead mount.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace qel {

class TimedDiskCalls {
  public:
    // How long the window waits for a disk that does not answer.
    static constexpr std::chrono::milliseconds kDefaultLimit{2000};
    // Calls left stuck before new ones are refused.
    static constexpr size_t kMostStuck = 2;

    explicit TimedDiskCalls(std::chrono::milliseconds limit = kDefaultLimit) : limit_(limit) {}
    // Joins every thread, also one that is still stuck in a hung mount.
    ~TimedDiskCalls();
    TimedDiskCalls(const TimedDiskCalls&) = delete;
    TimedDiskCalls& operator=(const TimedDiskCalls&) = delete;

    // The call's result, or nothing when it did not end within the limit (or was refused
    // because others are stuck). The call must own everything it uses.
    template <typename Result>
    std::optional<Result> run(std::function<Result()> call) {
        auto result = std::make_shared<std::optional<Result>>();
        if (!runFor([call = std::move(call), result] { *result = call(); })) return std::nullopt;
        return std::move(*result);
    }

    std::chrono::milliseconds limit() const { return limit_; }
    // Calls given up that have not come back yet.
    size_t stuck();

  private:
    struct Call {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    struct Worker {
        std::shared_ptr<Call> call;
        std::thread thread;
    };

    bool runFor(std::function<void()> work);
    void joinFinished();

    std::chrono::milliseconds limit_;
    std::vector<Worker> stuck_;
};

}  // namespace qel
