#include "TermiosDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <utility>

#include "ComPortDevice.h"
#include "LowLatency.h"
#include "Termios2.h"

namespace cablor {
namespace {

// How often CTS is sampled while waiting for it to change (the tty has no cancellable wait).
constexpr int kModemPollMs = 10;
// A write that makes no progress for this long has met a dead line.
constexpr int kWriteStallMs = 10000;

speed_t speedConstant(uint32_t speed) {
    switch (speed) {
        case 50:
            return B50;
        case 75:
            return B75;
        case 110:
            return B110;
        case 134:
            return B134;
        case 150:
            return B150;
        case 200:
            return B200;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 1800:
            return B1800;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return 0;
    }
}

bool noModemLines(int error) {
    return error == ENOTTY || error == EINVAL || error == EIO;
}

class TermiosDevice final : public SerialDevice {
  public:
    TermiosDevice(int fd, int cancelFd, LowLatency latency)
        : fd_(fd), cancelFd_(cancelFd), latency_(std::move(latency)) {
        serial_icounter_struct counts{};
        if (::ioctl(fd_, TIOCGICOUNT, &counts) == 0) counts_ = counts;
    }

    ~TermiosDevice() override {
        latency_.restore();
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        ::close(cancelFd_);
    }

    int applySettings(const LineSettings& s) override {
        termios t{};
        if (::tcgetattr(fd_, &t) < 0) return errno;
        t.c_iflag = INPCK | PARMRK;
        t.c_oflag = 0;
        t.c_lflag = 0;
        t.c_cflag = CLOCAL | CREAD | HUPCL;
        t.c_cflag |= s.dataBits == 7 ? CS7 : CS8;
        if (s.stopBits == 2) t.c_cflag |= CSTOPB;
        if (s.parity != Parity::None) t.c_cflag |= PARENB;
        if (s.parity == Parity::Odd) t.c_cflag |= PARODD;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        speed_t constant = speedConstant(s.speed);
        if (constant != 0) {
            ::cfsetispeed(&t, constant);
            ::cfsetospeed(&t, constant);
        }
        if (::tcsetattr(fd_, TCSANOW, &t) < 0) return errno;
        if (constant == 0) {
            if (s.speed == 0) return EINVAL;
            if (int rc = cablorSetArbitrarySpeed(fd_, s.speed); rc != 0) return rc;
        }
        std::lock_guard lock(mutex_);
        discardNul_ = s.mode != LineMode::Rxa2;
        // Modem lines as the line mode wants them; a line without them (a pty) skips this.
        // DTR "handshake" in RXA/2 is raised while the port is open.
        bool rts = s.mode != LineMode::DataIoRtsCts && s.mode != LineMode::DataIoCts;
        setLine(TIOCM_DTR, true);
        setLine(TIOCM_RTS, rts);
        return 0;
    }

    bool queryStatus(LineErrors* errors, int* inputCount) override {
        int queued = 0;
        if (::ioctl(fd_, FIONREAD, &queued) < 0) {
            std::lock_guard lock(mutex_);
            failed_ = true;
            return false;
        }
        std::lock_guard lock(mutex_);
        collectCounters();
        decodeAvailable();
        *errors = errors_;
        errors_ = {};
        *inputCount = static_cast<int>(decoded_.size()) + (queued > 0 ? queued : 0);
        return true;
    }

