// What a peer sends on a TCP link, into the message receiver: a 4-byte big-endian length, then
// the message. The peer's bytes arrive in pieces cut where the input says, each piece on its
// own, so that every receive may come back short. The messages delivered must be exactly those
// a plain reading of the stream gives: a complete message of at most 1024 bytes as it is, a
// longer one as its first 1024 bytes (the rest dropped), and the end of the stream or a message
// cut short as a failed connection. A length above 64 KiB may end the connection at once; from
// there on nothing is compared.
//
// Input: byte 0 picks the receive time-out, byte 1 the count n of piece lengths that follow
// (each 1..256, used in turn); the rest is the stream.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Socket.h"
#include "TcpTransport.h"

using namespace cablor;

namespace {

// After this many pieces the rest of the stream goes in one, so that an input of single bytes
// stays fast.
constexpr size_t kMaxPieces = 16;
// No CNC announces more; beyond it the receiver may give the connection up unread.
constexpr uint32_t kLongestAnnounced = 64 * 1024;
constexpr int kTimeouts[4] = {-1, 0, 2000, 5000};

// The peer: one thread for the whole run, handed one stream per input. It puts each piece on
// the socket only once the receiver has taken everything before it, then closes its side.
class Peer {
  public:
    Peer() : thread_([this] { run(); }) {}
    ~Peer() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    void start(int writeFd, int readFd, std::vector<std::vector<uint8_t>> pieces) {
        std::lock_guard lock(mutex_);
        writeFd_ = writeFd;
        readFd_ = readFd;
        pieces_ = std::move(pieces);
        receiverDone_ = false;
        busy_ = true;
        changed_.notify_all();
    }
    // The receiver has stopped reading; returns once the peer has let go of the stream.
    void finish() {
        receiverDone_ = true;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !busy_; });
    }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return quit_ || busy_; });
            if (quit_) return;
            lock.unlock();
            send();
            lock.lock();
            busy_ = false;
            changed_.notify_all();
        }
    }
    void send() {
        for (const auto& piece : pieces_) {
            if (!drained()) break;
            size_t sent = 0;
            while (sent < piece.size()) {
                const ssize_t n =
                    ::send(writeFd_, piece.data() + sent, piece.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) return;
                sent += static_cast<size_t>(n);
            }
        }
        ::shutdown(writeFd_, SHUT_WR);
    }
    // Waits until the receiver has read all that was sent; false when it stopped reading.
    bool drained() {
        for (;;) {
            if (receiverDone_) return false;
            int unread = 0;
            if (::ioctl(readFd_, FIONREAD, &unread) != 0) return false;
            if (unread == 0) return true;
            std::this_thread::yield();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool quit_ = false;
    bool busy_ = false;
    std::atomic<bool> receiverDone_{false};
    int writeFd_ = -1;
    int readFd_ = -1;
    std::vector<std::vector<uint8_t>> pieces_;
    std::thread thread_;
};

Peer& peer() {
    static Peer* const instance = new Peer;  // lives as long as the process
    return *instance;
}

uint32_t bigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Reads messages as the plain reading of the stream says they are, and compares each with
// what the receiver delivers.
void receiveAndCompare(Socket& socket, const uint8_t* stream, size_t size, int timeoutMs) {
    auto buffer = std::make_unique<uint8_t[]>(kMaxMessage);  // AddressSanitizer sees an overrun
    size_t at = 0;
    // Each message delivered moves on by at least its 4-byte length, so the end comes.
    for (;;) {
        int length = -7;
        const MessageResult result = receiveMessage(socket, buffer.get(), &length, timeoutMs);
        if (result == MessageResult::TimedOut) {
            // Only a bounded wait times out, and only before a message has begun.
            if (timeoutMs <= 0) std::abort();
            continue;
        }
        const size_t left = size - at;
        if (left < 4) {
            if (result != MessageResult::Failed) std::abort();  // the stream has ended
            return;
        }
        const uint32_t announced = bigEndian(stream + at);
        if (announced > kLongestAnnounced) {
            if (result == MessageResult::Ok) std::abort();
            return;  // given up or still being drained: the stream is out of step
        }
        if (left - 4 < announced) {
            if (result != MessageResult::Failed) std::abort();  // cut short by the end
            return;
        }
        const size_t kept = std::min<size_t>(announced, kMaxMessage);
        const MessageResult expected = announced > static_cast<uint32_t>(kMaxMessage)
                                           ? MessageResult::OverLong
                                           : MessageResult::Ok;
        if (result != expected) std::abort();
        if (length != static_cast<int>(kept)) std::abort();
        if (kept > 0 && std::memcmp(buffer.get(), stream + at + 4, kept) != 0) std::abort();
        at += 4 + announced;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int timeoutMs = kTimeouts[data[0] & 0x03];
    const size_t lengthCount = std::min<size_t>(data[1], size - 2);
    const uint8_t* lengths = data + 2;
    const uint8_t* stream = lengths + lengthCount;
    const size_t streamSize = size - 2 - lengthCount;

    std::vector<std::vector<uint8_t>> pieces;
    for (size_t at = 0; at < streamSize;) {
        size_t piece = streamSize - at;
        if (lengthCount > 0 && pieces.size() + 1 < kMaxPieces) {
            piece = std::min<size_t>(piece, lengths[pieces.size() % lengthCount] + 1u);
        }
        pieces.emplace_back(stream + at, stream + at + piece);
        at += piece;
    }

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    {
        Socket receiving(fds[0]);
        peer().start(fds[1], fds[0], std::move(pieces));
        receiveAndCompare(receiving, stream, streamSize, timeoutMs);
        ::shutdown(fds[0], SHUT_RDWR);  // a peer still sending gives up
        peer().finish();
    }
    ::close(fds[1]);
    return 0;
}
