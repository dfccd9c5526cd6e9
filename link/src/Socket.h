// An owned socket descriptor. Shared between a handle and the exchange using it, so that a
// disconnect from another thread can shut the connection down (waking a blocked receive)
// without closing a descriptor that is still being read.
#pragma once

#include <atomic>
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

    // Bounds every later receive to ms (0: no bound). The kernel keeps the bound, so a
    // receive needs no poll beside it; the value is set again only when it changes.
    void limitReceives(int ms) const;

  private:
    int fd_;
    mutable std::atomic<int> receiveLimitMs_{0};
};

using SocketPtr = std::shared_ptr<Socket>;

// An eventfd that ends a wait on a socket shared with other handles (the kept listening
// socket), where shutting the socket down would end their waits too.
class Wakeup {
  public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    int fd() const { return fd_; }
    void signal();

  private:
    int fd_;
};

}  // namespace cablor
