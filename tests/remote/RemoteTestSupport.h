// Folders and files for remote-mode tests, and a view that records what the operator saw.
#pragma once

#include "remote/RemoteModeDisplay.h"
#include "remote/RemoteModeView.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qel::remote::testing {

namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "qel-remote-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return path_; }
    std::string string() const { return path_.string(); }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

inline void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void makeReadOnly(const fs::path& path) {
    ::chmod(path.c_str(), 0444);
}
inline bool isReadOnly(const fs::path& path) {
    struct stat facts {};
    return ::stat(path.c_str(), &facts) == 0 && (facts.st_mode & S_IWUSR) == 0;
}

// Every name in the folder (hidden ones included), sorted.
inline std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Everything below a folder with its content, to prove that nothing there changed.
inline std::vector<std::string> snapshotOf(const fs::path& folder) {
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string line = entry.path().string();
        if (entry.is_symlink())
            line += " -> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            line += " = " + readFile(entry.path()).value_or("?");
        struct stat facts {};
        if (::lstat(entry.path().c_str(), &facts) == 0) line += " " + std::to_string(facts.st_mode);
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Records what the operator saw, following a display: every accessor first takes the changes
// made since the last look. onProgress, if set, runs on each progress change, on the thread that
// looks; pollEvery() looks from a thread of its own, as a window's timer does.
class RecordingView : public RemoteModeView {
  public:
    explicit RecordingView(RemoteModeDisplay& display) : display_(display) { display.follow(); }
    ~RecordingView() override { stopPolling(); }

    void pollEvery(std::chrono::milliseconds period) {
        polling_ = true;
        poller_ = std::thread([this, period] {
            while (polling_) {
                refresh();
                std::this_thread::sleep_for(period);
            }
        });
    }
    void stopPolling() {
        polling_ = false;
        if (poller_.joinable()) poller_.join();
    }
    // Takes the changes made since the last look.
    void refresh() const {
        std::lock_guard lock(refreshing_);
        display_.showChangesOn(const_cast<RecordingView&>(*this));
    }

    void statusShown(const std::string& status) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back(status);
    }
    void lineLogged(const std::string& line, const std::string&) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    }
    void progressShown(int percent, const std::string& text) override {
        std::function<void(int)> hook;
        int changes = 0;
        {
            std::lock_guard lock(mutex_);
            progress_.push_back(std::to_string(percent) + "|" + text);
            changes = static_cast<int>(progress_.size());
            hook = onProgress;
        }
        if (hook) hook(changes);
    }
    void buttonsShown(bool exitEnabled, bool abortEnabled) override {
        std::lock_guard lock(mutex_);
        buttons_.push_back(std::string(exitEnabled ? "exit" : "-") + "/" +
                           (abortEnabled ? "abort" : "-"));
    }

    std::vector<std::string> lines() const {
        refresh();
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> statuses() const {
        refresh();
        std::lock_guard lock(mutex_);
        return statuses_;
    }
    std::vector<std::string> progress() const {
        refresh();
        std::lock_guard lock(mutex_);
        return progress_;
    }
    std::vector<std::string> buttons() const {
        refresh();
        std::lock_guard lock(mutex_);
        return buttons_;
    }
    bool logged(const std::string& line) const {
        const auto all = lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    void clear() {
        refresh();
        std::lock_guard lock(mutex_);
        lines_.clear();
        statuses_.clear();
        progress_.clear();
        buttons_.clear();
    }

    std::function<void(int)> onProgress;  // argument: number of progress changes so far

  private:
    RemoteModeDisplay& display_;
    mutable std::mutex refreshing_;  // one look at a time, so that changes stay in order
    std::atomic<bool> polling_{false};
    std::thread poller_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_, statuses_, progress_, buttons_;
};

}  // namespace qel::remote::testing
