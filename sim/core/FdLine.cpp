#include "FdLine.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "StopSignal.h"

namespace cncsim {

using Clock = std::chrono::steady_clock;

FdLine::FdLine(int fd) : fd_(fd) {
    struct stat info {};
    isSocket_ = ::fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
}

void FdLine::setLineSpeed(int baud, int bitsPerByte) {
    byteTime_ = baud > 0 ? std::chrono::nanoseconds(1'000'000'000LL * bitsPerByte / baud)
                         : std::chrono::nanoseconds(0);
}

int FdLine::readByte(int timeoutMs) {
    if (next_ < fill_) return buffer_[next_++];
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (StopSignal::requested()) return kReadStopped;
        int waitMs = -1;
        if (timeoutMs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = left.count() < 0 ? 0 : static_cast<int>(left.count());
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {StopSignal::wakeFd(), POLLIN, 0}};
        int ready = ::poll(fds, 2, waitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return kReadClosed;
        }
        if (StopSignal::requested()) return kReadStopped;
        if (ready == 0) return kReadTimeout;
        if (fds[0].revents & POLLIN) {
            ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
            if (n > 0) {
                fill_ = static_cast<std::size_t>(n);
                next_ = 1;
                return buffer_[0];
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (!hangupIsIdle_) return kReadClosed;
        } else if (!(fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            continue;
        } else if (!hangupIsIdle_) {
            return kReadClosed;
        }
        // No program holds the pty slave: wait a little and look again.
        if (timeoutMs >= 0 && Clock::now() >= deadline) return kReadTimeout;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool FdLine::writeAll(const char* data, std::size_t count) {
    while (count > 0) {
        // A PC that closed its socket must not take the simulator down with SIGPIPE.
        ssize_t n = isSocket_ ? ::send(fd_, data, count, MSG_NOSIGNAL) : ::write(fd_, data, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd out{fd_, POLLOUT, 0};
                ::poll(&out, 1, 100);
                continue;
            }
            return false;
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FdLine::write(std::string_view bytes) {
    if (byteTime_.count() == 0) return writeAll(bytes.data(), bytes.size());
    // Paced: each byte leaves at its own slot, as a UART would send it.
    auto now = Clock::now();
    if (nextSlot_ < now) nextSlot_ = now;
    for (char byte : bytes) {
        if (StopSignal::requested()) return false;
        std::this_thread::sleep_until(nextSlot_);
        if (!writeAll(&byte, 1)) return false;
        nextSlot_ += byteTime_;
    }
    return true;
}

bool FdLine::pause(int ms) {
    if (ms <= 0) return !StopSignal::requested();
    pollfd stop{StopSignal::wakeFd(), POLLIN, 0};
    ::poll(&stop, 1, ms);
    return !StopSignal::requested();
}

bool FdLine::inputPending() {
    if (next_ < fill_) return true;
    int count = 0;
    return ::ioctl(fd_, FIONREAD, &count) == 0 && count > 0;
}

}  // namespace cncsim
