// Watches the folder the local pane shows, so that the list follows what transfers, other
// programs and the operator do there: a name created, deleted or moved in the folder, and the
// folder itself, or one above it, deleted or renamed. A change of a file's contents alone does
// not count. The watcher thread only calls wake; the owner reads the folder again on its own
// thread and then calls handled, so that a burst of changes costs one refresh per look, not
// one per file.
#pragma once

#include "base/UniqueFd.h"

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>

struct inotify_event;

namespace qel {

class FolderWatcher {
  public:
    using Wake = std::function<void()>;

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
    // The owner has looked at the folder: the next change wakes it again.
    void handled() { pending_.store(false); }

  private:
    void watch();
    bool concerns(const ::inotify_event& event) const;

    UniqueFd notify_;
    UniqueFd stopEvent_;
    std::thread thread_;
    int folderWatch_ = -1;
    std::map<int, std::string> chain_;  // watch of a folder above -> the next name down
    Wake wake_;
    std::atomic<bool> pending_{false};
};

}  // namespace qel
