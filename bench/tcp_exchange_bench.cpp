// Telegram exchanges per second over TCP loopback: DncTransferEx with a reply against a framed
// echo peer, and the same framed ping-pong on a bare socket. The ratio of the two is the cost
// of the library's handle lookup, locking and framing.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "cablor.h"

namespace {

constexpr int kTelegram = 128;

bool readAll(int fd, void* out, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::recv(fd, static_cast<char*>(out) + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

// Echoes every framed message back until the connection closes.
class EchoPeer {
  public:
    EchoPeer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 1);
        socklen_t size = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            int fd = ::accept(listener_, nullptr, nullptr);
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            uint8_t frame[4 + 1024];
            for (;;) {
                if (!readAll(fd, frame, 4)) break;
                uint32_t n;
                std::memcpy(&n, frame, 4);
                n = ntohl(n);
                if (n > 1024 || !readAll(fd, frame + 4, n)) break;
                if (::send(fd, frame, 4 + n, MSG_NOSIGNAL) < 0) break;
            }
            ::close(fd);
        });
    }
    ~EchoPeer() {
        thread_.join();
        ::close(listener_);
    }
    int port() const { return port_; }

  private:
    int listener_;
    int port_;
    std::thread thread_;
};

void BM_LibraryTransferEx(benchmark::State& state) {
    EchoPeer peer;
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_TCP_CLIENT;
    p.port = peer.port();
    p.replyTimeout = 7;
    p.flags = DNC_FLAG_NO_LOGIN;
    p.hostName = "127.0.0.1";
    int32_t h = DncConnectEx(&p);
    if (h == 0) {
        state.SkipWithError("connect failed");
        return;
    }
    char buffer[DNC_MAX_MESSAGE];
    std::memset(buffer, 'R', sizeof buffer);
    for (auto _ : state) {
        int32_t length = kTelegram;
        if (!DncTransferEx(h, buffer, &length, 1) || length != kTelegram) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    DncDisconnect(h);
    DncCloseHandle(h);
}

void BM_BareSocketPingPong(benchmark::State& state) {
    EchoPeer peer;
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(peer.port()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        state.SkipWithError("connect failed");
        ::close(fd);
        return;
    }
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    uint8_t frame[4 + kTelegram];
    uint32_t n = htonl(kTelegram);
    std::memcpy(frame, &n, 4);
    std::memset(frame + 4, 'R', kTelegram);
    uint8_t reply[4 + kTelegram];
    for (auto _ : state) {
        if (::send(fd, frame, sizeof frame, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof frame) ||
            !readAll(fd, reply, 4) || !readAll(fd, reply + 4, kTelegram)) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    ::close(fd);
}

BENCHMARK(BM_LibraryTransferEx)->UseRealTime();
BENCHMARK(BM_BareSocketPingPong)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
