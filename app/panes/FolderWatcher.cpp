#include "panes/FolderWatcher.h"

#include "base/ThreadPriority.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace qel {

namespace {
// Names in the folder; the folder itself deleted or moved.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
// A folder above: the next folder of the chain deleted or renamed in it, which takes the shown
// folder with it. The folder's own deletion is told at once only to the folder above: the
// folder itself hears of it when nobody uses it any more, and the process's current directory
// is the folder shown.
constexpr uint32_t kAncestorEvents =
    IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
}  // namespace

bool FolderWatcher::start(const std::string& folder, Wake wake) {
    stop();
    UniqueFd notify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    UniqueFd stopEvent(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!notify || !stopEvent) return false;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    folderWatch_ = ::inotify_add_watch(notify.get(), path.c_str(), kFolderEvents);
    if (folderWatch_ < 0) return false;
    // The folders above, up to the root, each with the name of the next one down the chain.
    chain_.clear();
    for (size_t slash = path.rfind('/'); slash != std::string::npos && path.size() > 1;) {
        const std::string above = slash == 0 ? "/" : path.substr(0, slash);
        const int watch = ::inotify_add_watch(notify.get(), above.c_str(), kAncestorEvents);
        if (watch >= 0)
            chain_.emplace(watch, path.substr(slash + 1, path.find('/', slash + 1) - slash - 1));
        if (slash == 0) break;
        slash = path.rfind('/', slash - 1);
    }
    notify_ = std::move(notify);
    stopEvent_ = std::move(stopEvent);
    wake_ = std::move(wake);
    pending_.store(false);
    {
        std::lock_guard lock(changesMutex_);
        changes_ = {};
        noted_.clear();
    }
    thread_ = std::thread([this] { watch(); });
    return true;
}

void FolderWatcher::stop() {
    if (thread_.joinable()) {
        // The counter of the event stays set until the thread reads it, so the signal also
        // reaches a thread that is busy waking its owner at this instant.
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(stopEvent_.get(), &one, sizeof one);
        thread_.join();
    }
    notify_.close();
    stopEvent_.close();
    wake_ = nullptr;
}

FolderWatcher::Changes FolderWatcher::handled() {
    std::lock_guard lock(changesMutex_);
    Changes taken = std::move(changes_);
    changes_ = {};
    noted_.clear();
    // Cleared under the lock: a change noted after this wakes the owner again.
    pending_.store(false);
    return taken;
}

void FolderWatcher::note(const inotify_event& event) {
    std::lock_guard lock(changesMutex_);
    if (changes_.whole) return;
    const bool named = event.wd == folderWatch_ && event.len > 0 &&
                       (event.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) != 0;
    if (!named || noted_.size() >= kMostNames) {
        changes_.whole = true;
        changes_.names.clear();
        noted_.clear();
        return;
    }
    std::string name(event.name);
    if (noted_.insert(name).second) changes_.names.push_back(std::move(name));
}

bool FolderWatcher::concerns(const inotify_event& event) const {
    if (event.wd == folderWatch_ || (event.mask & IN_Q_OVERFLOW) != 0) return true;
    const auto above = chain_.find(event.wd);
    if (above == chain_.end()) return false;
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) return true;
    // Another folder beside the chain changes nothing here.
    return event.len > 0 && above->second == event.name;
}

void FolderWatcher::watch() {
    requestLowestPriority();
    alignas(inotify_event) char events[4096];
    pollfd waits[2] = {{stopEvent_.get(), POLLIN, 0}, {notify_.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;  // a failed wait ends the watch silently
        }
        if (waits[0].revents != 0) return;
        if (waits[1].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
        if ((waits[1].revents & POLLIN) == 0) continue;
        bool changed = false;
        for (;;) {
            const ssize_t length = ::read(notify_.get(), events, sizeof events);
            if (length <= 0) break;
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (!concerns(*event)) continue;
                note(*event);
                changed = true;
            }
        }
        if (changed && !pending_.exchange(true)) wake_();
    }
}

}  // namespace qel
