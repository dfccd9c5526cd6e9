#include "PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "StopSignal.h"

namespace cncsim {

namespace {
[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &settings);
}

speed_t speedConstant(int baud) {
    switch (baud) {
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
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
        default:
            return B0;
    }
}
}  // namespace

PseudoTerminal::PseudoTerminal(const std::filesystem::path& symlink) {
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_.valid()) fail("cannot create a pseudo-terminal");
    if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0)
        fail("cannot unlock the pseudo-terminal");
    char name[128];
    if (::ptsname_r(master_.get(), name, sizeof name) != 0) fail("cannot name the pseudo-terminal");
    slavePath_ = name;
    slaveHold_.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slaveHold_.valid()) fail("cannot open " + slavePath_);
    makeRaw(slaveHold_.get());
    if (!symlink.empty()) {
        std::error_code ec;
        // Replace a symlink left over from an earlier run, never a real file.
        if (std::filesystem::is_symlink(symlink, ec)) std::filesystem::remove(symlink, ec);
        std::filesystem::create_symlink(slavePath_, symlink, ec);
        if (ec)
            throw std::runtime_error("cannot create the link " + symlink.string() + ": " +
                                     ec.message());
        symlink_ = symlink;
    }
}

PseudoTerminal::~PseudoTerminal() {
    if (!symlink_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(symlink_, ignored);
    }
}

void PseudoTerminal::waitUntilDrained(int timeoutMs) const {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        int queued = 0;
        if (::ioctl(slaveHold_.get(), FIONREAD, &queued) != 0 || queued == 0) return;
        if (StopSignal::requested()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

UniqueFd openSerialDevice(const std::string& path, int baud) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) fail("cannot open " + path);
    termios settings{};
    if (::tcgetattr(fd.get(), &settings) != 0) fail(path + " is not a serial device");
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CRTSCTS | PARENB | CSTOPB);
    if (baud > 0) {
        const speed_t speed = speedConstant(baud);
        if (speed == B0) throw std::runtime_error("unsupported speed " + std::to_string(baud));
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
    }
    if (::tcsetattr(fd.get(), TCSANOW, &settings) != 0) fail("cannot program " + path);
    return fd;
}

}  // namespace cncsim
