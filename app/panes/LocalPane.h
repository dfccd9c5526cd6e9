// The local files pane without its window: the current folder, the path combo's entries with
// the folder chain, the free space, the list's items, Back, the display filter, and the watcher
// that keeps the list up to date. The window (CLocView) shows this state and passes the
// operator's actions in; everything that asks the operator or wakes the window goes through
// LocalPaneHost.
//
// The current folder is the main window's buffer, shared with it: after every Navigate it holds
// the folder shown, with a trailing '/', and the process's current directory is that folder,
// so that file operations use plain names.
#pragma once

#include "panes/FolderWatcher.h"
#include "panes/LocalDisk.h"
#include "panes/LocalListing.h"
#include "panes/TimedDiskCalls.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

class CncClient;

inline constexpr const char* kQelErrorCaption = "QEL Error";
inline constexpr const char* kFolderInaccessibleText =
    "Unable to access directory/drive.\nPlease check that there is a disk in the drive or\nthat "
    "you have permission to access the directory.";

class LocalPaneHost {
  public:
    virtual ~LocalPaneHost() = default;
    // "Unable to access directory/drive. ..." with Retry and Cancel, stop icon, after the
    // exclamation beep; true for Retry.
    virtual bool retryInaccessibleFolder() = 0;
    // A refused action: the plain beep.
    virtual void beep() = 0;
    // Called on the watcher's thread (or on the pane's own, when a watch could not start): have
    // RefreshFolder run on the pane's own thread, later.
    virtual void folderChanged() = 0;
};

// One entry of the path combo: a drive (indent 0) or a folder of the chain down to the current
// one (indent = its level below the drive root).
struct PathEntry {
    std::string text;
    int image = 0;
    int indent = 0;
    std::string path;  // a drive root with its '/', a folder without one
};

class LocalPane {
  public:
    static constexpr const char* kInitialEditor = "NOTEPAD";
    static constexpr size_t kLongestEditor = 129;

    LocalPane(LocalPaneHost& host, std::string& currentFolder,
              std::shared_ptr<LocalDisk> disk = std::make_shared<LocalDisk>(),
              std::chrono::milliseconds diskLimit = TimedDiskCalls::kDefaultLimit);
    LocalPane(const LocalPane&) = delete;
    LocalPane& operator=(const LocalPane&) = delete;

    void SetMemoryTypes(const MemoryTypeTable& types) { types_ = types; }
    void SetEditor(std::string_view command);
    const std::string& editor() const { return editor_; }
    void SetOptions(uint8_t options) { options_ = options; }
    // Stores both, then shows the current folder again; nothing when neither changed.
    void SetLink(CncClient* link, uint8_t options);
    CncClient* link() const { return link_; }
    uint8_t options() const { return options_; }

    // Shows the folder of path: true only when the whole path exists. A path that exists only
    // partly shows its deepest existing folder; a path outside every drive shows the home
    // folder. A folder that cannot be read (or a disk that does not answer within the limit)
    // asks Retry or Cancel; Cancel leaves an empty list and no watcher.
    bool Navigate(std::string_view path);
    // Reads the current folder again and changes only what differs. Nothing while refresh is
    // off (a name being edited). A folder that went away meanwhile is left for the deepest one
    // that still exists.
    void RefreshFolder();
    // The watcher told of changes: only the names it gave are looked at again (the whole
    // folder when it could not tell them, or when changes came while refresh was off).
    void RefreshChanges();
    // Up one level. At a drive root, or when that fails: the beep and false.
    bool Back();
    // The path combo's entry index was chosen: its folder is shown.
    bool ChooseEntry(size_t index);

    // The display filter: a change is applied when the operator leaves the edit.
    void FilterEdited(std::string_view text);
    void FilterEditLeft();
    const std::string& filterText() const { return filterText_; }
    bool filterChanged() const { return filterChanged_; }

    // The operator's changes to the shown folder. Each leaves every other entry as it was; the
    // list learns of them from the next refresh, except for a new entry, which shows at once
    // so that its name can be edited.
    struct DeleteOutcome {
        size_t deleted = 0;
        std::optional<std::string> failed;  // the file the deleting stopped at
    };
    // Deletes the files in order and stops at the first that cannot be deleted. A file that
    // another program deleted meanwhile is gone as asked: it does not stop the others.
    DeleteOutcome DeleteFiles(const std::vector<std::string>& names);
    // A new folder or empty text file under the first free default name; its name, or nothing
    // when the folder refused (or its disk did not answer). Nothing is ever overwritten.
    std::optional<std::string> NewFolder();
    std::optional<std::string> NewTextFile();
    // False (and nothing changed) when to is not a plain name, another entry has it, or the
    // disk refused.
    bool Rename(const std::string& from, const std::string& to);
    // A folder item opened: its folder is shown.
    bool OpenFolder(const std::string& name);
    // The full path of a name of the shown folder.
    std::string pathOf(const std::string& name) const { return currentFolder_ + name; }

    void EnableRefresh(bool on) { refreshEnabled_ = on; }
    bool refreshEnabled() const { return refreshEnabled_; }
    // Ends the watch (the pane goes).
    void StopWatching() { watcher_.stop(); }

    LocalListing& listing() { return listing_; }
    const LocalListing& listing() const { return listing_; }
    const std::vector<PathEntry>& pathEntries() const { return pathEntries_; }
    int pathSelection() const { return pathSelection_; }
    std::vector<std::string> folderChain() const;
    int depth() const { return depth_; }
    const std::string& freeSpace() const { return freeSpace_; }
    const std::string& currentFolder() const { return currentFolder_; }
    bool watching() const { return watcher_.running(); }
    // Disk calls given up on a drive that did not answer and not come back yet.
    size_t stuckDiskCalls() { return calls_.stuck(); }

  private:
    struct Snapshot;
    void buildPathEntries(const std::vector<Drive>& drives, int current,
                          const std::vector<std::string>& folders);
    void startWatching();
    std::optional<std::string> makeNewEntry(bool folder);

    LocalPaneHost& host_;
    std::string& currentFolder_;
    std::shared_ptr<LocalDisk> disk_;
    MemoryTypeTable types_{};
    std::string editor_ = kInitialEditor;
    CncClient* link_ = nullptr;
    uint8_t options_ = 0;
    std::string filterText_ = "*";
    bool filterChanged_ = false;
    bool missedChanges_ = false;  // changes came while nothing could be refreshed
    bool refreshEnabled_ = true;
    bool shown_ = false;  // a folder is listed (not after Cancel)
    LocalListing listing_;
    std::vector<PathEntry> pathEntries_;
    int pathSelection_ = -1;
    int depth_ = 0;
    std::string freeSpace_ = "???";
    TimedDiskCalls calls_;
    FolderWatcher watcher_;  // last: stopped before anything it wakes goes
};

}  // namespace qel
