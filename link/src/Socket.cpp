#include "Socket.h"

#include <sys/socket.h>
#include <unistd.h>

namespace cablor {

Socket::~Socket() {
    if (fd_ >= 0) ::close(fd_);
}

void Socket::shutdown() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

}  // namespace cablor
