// cncsim as a child process for the benchmarks that talk to it: a store folder of its own,
// its first output lines read for the address or terminal it listens on.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

inline fs::path makeFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    return ::mkdtemp(pattern.data());
}

// cncsim with an empty store folder, on the line the options give.
class Simulator {
  public:
    explicit Simulator(const std::vector<std::string>& line)
        : store_(makeFolder("qel-bench-store-")) {
        std::vector<std::string> args = {CNCSIM_PROGRAM, "--quiet", "--store", store_.string()};
        args.insert(args.end(), line.begin(), line.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Simulator() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        std::error_code ignored;
        fs::remove_all(store_, ignored);
    }
    const fs::path& storeFolder() const { return store_; }
    // A memory for the machine to send; cncsim reads its store at each request.
    void store(const std::string& fileName, const std::string& text) {
        std::ofstream(store_ / fileName, std::ios::binary) << text;
    }
    // The rest of the first output line that starts with prefix.
    std::optional<std::string> line(const std::string& prefix) {
        using namespace std::chrono_literals;
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline) {
            size_t end;
            while ((end = output_.find('\n')) != std::string::npos) {
                std::string line = output_.substr(0, end);
                output_.erase(0, end + 1);
                if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
            }
            pollfd ready{out_, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            char buffer[512];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) return std::nullopt;
            output_.append(buffer, static_cast<size_t>(n));
        }
        return std::nullopt;
    }

  private:
    fs::path store_;
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

}  // namespace bench
