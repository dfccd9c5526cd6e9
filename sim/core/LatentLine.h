#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "ByteLine.h"

namespace cncsim {

// A USB serial adapter between the CNC and the PC: every byte the CNC receives or sends is held
// for a fixed time before the other side sees it, as an adapter's latency timer holds bytes to
// fill its packets. A stream keeps its speed; every turnaround of the line pays the delay twice.
class LatentLine : public ByteLine {
  public:
    LatentLine(ByteLine& inner, std::chrono::milliseconds latency);
    // Hands on what is still held for sending, then ends both threads.
    ~LatentLine() override;
    LatentLine(const LatentLine&) = delete;
    LatentLine& operator=(const LatentLine&) = delete;

    int readByte(int timeoutMs) override;
    bool write(std::string_view bytes) override;
    bool pause(int ms) override { return inner_.pause(ms); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Held {
        Clock::time_point due;
        int byte;  // a byte, or the ReadResult that ended the line
    };
    struct Outgoing {
        Clock::time_point due;
        std::string bytes;
    };
    void receive();
    void send();

    ByteLine& inner_;
    const std::chrono::milliseconds latency_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Held> received_;
    std::deque<Outgoing> sending_;
    bool ending_ = false;
    bool sendFailed_ = false;
    bool receiveEnded_ = false;
    std::thread receiver_;
    std::thread sender_;
};

}  // namespace cncsim
