#include "TcpTransport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cablor {
namespace {

// Once a message has begun, the rest must follow within this time even when the caller waits
// without limit for messages to begin: a peer stalled mid-message is a failed connection.
constexpr int kMidMessageLimitMs = 10000;

void setNoDelay(int fd) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

SocketPtr newStreamSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? nullptr : std::make_shared<Socket>(fd);
}

bool resolve(uint32_t ipAddress, const char* hostName, in_addr* out) {
    if (hostName == nullptr) {
        out->s_addr = htonl(ipAddress);
        return true;
    }
    if (::inet_pton(AF_INET, hostName, out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hostName, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    *out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

// Waits until the socket is readable. 1 readable (or closed/failed: recv tells), 0 time-out.
int waitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        int rc = ::poll(&p, 1, timeoutMs);
        if (rc >= 0) return rc > 0 ? 1 : 0;
        if (errno != EINTR) return 1;  // let recv report the failure
    }
}

// Room for many replies, so that a read takes whatever the socket has queued.
constexpr size_t kReadAheadBytes = 16 * 1024;

// Makes sure at least count bytes (at most a whole message) are read ahead. Each receive call
// takes all the socket has queued, as far as there is room. With waitMs > 0 every receive
// waits at most waitMs (the kernel's receive time-out, no extra system call). With waitMs < 0
// the message may take any time to begin, but once it has begun (messageBegun, or a byte of
// it read ahead) the rest must follow within the mid-message limit. A short read is
// completed, never failed.
MessageResult readAheadAtLeast(const Socket& socket, ReadAhead& ahead, size_t count, int waitMs,
                               bool messageBegun) {
    while (ahead.end - ahead.begin < count) {
        const bool begun = messageBegun || ahead.end > ahead.begin;
        if (waitMs <= 0 && begun && waitReadable(socket.fd(), kMidMessageLimitMs) == 0) {
            return MessageResult::Failed;
        }
        // Whatever is left is the start of this message: it moves to the front when the
        // message would not fit behind it.
        if (ahead.bytes.size() - ahead.begin < count) {
            std::memmove(ahead.bytes.data(), ahead.bytes.data() + ahead.begin,
                         ahead.end - ahead.begin);
            ahead.end -= ahead.begin;
            ahead.begin = 0;
        }
        ssize_t n =
            ::recv(socket.fd(), ahead.bytes.data() + ahead.end, ahead.bytes.size() - ahead.end, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return begun ? MessageResult::Failed : MessageResult::TimedOut;
        }
        if (n <= 0) return MessageResult::Failed;  // closed or failed: error 28, never a hang
        ahead.end += static_cast<size_t>(n);
    }
    return MessageResult::Ok;
}

void take(ReadAhead& ahead, size_t count) {
    ahead.begin += count;
    if (ahead.begin == ahead.end) ahead.begin = ahead.end = 0;
}

MessageResult receiveFromAhead(const Socket& socket, ReadAhead& ahead, uint8_t* buffer, int* length,
                               int timeoutMs) {
    MessageResult rc = readAheadAtLeast(socket, ahead, 4, timeoutMs, false);
    if (rc != MessageResult::Ok) return rc;
    const uint8_t* prefix = ahead.bytes.data() + ahead.begin;
    uint32_t announced = (uint32_t{prefix[0]} << 24) | (uint32_t{prefix[1]} << 16) |
                         (uint32_t{prefix[2]} << 8) | prefix[3];
    if (announced > kLongestAnnounced) {
        ahead.outOfStep = true;
        return MessageResult::BadLength;
    }
    take(ahead, 4);
    size_t kept = std::min<uint32_t>(announced, kMaxMessage);
    if (readAheadAtLeast(socket, ahead, kept, timeoutMs, true) != MessageResult::Ok) {
        return MessageResult::Failed;
    }
    if (kept > 0) std::memcpy(buffer, ahead.bytes.data() + ahead.begin, kept);
    take(ahead, kept);
    // Drop the rest of an over-long message so that the next one starts at its length.
    uint64_t rest = announced - kept;
    while (rest > 0) {
        if (readAheadAtLeast(socket, ahead, 1, timeoutMs, true) != MessageResult::Ok) {
            return MessageResult::Failed;
        }
        size_t dropped = static_cast<size_t>(std::min<uint64_t>(rest, ahead.end - ahead.begin));
        take(ahead, dropped);
        rest -= dropped;
    }
    *length = static_cast<int>(kept);
    return announced > kMaxMessage ? MessageResult::OverLong : MessageResult::Ok;
}

}  // namespace

