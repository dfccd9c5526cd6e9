#include "StopSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace cncsim {

namespace {
std::atomic<bool> stopFlag{false};
int wakePipe[2] = {-1, -1};

void onSignal(int) {
    StopSignal::request();
}
}  // namespace

void StopSignal::install() {
    if (wakePipe[0] >= 0) return;
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A PC that closes its end while we write must not kill the simulator.
    ::signal(SIGPIPE, SIG_IGN);
}

bool StopSignal::requested() {
    return stopFlag.load();
}

int StopSignal::wakeFd() {
    return wakePipe[0];
}

void StopSignal::request() {
    stopFlag.store(true);
    if (wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &byte, 1);
    }
}

}  // namespace cncsim
