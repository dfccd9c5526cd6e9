// A scripted CNC on loopback for TCP tests: listens on a free port, accepts one connection on
// its own thread and runs the script with framed send/receive helpers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testing_peer {

class Connection {
  public:
    explicit Connection(int fd) : fd_(fd) {}
    int fd() const { return fd_; }

    bool sendRaw(const void* bytes, size_t n) {
        return ::send(fd_, bytes, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
    }
    bool sendFrame(const std::string& text) { return sendFrame(text, text.size()); }
    // A frame announcing `announced` bytes but carrying `text`.
    bool sendFrame(const std::string& text, size_t announced) {
        uint32_t n = htonl(static_cast<uint32_t>(announced));
        std::string wire(reinterpret_cast<const char*>(&n), 4);
        wire += text;
        return sendRaw(wire.data(), wire.size());
    }
    bool readExactly(void* out, size_t n) {
        size_t got = 0;
        while (got < n) {
            ssize_t r = ::recv(fd_, static_cast<char*>(out) + got, n - got, 0);
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        return true;
    }
    // One frame; its announced length in *announced and at most `limit` bytes of payload read.
    bool readFrame(std::string* text, uint32_t* announced = nullptr, size_t limit = 1024) {
        uint32_t n = 0;
        if (!readExactly(&n, 4)) return false;
        n = ntohl(n);
        if (announced) *announced = n;
        text->assign(std::min<size_t>(n, limit), '\0');
        return text->empty() || readExactly(text->data(), text->size());
    }

  private:
    int fd_;
};

class TcpPeer {
  public:
    using Script = std::function<void(Connection&)>;

    explicit TcpPeer(Script script) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 4);
        socklen_t size = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, script = std::move(script)] {
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            Connection c(fd);
            script(c);
            ::close(fd);
        });
    }
    ~TcpPeer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    int port() const { return port_; }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// Answers the login greeting: anything to "M  I", the given text to "M VN".
inline void answerLogin(Connection& c, const std::string& version = "R VN") {
    std::string text;
    if (c.readFrame(&text)) c.sendFrame("M OK");
    if (c.readFrame(&text)) c.sendFrame(version);
}

// A TCP port nobody listens on right now.
inline int freePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

}  // namespace testing_peer
