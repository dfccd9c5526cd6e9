#include "LatentLine.h"

namespace cncsim {

namespace {
// How long the receiving thread waits for a byte before it looks whether it should end.
constexpr int kReceiveSliceMs = 20;
}  // namespace

LatentLine::LatentLine(ByteLine& inner, std::chrono::milliseconds latency)
    : inner_(inner), latency_(latency) {
    receiver_ = std::thread([this] { receive(); });
    sender_ = std::thread([this] { send(); });
}

LatentLine::~LatentLine() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return sending_.empty() || sendFailed_; });
        ending_ = true;
    }
    changed_.notify_all();
    receiver_.join();
    sender_.join();
}

void LatentLine::receive() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (ending_) return;
        }
        const int byte = inner_.readByte(kReceiveSliceMs);
        if (byte == kReadTimeout) continue;
        {
            std::lock_guard lock(mutex_);
            received_.push_back({Clock::now() + latency_, byte});
        }
        changed_.notify_all();
        if (byte < 0) return;  // closed or stopped: nothing follows
    }
}

int LatentLine::readByte(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!received_.empty() && received_.front().due <= Clock::now()) {
            const int byte = received_.front().byte;
            if (byte >= 0) received_.pop_front();  // an end stays for every later read
            return byte;
        }
        if (timeoutMs >= 0 && Clock::now() >= deadline) return kReadTimeout;
        Clock::time_point wake = timeoutMs >= 0 ? deadline : Clock::time_point::max();
        if (!received_.empty() && received_.front().due < wake) wake = received_.front().due;
        if (wake == Clock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, wake);
        }
    }
}

bool LatentLine::write(std::string_view bytes) {
    {
        std::lock_guard lock(mutex_);
        if (sendFailed_) return false;
        sending_.push_back({Clock::now() + latency_, std::string(bytes)});
    }
    changed_.notify_all();
    return true;
}

void LatentLine::send() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return ending_ || !sending_.empty(); });
        if (sending_.empty()) return;  // ending with nothing left
        const Clock::time_point due = sending_.front().due;
        if (Clock::now() < due) {
            changed_.wait_until(lock, due);
            continue;
        }
        const std::string bytes = sending_.front().bytes;
        lock.unlock();
        const bool written = inner_.write(bytes);  // paced at the line's speed
        lock.lock();
        sending_.pop_front();
        if (!written) {
            sendFailed_ = true;
            sending_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace cncsim