    int read(uint8_t* buffer, int max, int timeoutMs) override {
        if (max <= 0) return 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (!failed_) decodeAvailable();
                if (!decoded_.empty()) return take(buffer, max);
                if (failed_ || hungUp_) return -1;
            }
            int waitMs = -1;
            if (timeoutMs >= 0) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) return 0;
                waitMs = static_cast<int>(left.count());
            }
            int ready = waitReadable(waitMs);
            if (ready < 0) return -1;
            if (ready == 0 && timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) {
                std::lock_guard lock(mutex_);
                decodeAvailable();
                return decoded_.empty() ? 0 : take(buffer, max);
            }
        }
    }

    bool write(const uint8_t* bytes, int count) override {
        int sent = 0;
        while (sent < count) {
            ssize_t n = ::write(fd_, bytes + sent, static_cast<size_t>(count - sent));
            if (n > 0) {
                sent += static_cast<int>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) {
                std::lock_guard lock(mutex_);
                failed_ = true;
                return false;
            }
            pollfd p[2] = {{fd_, POLLOUT, 0}, {cancelFd_, POLLIN, 0}};
            int rc = ::poll(p, 2, kWriteStallMs);
            if (rc < 0 && errno == EINTR) continue;
            if (rc <= 0 || (p[1].revents & POLLIN) || (p[0].revents & (POLLERR | POLLHUP))) {
                return false;
            }
        }
        return true;
    }

    bool getCts(bool* cts) override {
        int lines = 0;
        if (::ioctl(fd_, TIOCMGET, &lines) < 0) {
            if (!noModemLines(errno)) return false;
            *cts = true;
            return true;
        }
        *cts = (lines & TIOCM_CTS) != 0;
        return true;
    }

    bool setRts(bool on) override { return setLine(TIOCM_RTS, on); }
    bool setDtr(bool on) override { return setLine(TIOCM_DTR, on); }

    bool waitEvent(unsigned mask) override {
        bool startCts = false;
        bool watchCts = (mask & kEventCtsChange) && getCts(&startCts);
        for (;;) {
            if (mask & (kEventCharacter | kEventLineError)) {
                std::lock_guard lock(mutex_);
                decodeAvailable();
                if ((mask & kEventCharacter) && !decoded_.empty()) return true;
                if ((mask & kEventLineError) && errors_.any()) return true;
                if (failed_ || hungUp_) return false;
            }
            if (watchCts) {
                bool cts = startCts;
                if (!getCts(&cts)) return false;
                if (cts != startCts) return true;
            }
            int waitMs = watchCts ? kModemPollMs : -1;
            pollfd p[2] = {{fd_, static_cast<short>(mask & kEventCharacter ? POLLIN : 0), 0},
                           {cancelFd_, POLLIN, 0}};
            int rc = ::poll(p, 2, waitMs);
            if (rc < 0 && errno != EINTR) return false;
            if (p[1].revents & POLLIN) return false;
            if (p[0].revents & (POLLERR | POLLNVAL)) {
                std::lock_guard lock(mutex_);
                failed_ = true;
                return false;
            }
            if (p[0].revents & POLLHUP) {
                // A wait for bytes gets what arrived before the hang-up in the next round; a
                // wait for CTS alone has nothing more to wait for.
                std::lock_guard lock(mutex_);
                hungUp_ = true;
                if (!(mask & (kEventCharacter | kEventLineError))) return false;
            }
        }
    }

    void purgeInput() override {
        ::tcflush(fd_, TCIFLUSH);
        std::lock_guard lock(mutex_);
        decoded_.clear();
        raw_.clear();
    }

    bool gone() override {
        std::lock_guard lock(mutex_);
        return failed_ || hungUp_;
    }

    void cancel() override {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(cancelFd_, &one, sizeof one);
    }

  private:
    // 1 readable, 0 time-out, -1 cancelled or failed. A tty hung up (a USB adapter pulled out)
    // polls readable for ever while its reads return nothing: the hang-up is remembered, so
    // that the reader gets what was still buffered and then a device failure, not a spin.
    int waitReadable(int timeoutMs) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
        int rc = ::poll(p, 2, timeoutMs);
        if (rc < 0) return errno == EINTR ? 0 : -1;
        if (p[1].revents & POLLIN) return -1;
        if (p[0].revents & (POLLERR | POLLNVAL)) {
            std::lock_guard lock(mutex_);
            failed_ = true;
            return -1;
        }
        if (p[0].revents & POLLHUP) {
            std::lock_guard lock(mutex_);
            hungUp_ = true;
            return 1;
        }
        if (p[0].revents & POLLIN) return 1;
        return 0;
    }

    bool setLine(int line, bool on) {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
        return noModemLines(errno);
    }

    // Reads what the driver holds and turns PARMRK sequences into bytes and error flags.
    // Caller holds mutex_.
    void decodeAvailable() {
        uint8_t chunk[512];
        for (;;) {
            ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                if (errno != EAGAIN) failed_ = true;
                break;
            }
            if (n == 0) break;  // pty master gone: POLLHUP tells the waiters
            raw_.insert(raw_.end(), chunk, chunk + n);
            if (n < static_cast<ssize_t>(sizeof chunk)) break;
        }
        size_t i = 0;
        while (i < raw_.size()) {
            uint8_t b = raw_[i];
            if (b != 0xFF) {
                push(b);
                ++i;
                continue;
            }
            if (i + 1 >= raw_.size()) break;  // wait for the rest of the mark
            if (raw_[i + 1] == 0xFF) {
                push(0xFF);
                i += 2;
                continue;
            }
            if (i + 2 >= raw_.size()) break;
            markError(raw_[i + 2]);
            i += 3;
        }
        raw_.erase(raw_.begin(), raw_.begin() + static_cast<long>(i));
    }

    void push(uint8_t b) {
        if (b == 0 && discardNul_) return;
        decoded_.push_back(b);
    }

    // 0xFF 0x00 X: X arrived with a parity or framing error; 0xFF 0x00 0x00 is a break. The
    // byte is delivered so that the reader's status query sees the error with it.
    void markError(uint8_t b) {
        serial_icounter_struct before = counts_;
        collectCounters();
        if (counts_.frame != before.frame && counts_.parity == before.parity) {
            errors_.framing = true;
        } else if (b == 0 && counts_.brk != before.brk) {
            errors_.brk = true;
        } else {
            errors_.parity = true;
        }
        decoded_.push_back(b);
    }

    void collectCounters() {
        serial_icounter_struct now{};
        if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) return;
        if (now.overrun != counts_.overrun || now.buf_overrun != counts_.buf_overrun) {
            errors_.overrun = true;
        }
        counts_ = now;
    }

    int take(uint8_t* buffer, int max) {
        int n = std::min<int>(max, static_cast<int>(decoded_.size()));
        std::copy_n(decoded_.begin(), n, buffer);
        decoded_.erase(decoded_.begin(), decoded_.begin() + n);
        return n;
    }

    int fd_;
    int cancelFd_;
    LowLatency latency_;
    std::mutex mutex_;
    std::vector<uint8_t> raw_;      // bytes read, not yet decoded (a PARMRK mark cut in two)
    std::vector<uint8_t> decoded_;  // bytes ready for the reader
    LineErrors errors_;
    serial_icounter_struct counts_{};
    bool discardNul_ = false;
    bool failed_ = false;
    bool hungUp_ = false;
};

}  // namespace

std::unique_ptr<SerialDevice> openTermiosDevice(const std::string& path, DeviceOpenFailure* failure,
                                                SerialInfoIoctl serialInfo) {
    failure->path = path;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        failure->error = errno;
        return nullptr;
    }
    auto fail = [&](int error) {
        failure->error = error;
        ::close(fd);
        return nullptr;
    };
    if (!::isatty(fd)) return fail(ENOTTY);
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) < 0) return fail(errno);
    int cancelFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancelFd < 0) {
        int error = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(error);
    }
    failure->error = 0;
    return std::make_unique<TermiosDevice>(fd, cancelFd,
                                           LowLatency::request(fd, std::move(serialInfo)));
}

std::unique_ptr<SerialDevice> openComPort(int port, DeviceOpenFailure* failure) {
    std::string path = ports::comPortDevice(port);
    if (path.empty()) {
        failure->path.clear();
        failure->error = ENODEV;
        return nullptr;
    }
    return openTermiosDevice(path, failure);
}

}  // namespace cablor
