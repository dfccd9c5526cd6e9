// A CNC reading a directory of 100, 1,000 and 5,000 files entry by entry from the PC's remote
// mode over TCP loopback ("MPDR" for entry 0, 1, ... until "M NR13"), against the bare telegram
// round trip of the link library (an exchange with a framed echo peer) and a remote-mode command
// that touches no file ("M VN"), all in the same run.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "cablor.h"
#include "remote/RemoteLink.h"
#include "remote/TesselD.h"

namespace {

namespace fs = std::filesystem;
using namespace qel;
using namespace qel::remote;

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

// The calling CNC: a TCP client handle of the link library.
int32_t callPc(int port) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = DNC_LINK_TCP_CLIENT;
    p.port = port;
    p.replyTimeout = 7;
    p.flags = DNC_FLAG_NO_LOGIN;
    p.hostName = "127.0.0.1";
    return DncConnectEx(&p);
}

bool exchange(int32_t handle, const std::string& telegram, std::string& reply) {
    char buffer[DNC_MAX_MESSAGE + 1] = {};
    std::memcpy(buffer, telegram.data(), telegram.size());
    int32_t length = static_cast<int32_t>(telegram.size());
    if (!DncTransferEx(handle, buffer, &length, 1)) return false;
    reply.assign(buffer, static_cast<size_t>(length));
    return true;
}

std::string directoryRequest(int entry) {
    std::string telegram = "MPDR*.PM";
    telegram.resize(17, ' ');
    return telegram + "D  " + std::to_string(entry);
}

// Remote mode serving a folder of part programs, and the CNC connected to it.
class RemoteModeOnLoopback {
  public:
    explicit RemoteModeOnLoopback(int files) {
        std::string pattern = (fs::temp_directory_path() / "qel-remote-bench-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        for (int i = 0; i < files; ++i) {
            std::ofstream(folder_ / ("P" + std::to_string(10000 + i) + ".PM")) << "%\nO1\nM30\n";
        }
        ConfigRecord config;
        config.linkType = DNC_LINK_TCP_CLIENT;
        const int port = unusedPort();
        config.destinationPort = static_cast<int16_t>(static_cast<uint16_t>(port));
        config.timeout = 5;
        config.retries = 1;
        std::strcpy(config.ipAddressText, "127.0.0.1");
        link_ = connectForRemoteMode(remoteLinkSetupFor(config));
        engine_ = std::make_unique<RemoteModeEngine>(*link_, display_, folder_.string());
        engine_->start();
        cnc_ = callPc(port);
    }
    ~RemoteModeOnLoopback() {
        if (cnc_ != 0) {
            DncDisconnect(cnc_);
            DncCloseHandle(cnc_);
        }
        engine_->requestExit();
        engine_->finish();
        fs::remove_all(folder_);
    }
    int32_t cnc() const { return cnc_; }

  private:
    fs::path folder_;
    RemoteModeDisplay display_;
    std::unique_ptr<CncClient> link_;
    std::unique_ptr<RemoteModeEngine> engine_;
    int32_t cnc_ = 0;
};

void BM_DirectoryEntryByEntry(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    RemoteModeOnLoopback remote(files);
    if (remote.cnc() == 0) {
        state.SkipWithError("the CNC could not call");
        return;
    }
    std::string reply;
    int64_t entries = 0;
    for (auto _ : state) {
        for (int entry = 0;; ++entry) {
            if (!exchange(remote.cnc(), directoryRequest(entry), reply)) {
                state.SkipWithError("exchange failed");
                return;
            }
            if (reply == "M NR13") break;
            ++entries;
        }
    }
    if (entries != state.iterations() * files) state.SkipWithError("wrong number of entries");
    state.SetItemsProcessed(entries);
    state.counters["per_entry"] = benchmark::Counter(
        static_cast<double>(entries), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RemoteVersionRoundTrip(benchmark::State& state) {
    RemoteModeOnLoopback remote(0);
    std::string reply;
    for (auto _ : state) {
        if (!exchange(remote.cnc(), "M VN", reply)) {
            state.SkipWithError("exchange failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

bool readAll(int fd, void* out, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, static_cast<char*>(out) + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

// The link benchmark's round trip: every framed message comes straight back.
void BM_TelegramRoundTrip(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    socklen_t size = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
    std::thread echo([listener] {
        const int fd = ::accept(listener, nullptr, nullptr);
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        uint8_t frame[4 + DNC_MAX_MESSAGE];
        for (;;) {
            uint32_t n = 0;
            if (!readAll(fd, frame, 4)) break;
            std::memcpy(&n, frame, 4);
            n = ntohl(n);
            if (n > DNC_MAX_MESSAGE || !readAll(fd, frame + 4, n)) break;
            if (::send(fd, frame, 4 + n, MSG_NOSIGNAL) < 0) break;
        }
        ::close(fd);
    });
    const int32_t handle = callPc(ntohs(a.sin_port));
    std::string reply;
    const std::string telegram = directoryRequest(0);
    for (auto _ : state) {
        if (!exchange(handle, telegram, reply)) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    DncDisconnect(handle);
    DncCloseHandle(handle);
    echo.join();
    ::close(listener);
}

BENCHMARK(BM_TelegramRoundTrip)->UseRealTime();
BENCHMARK(BM_RemoteVersionRoundTrip)->UseRealTime();
BENCHMARK(BM_DirectoryEntryByEntry)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
