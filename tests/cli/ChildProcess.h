// A program started by a test, with its standard output and error read through pipes. The
// destructor kills it if it still runs, so a failing test leaves nothing behind.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::testing {

class ChildProcess {
  public:
    enum class Stream { Out, Err };
    struct Result {
        int exitStatus = -1;  // -1 when it had to be killed
        std::string out;
        std::string err;
    };

    // extraEnvironment: "NAME=value" entries added to (or replacing those of) this process's.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::vector<std::string>& extraEnvironment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // Reads until a line of the stream contains text; that line, or nothing at the limit or the
    // end of the stream.
    std::optional<std::string> waitForLine(Stream stream, std::string_view text,
                                           std::chrono::milliseconds limit);

    // Reads both streams to their end and reaps the program; kills it at the limit.
    Result finish(std::chrono::milliseconds limit);

    void kill(int signal);

  private:
    bool readSome(std::chrono::milliseconds wait);
    void reap(bool force);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    size_t outScanned_ = 0;
    size_t errScanned_ = 0;
    int exitStatus_ = -1;
    bool reaped_ = false;
};

// Runs a program to its end and returns what it printed.
ChildProcess::Result runToEnd(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extraEnvironment = {},
                              std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace qel::testing
