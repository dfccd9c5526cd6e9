// Telegrams in both directions over a real pseudo-terminal pair: the library on the tty side,
// a CNC on the master side that speaks the protocol as raw bytes and checks them exactly.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "LineFixture.h"
#include "TermiosDevice.h"

namespace cablor::test {
namespace {

using namespace ctl;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The CNC end of the pty: exact reads with a deadline, so a broken exchange fails the test
// instead of hanging it.
class RawCnc {
  public:
    explicit RawCnc(int fd) : fd_(fd) {}

    bool expect(const Bytes& wanted, std::string* error) {
        Bytes got;
        while (got.size() < wanted.size()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 3000) <= 0) {
                *error = "CNC timed out after " + std::to_string(got.size()) + " of " +
                         std::to_string(wanted.size()) + " bytes";
                return false;
            }
            uint8_t chunk[2048];
            const ssize_t n =
                ::read(fd_, chunk, std::min(sizeof chunk, wanted.size() - got.size()));
            if (n <= 0 && errno != EAGAIN && errno != EINTR) {
                *error = "CNC read failed";
                return false;
            }
            if (n > 0) got.insert(got.end(), chunk, chunk + n);
        }
        if (got != wanted) {
            *error = "CNC got " + traced(got) + " instead of " + traced(wanted);
            return false;
        }
        return true;
    }

    bool put(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (n > 0) done += static_cast<size_t>(n);
        }
        return true;
    }

    // The CNC receives a telegram from the PC.
    bool receive(const Bytes& text, std::string* error) {
        return expect({kEnq}, error) && put({kDle, kAck0}) && expect(frameOf(text), error) &&
               put({kDle, kAck1}) && expect({kEot}, error);
    }

    // The CNC sends a telegram to the PC.
    bool send(const Bytes& text, std::string* error) {
        return put({kEnq}) && expect({kDle, kAck0}, error) && put(frameOf(text)) &&
               expect({kDle, kAck1}, error) && put({kEot});
    }

  private:
    int fd_;
};

// Telegram i: lengths from 1 to 1024, with every byte value the protocol must carry through,
// DLE, ETX, ENQ, NUL and 0xFF among them.
Bytes telegram(int i, bool fromCnc) {
    const size_t length = static_cast<size_t>(1 + (i * 97 + (fromCnc ? 13 : 0)) % kMaxTelegram);
    Bytes text(length);
    for (size_t k = 0; k < length; ++k) {
        text[k] = static_cast<uint8_t>(k * 31 + static_cast<size_t>(i) * 7 + (fromCnc ? 1 : 0));
    }
    text[0] = kDle;
    if (length > 2) text[length - 1] = 0xFF;
    return text;
}

// Exchanges count telegrams each way: the PC sends telegram i, the CNC answers with its own.
void exchangeOverPty(int count, int sendDelayMs) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    FileDescriptor masterFd(master);
    FileDescriptor slaveFd(slave);  // kept open so that the master never sees a hang-up
    termios raw{};
    ASSERT_EQ(::tcgetattr(master, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(master, TCSANOW, &raw), 0);

    DeviceOpenFailure failure;
    std::shared_ptr<SerialDevice> device = openTermiosDevice(::ttyname(slave), &failure);
    ASSERT_NE(device, nullptr) << failure.path << " errno " << failure.error;
    SerialLine line(device);
    ASSERT_EQ(line.configure(LineSettings{}, 1000), 0);

    std::string cncError;
    std::jthread cnc([&] {  // joined on every way out
        RawCnc peer(master);
        for (int i = 0; i < count; ++i) {
            if (!peer.receive(telegram(i, false), &cncError)) return;
            if (!peer.send(telegram(i, true), &cncError)) return;
        }
    });

    uint8_t buffer[kMaxTelegram];
    for (int i = 0; i < count; ++i) {
        const Bytes out = telegram(i, false);
        ASSERT_EQ(
            sendTelegram(line, out.data(), static_cast<int>(out.size()), 2, 2000, sendDelayMs),
            SendResult::Ok)
            << "telegram " << i << ": " << cncError;
        int length = 0;
        ASSERT_EQ(receiveTelegram(line, buffer, &length, 3000, sendDelayMs), ReceiveResult::Ok)
            << "telegram " << i << ": " << cncError;
        ASSERT_EQ(Bytes(buffer, buffer + length), telegram(i, true)) << "telegram " << i;
    }
    cnc.join();
    EXPECT_EQ(cncError, "");
}

TEST(PtyTelegrams, ManyTelegramsInBothDirectionsArriveByteExact) {
    exchangeOverPty(60, 0);
}

TEST(PtyTelegrams, TelegramsWrittenByteByByteWithSendDelayArriveByteExact) {
    exchangeOverPty(4, 1);
}

}  // namespace
}  // namespace cablor::test
