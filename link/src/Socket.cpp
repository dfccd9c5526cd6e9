#include "Socket.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace cablor {

Socket::~Socket() {
    if (fd_ >= 0) ::close(fd_);
}

void Socket::shutdown() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

Wakeup::Wakeup() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Wakeup::~Wakeup() {
    if (fd_ >= 0) ::close(fd_);
}

void Wakeup::signal() {
    if (fd_ < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

}  // namespace cablor
