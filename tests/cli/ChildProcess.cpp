#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstring>

extern char** environ;

namespace qel::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& added : extra) {
            if (std::string_view(added).substr(0, added.find('=')) == name) replaced = true;
        }
        if (!replaced) merged.emplace_back(text);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment = mergedEnvironment(extraEnvironment);
    std::vector<char*> argPointers = pointersTo(arguments);
    std::vector<char*> envPointers = pointersTo(environment);
    if (::posix_spawn(&pid_, argPointers[0], &actions, nullptr, argPointers.data(),
                      envPointers.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
}

ChildProcess::~ChildProcess() {
    reap(true);
    if (outFd_ >= 0) ::close(outFd_);
    if (errFd_ >= 0) ::close(errFd_);
}

bool ChildProcess::readSome(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) return false;
    if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0) return true;
    int* descriptors[2] = {&outFd_, &errFd_};
    std::string* buffers[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(*descriptors[i], chunk, sizeof chunk);
        if (n > 0) {
            buffers[i]->append(chunk, static_cast<size_t>(n));
        } else {
            ::close(*descriptors[i]);
            *descriptors[i] = -1;
        }
    }
    return true;
}

std::optional<std::string> ChildProcess::waitForLine(Stream stream, std::string_view text,
                                                     std::chrono::milliseconds limit) {
    std::string& buffer = stream == Stream::Out ? out_ : err_;
    size_t& scanned = stream == Stream::Out ? outScanned_ : errScanned_;
    const auto deadline = Clock::now() + limit;
    while (true) {
        size_t end;
        while ((end = buffer.find('\n', scanned)) != std::string::npos) {
            std::string line = buffer.substr(scanned, end - scanned);
            scanned = end + 1;
            if (line.find(text) != std::string::npos) return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !readSome(std::min(left, std::chrono::milliseconds(100)))) {
            return std::nullopt;
        }
    }
}

ChildProcess::Result ChildProcess::finish(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while ((outFd_ >= 0 || errFd_ >= 0) && Clock::now() < deadline) {
        readSome(std::chrono::milliseconds(100));
    }
    reap(outFd_ >= 0 || errFd_ >= 0);
    return {exitStatus_, out_, err_};
}

void ChildProcess::kill(int signal) {
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

void ChildProcess::reap(bool force) {
    if (pid_ <= 0 || reaped_) return;
    if (force) ::kill(pid_, SIGKILL);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
        exitStatus_ = WEXITSTATUS(status);
    }
    reaped_ = true;
}

ChildProcess::Result runToEnd(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extraEnvironment,
                              std::chrono::milliseconds limit) {
    ChildProcess child(argv, extraEnvironment);
    return child.finish(limit);
}

}  // namespace qel::testing
