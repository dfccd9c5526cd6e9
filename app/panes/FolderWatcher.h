// Watches the folder the local pane shows, so that the list follows what transfers, other
// programs and the operator do there: a name created, deleted or moved in the folder, and the
// folder itself, or one above it, deleted or renamed. A change of a file's contents alone does
// not count. The watcher thread only calls wake; the owner takes the changes (the names
// concerned, or the word that the whole folder must be read) on its own thread, so that a
// burst of changes costs one refresh per look, not one per file, and a refresh after a few
// changes looks at those names only.
#pragma once

#include "base/UniqueFd.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

struct inotify_event;

namespace qel {

class FolderWatcher {
  public:
    using Wake = std::function<void()>;

    // Beyond this many names a refresh reads the whole folder: one read of it is cheaper.
    static constexpr size_t kMostNames = 256;
    struct Changes {
        std::vector<std::string> names;  // created, deleted or moved in the folder, each once
        bool whole = false;  // more than the names can tell (overflow, the folder itself)
    };

    FolderWatcher() = default;
    ~FolderWatcher() { stop(); }
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Stops a watch still running, then watches folder. False when the system refuses the watch
    // (no inotify, too many watches, the folder gone): the list then no longer follows changes
    // until the next start. wake is called on the watcher thread.
    bool start(const std::string& folder, Wake wake);
    // Signals the thread and joins it: no wake comes after this returns.
    void stop();
    bool running() const { return thread_.joinable(); }
    // The owner takes the changes so far; the next change wakes it again.
    Changes handled();

  private:
    void watch();
    bool concerns(const ::inotify_event& event) const;
    void note(const ::inotify_event& event);

    UniqueFd notify_;
    UniqueFd stopEvent_;
    std::thread thread_;
    int folderWatch_ = -1;
    std::map<int, std::string> chain_;  // watch of a folder above -> the next name down
    Wake wake_;
    std::atomic<bool> pending_{false};
    std::mutex changesMutex_;
    Changes changes_;
    std::unordered_set<std::string> noted_;  // the names of changes_
};

}  // namespace qel
