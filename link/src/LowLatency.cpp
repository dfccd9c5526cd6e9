#include "LowLatency.h"

#include <sys/ioctl.h>

#include <utility>

namespace cablor {

int systemSerialInfoIoctl(int fd, unsigned long request, serial_struct* info) {
    return ::ioctl(fd, request, info);
}

LowLatency LowLatency::request(int fd, SerialInfoIoctl ioctl) {
    LowLatency latency;
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return latency;  // no such request: a pty
    if (info.flags & ASYNC_LOW_LATENCY) return latency;
    const int oldFlags = info.flags;
    info.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &info) != 0) return latency;
    latency.ioctl_ = std::move(ioctl);
    latency.fd_ = fd;
    latency.oldFlags_ = oldFlags;
    latency.changed_ = true;
    return latency;
}

LowLatency::LowLatency(LowLatency&& other) noexcept
    : ioctl_(std::move(other.ioctl_)),
      fd_(other.fd_),
      oldFlags_(other.oldFlags_),
      changed_(std::exchange(other.changed_, false)) {}

LowLatency& LowLatency::operator=(LowLatency&& other) noexcept {
    if (this != &other) {
        ioctl_ = std::move(other.ioctl_);
        fd_ = other.fd_;
        oldFlags_ = other.oldFlags_;
        changed_ = std::exchange(other.changed_, false);
    }
    return *this;
}

void LowLatency::restore() {
    if (!changed_) return;
    changed_ = false;
    // Read again: the driver may have changed other fields since; only the one flag goes back.
    serial_struct info{};
    if (ioctl_(fd_, TIOCGSERIAL, &info) != 0) return;
    info.flags = (info.flags & ~ASYNC_LOW_LATENCY) | (oldFlags_ & ASYNC_LOW_LATENCY);
    ioctl_(fd_, TIOCSSERIAL, &info);
}

}  // namespace cablor
