#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace cncsim::testing {

// The simulator as a child process: its standard output is read line by line (it announces
// the port or pty it chose there), its trace on standard error goes to a file.
class SimProcess {
  public:
    SimProcess(const std::string& binary, const std::vector<std::string>& args) {
        char errName[] = "/tmp/cncsim-stderr-XXXXXX";
        int errFd = ::mkstemp(errName);
        errPath_ = errName;
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(errFd, 2);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(binary.c_str()));
            for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(errFd);
        out_ = out[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        ::unlink(errPath_.c_str());
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The rest of the first output line that starts with prefix; empty when none came in time.
    std::string waitForLine(const std::string& prefix, int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (scanned_ < output_.size()) {
                auto end = output_.find('\n', scanned_);
                if (end == std::string::npos) break;
                std::string line = output_.substr(scanned_, end - scanned_);
                scanned_ = end + 1;
                if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return {};
        }
    }
    // Everything the simulator has printed so far (after reading what is waiting).
    const std::string& output() {
        while (readSome(0)) {
        }
        return output_;
    }
    std::string trace() const {
        std::ifstream in(errPath_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Sends a signal and returns the exit status (-1 when it did not end in time).
    int stop(int signal = SIGTERM, int timeoutMs = 5000) {
        if (status_ < 0) ::kill(pid_, signal);
        return wait(timeoutMs);
    }
    int wait(int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (status_ < 0) {
            int raw = 0;
            pid_t done = ::waitpid(pid_, &raw, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        output();
        return status_;
    }

  private:
    bool readSome(int timeoutMs) {
        pollfd in{out_, POLLIN, 0};
        if (::poll(&in, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string errPath_;
    std::string output_;
    std::size_t scanned_ = 0;
};

}  // namespace cncsim::testing
