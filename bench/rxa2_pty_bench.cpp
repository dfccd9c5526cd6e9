// RXA/2 exchanges over a pseudo-terminal pair: the PC sends a telegram of N bytes (send delay
// 0) and receives the CNC's four-byte reply "T NB"; a peer thread on the master side answers.
// Counters: exchanges per second, write calls per telegram sent and per telegram received,
// bytes on the line per exchange, and the exchanges per second the same bytes would allow at
// 115200 baud (11520 bytes/s) if the software took no time at all.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "SerialLine.h"
#include "Telegram.h"
#include "TermiosDevice.h"

using namespace cablor;
using namespace cablor::ctl;

namespace {

constexpr double kLineBytesPerSecond = 11520.0;  // 115200 baud, 10 bits per byte

// Counts the write calls the protocol makes; everything else goes to the tty.
class CountingDevice final : public SerialDevice {
  public:
    explicit CountingDevice(std::unique_ptr<SerialDevice> inner) : inner_(std::move(inner)) {}
    std::atomic<long> writes{0};

    int applySettings(const LineSettings& s) override { return inner_->applySettings(s); }
    bool queryStatus(LineErrors* e, int* n) override { return inner_->queryStatus(e, n); }
    int read(uint8_t* b, int max, int ms) override { return inner_->read(b, max, ms); }
    bool write(const uint8_t* b, int n) override {
        writes.fetch_add(1, std::memory_order_relaxed);
        return inner_->write(b, n);
    }
    bool getCts(bool* cts) override { return inner_->getCts(cts); }
    bool setRts(bool on) override { return inner_->setRts(on); }
    bool setDtr(bool on) override { return inner_->setDtr(on); }
    bool waitEvent(unsigned mask) override { return inner_->waitEvent(mask); }
    void purgeInput() override { inner_->purgeInput(); }
    void pause(int ms) override { inner_->pause(ms); }
    void cancel() override { inner_->cancel(); }

  private:
    std::unique_ptr<SerialDevice> inner_;
};

std::vector<uint8_t> frameOf(const std::vector<uint8_t>& text) {
    std::vector<uint8_t> frame{kDle, kStx};
    for (uint8_t b : text) {
        if (b == kDle) frame.push_back(kDle);
        frame.push_back(b);
    }
    frame.insert(frame.end(), {kDle, kEtx, blockCheck(text.data(), static_cast<int>(text.size()))});
    return frame;
}

// The CNC on the master side: takes each telegram (ENQ, ACK0, block, ACK1, EOT) and answers
// with "T NB". Reads whole chunks and only checks lengths: the tests check the bytes.
class PtyCnc {
  public:
    PtyCnc(int fd, size_t incomingFrame) : fd_(fd), incomingFrame_(incomingFrame) {
        reply_ = frameOf({'T', ' ', 'N', 'B'});
        thread_ = std::thread([this] { run(); });
    }
    ~PtyCnc() {
        stop_ = true;
        thread_.join();
    }
    PtyCnc(const PtyCnc&) = delete;
    PtyCnc& operator=(const PtyCnc&) = delete;

  private:
    void run() {
        while (take(1) && put({kDle, kAck0}) && take(incomingFrame_) && put({kDle, kAck1}) &&
               take(1) && put({kEnq}) && take(2) && put(reply_) && take(2) && put({kEot})) {
        }
    }

    // Waits for n more bytes; false once stopped.
    bool take(size_t n) {
        while (pending_ < n) {
            pollfd p{fd_, POLLIN, 0};
            if (stop_) return false;
            if (::poll(&p, 1, 50) <= 0) continue;
            uint8_t chunk[4096];
            ssize_t got = ::read(fd_, chunk, sizeof chunk);
            if (got < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (got > 0) pending_ += static_cast<size_t>(got);
        }
        pending_ -= n;
        return true;
    }

    bool put(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (n > 0) done += static_cast<size_t>(n);
        }
        return true;
    }

    int fd_;
    size_t incomingFrame_;
    size_t pending_ = 0;
    std::vector<uint8_t> reply_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_Rxa2ExchangeOverPty(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    std::vector<uint8_t> text(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        text[static_cast<size_t>(i)] = static_cast<uint8_t>('A' + i % 26);

    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        state.SkipWithError("openpty failed");
        return;
    }
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);

    DeviceOpenFailure failure;
    auto tty = openTermiosDevice(::ttyname(slave), &failure);
    if (!tty) {
        state.SkipWithError("cannot open the pty's tty side");
        ::close(master);
        ::close(slave);
        return;
    }
    auto device = std::make_shared<CountingDevice>(std::move(tty));
    SerialLine line(device);
    line.configure(LineSettings{}, 1000);

    long sendWrites = 0;
    long receiveWrites = 0;
    {
        PtyCnc cnc(master, frameOf(text).size());
        uint8_t buffer[kMaxTelegram];
        for (auto _ : state) {
            long before = device->writes.load();
            if (sendTelegram(line, text.data(), length, 2, 1000, 0) != SendResult::Ok) {
                state.SkipWithError("send failed");
                break;
            }
            long middle = device->writes.load();
            int got = 0;
            if (receiveTelegram(line, buffer, &got, 2000, 0) != ReceiveResult::Ok || got != 4) {
                state.SkipWithError("receive failed");
                break;
            }
            sendWrites += middle - before;
            receiveWrites += device->writes.load() - middle;
        }
        device->cancel();
    }
    ::close(master);
    ::close(slave);

    // ENQ, ACK0, block, ACK1, EOT for our telegram and for the reply "T NB".
    const double lineBytes = static_cast<double>(frameOf(text).size() + 6 + 9 + 6);
    const auto iterations = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["writes_per_sent"] = static_cast<double>(sendWrites) / iterations;
    state.counters["writes_per_received"] = static_cast<double>(receiveWrites) / iterations;
    state.counters["line_bytes"] = lineBytes;
    state.counters["ideal_115200_per_s"] = kLineBytesPerSecond / lineBytes;
}

BENCHMARK(BM_Rxa2ExchangeOverPty)
    ->Arg(4)
    ->Arg(128)
    ->Arg(1024)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
