#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "FdLine.h"
#include "UniqueFd.h"

namespace cncsim::testing {

// Two connected ends: the simulator's line, and the PC's raw descriptor for the test to drive.
class LinePair {
  public:
    LinePair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            cnc_.reset(fds[0]);
            pc_.reset(fds[1]);
        }
        line = std::make_unique<FdLine>(cnc_.get());
    }
    int pc() const { return pc_.get(); }
    void closePc() { pc_.reset(); }

    void pcWrite(std::string_view bytes) const {
        [[maybe_unused]] ssize_t n = ::write(pc_.get(), bytes.data(), bytes.size());
    }
    // Reads exactly count bytes (fewer when nothing comes within timeoutMs).
    std::string pcRead(std::size_t count, int timeoutMs = 1000) const {
        std::string bytes;
        while (bytes.size() < count) {
            pollfd in{pc_.get(), POLLIN, 0};
            if (::poll(&in, 1, timeoutMs) <= 0) break;
            char buffer[2048];
            ssize_t n = ::read(pc_.get(), buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    std::unique_ptr<FdLine> line;

  private:
    UniqueFd cnc_;
    UniqueFd pc_;
};

}  // namespace cncsim::testing
