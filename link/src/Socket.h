// An owned socket descriptor. Shared between a handle and the exchange using it, so that a
// disconnect from another thread can shut the connection down (waking a blocked receive)
// without closing a descriptor that is still being read.
#pragma once

#include <memory>

namespace cablor {

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    // Ends every pending and later send, receive and accept on the socket.
    void shutdown();

private:
    int fd_;
};

using SocketPtr = std::shared_ptr<Socket>;

}  // namespace cablor