bool resolveAddress(uint32_t ipAddress, const char* hostName, in_addr* out) {
    return resolve(ipAddress, hostName, out);
}

SocketPtr tcpConnect(uint32_t ipAddress, const char* hostName, int port, TcpError* error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (!resolve(ipAddress, hostName, &address.sin_addr)) {
        *error = TcpError::Resolve;
        return nullptr;
    }
    SocketPtr socket = newStreamSocket();
    if (!socket) {
        *error = TcpError::Socket;
        return nullptr;
    }
    int rc;
    do {
        rc = ::connect(socket->fd(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        *error = TcpError::Connect;
        return nullptr;
    }
    setNoDelay(socket->fd());
    *error = TcpError::None;
    return socket;
}

SocketPtr tcpListen(int port, int backlog, TcpError* error, const in_addr* bindTo) {
    SocketPtr socket = newStreamSocket();
    if (!socket) {
        *error = TcpError::Socket;
        return nullptr;
    }
    int on = 1;
    ::setsockopt(socket->fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = bindTo ? bindTo->s_addr : htonl(INADDR_ANY);
    if (::bind(socket->fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        ::listen(socket->fd(), backlog) < 0 ||
        ::fcntl(socket->fd(), F_SETFL, ::fcntl(socket->fd(), F_GETFL) | O_NONBLOCK) < 0) {
        *error = TcpError::Connect;
        return nullptr;
    }
    *error = TcpError::None;
    return socket;
}

SocketPtr tcpAccept(const Socket& listener, const Wakeup& wakeup, sockaddr_in* peer) {
    for (;;) {
        pollfd p[2] = {{listener.fd(), POLLIN, 0}, {wakeup.fd(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return nullptr;
        }
        if (p[1].revents & POLLIN) return nullptr;
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return nullptr;
        socklen_t size = sizeof *peer;
        int fd = ::accept4(listener.fd(), reinterpret_cast<sockaddr*>(peer), &size, SOCK_CLOEXEC);
        if (fd >= 0) {
            setNoDelay(fd);
            return std::make_shared<Socket>(fd);
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return nullptr;
    }
}

MessageResult sendMessage(const Socket& socket, const uint8_t* bytes, int length) {
    if (length < 0) return MessageResult::Failed;
    int payload = std::min(length, kMaxMessage);
    uint8_t frame[4 + kMaxMessage];
    uint32_t wireLength = htonl(static_cast<uint32_t>(length));
    std::memcpy(frame, &wireLength, 4);
    if (payload > 0) std::memcpy(frame + 4, bytes, static_cast<size_t>(payload));
    size_t total = 4 + static_cast<size_t>(payload), sent = 0;
    while (sent < total) {
        ssize_t n = ::send(socket.fd(), frame + sent, total - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return MessageResult::Failed;
        sent += static_cast<size_t>(n);
    }
    return length > kMaxMessage ? MessageResult::OverLong : MessageResult::Ok;
}

MessageResult receiveMessage(Socket& socket, uint8_t* buffer, int* length, int timeoutMs) {
    ReadAhead& ahead = socket.readAhead();
    std::lock_guard guard(ahead.lock);
    if (ahead.outOfStep) return MessageResult::Failed;
    if (ahead.bytes.empty()) ahead.bytes.resize(kReadAheadBytes);
    socket.limitReceives(timeoutMs > 0 ? timeoutMs : 0);
    MessageResult rc = receiveFromAhead(socket, ahead, buffer, length, timeoutMs);
    // What is left of a message that failed (or of a stream out of step) is never taken for
    // the start of the next one.
    if (rc == MessageResult::Failed || rc == MessageResult::BadLength) ahead.begin = ahead.end = 0;
    return rc;
}

}  // namespace cablor
