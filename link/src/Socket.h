// An owned socket descriptor and what has been read from it ahead. Shared between a handle and
// the exchange using it, so that a disconnect from another thread can shut the connection down
// (waking a blocked receive) without closing a descriptor that is still being read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace cablor {

// What the TCP message receive took from a connection beyond the message it delivered. Messages
// are read as the socket hands them over, several in one read or one in pieces; the bytes not
// taken yet wait here for the next receive on the same connection (TcpTransport.cpp).
struct ReadAhead {
    std::mutex lock;             // one receive at a time takes messages from the stream
    std::vector<uint8_t> bytes;  // sized by the first receive: a listening socket has none
    size_t begin = 0;            // [begin, end) is not taken yet
    size_t end = 0;
    bool outOfStep = false;  // a length no CNC sends came: no later message can be found
};

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

    ReadAhead& readAhead() { return readAhead_; }

  private:
    int fd_;
    mutable std::atomic<int> receiveLimitMs_{0};
    ReadAhead readAhead_;
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
