#include "TcpEndpoint.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "StopSignal.h"

namespace cncsim {

namespace {
sockaddr_in resolve(const TcpAddress& address) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(address.port);
    if (::inet_pton(AF_INET, address.host.c_str(), &result.sin_addr) == 1) return result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        throw std::runtime_error("cannot resolve " + address.host);
    result.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return result;
}

void noDelay(int fd) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}
}  // namespace

std::optional<TcpAddress> parseTcpAddress(const std::string& text) {
    TcpAddress address;
    std::string portText = text;
    if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        address.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
        if (address.host.empty()) return std::nullopt;
    }
    unsigned port = 0;
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || portText.empty() ||
        port > 65535)
        return std::nullopt;
    address.port = static_cast<std::uint16_t>(port);
    return address;
}

TcpListener::TcpListener(const TcpAddress& address) : host_(address.host) {
    const sockaddr_in where = resolve(address);
    socket_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket_.valid()) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    int on = 1;
    ::setsockopt(socket_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(socket_.get(), 4) != 0)
        throw std::runtime_error("cannot listen on " + address.host + ":" +
                                 std::to_string(address.port) + ": " + std::strerror(errno));
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.sin_port);
}

UniqueFd TcpListener::accept() {
    for (;;) {
        if (StopSignal::requested()) return {};
        pollfd fds[2] = {{socket_.get(), POLLIN, 0}, {StopSignal::wakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return {};
        if (StopSignal::requested()) return {};
        if (!(fds[0].revents & POLLIN)) continue;
        UniqueFd peer(::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (peer.valid()) {
            noDelay(peer.get());
            return peer;
        }
    }
}

UniqueFd connectTcp(const TcpAddress& address, int waitMs) {
    const sockaddr_in where = resolve(address);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd.valid()) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) {
            noDelay(fd.get());
            return fd;
        }
        const int error = errno;
        if (StopSignal::requested() || std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("cannot connect to " + address.host + ":" +
                                     std::to_string(address.port) + ": " + std::strerror(error));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace cncsim
