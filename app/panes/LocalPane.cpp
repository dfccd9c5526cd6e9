#include "panes/LocalPane.h"

#include "panes/LocalFileCommands.h"
#include "panes/MatchPattern.h"
#include "transfer/LocalFileNames.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qel {

namespace {
// Where the pane goes when a path lies on no drive.
std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    std::string folder = home != nullptr && home[0] == '/' ? home : "/";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string withTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}
}  // namespace

// What a worker finds on the disk for one Navigate or RefreshFolder.
struct LocalPane::Snapshot {
    PathWalk walk;
    std::string folder;  // the deepest existing folder, '/'-terminated
    std::optional<uint64_t> freeBytes;
    FolderListing listing;
};

LocalPane::LocalPane(LocalPaneHost& host, std::string& currentFolder,
                     std::shared_ptr<LocalDisk> disk, std::chrono::milliseconds diskLimit)
    : host_(host), currentFolder_(currentFolder), disk_(std::move(disk)), calls_(diskLimit) {}

void LocalPane::SetEditor(std::string_view command) {
    editor_ = std::string(command.substr(0, kLongestEditor));
}

void LocalPane::SetLink(CncClient* link, uint8_t options) {
    if (link == link_ && options == options_) return;
    link_ = link;
    options_ = options;
    Navigate(currentFolder_);
}

bool LocalPane::Navigate(std::string_view requested) {
    watcher_.stop();
    shown_ = false;
    pathEntries_.clear();
    pathSelection_ = -1;
    depth_ = 0;

    const std::vector<Drive> drives = disk_->drives();
    const std::string path(requested);
    const int current = path.starts_with('/') ? driveOf(drives, path) : -1;
    if (current < 0) {
        const std::string home = homeFolder();
        if (path != home) Navigate(home);
        return false;
    }

    const std::string root = drives[static_cast<size_t>(current)].root;
    const std::string below = path.size() > root.size() ? path.substr(root.size()) : "";
    const std::string filter = displayFilter(filterText_);
    std::optional<Snapshot> found;
    for (;;) {
        found = calls_.run<Snapshot>([disk = disk_, root, below, filter, types = types_]() {
            Snapshot snapshot;
            snapshot.walk = disk->walk(root, below);
            snapshot.folder = root;
            for (const std::string& folder : snapshot.walk.folders) {
                snapshot.folder += folder + '/';
            }
            snapshot.freeBytes = disk->freeSpace(snapshot.folder);
            snapshot.listing = disk->list(snapshot.folder, filter, types);
            return snapshot;
        });
        if (found) {
            buildPathEntries(drives, current, found->walk.folders);
            currentFolder_ = found->folder;
            freeSpace_ = freeSpaceText(found->freeBytes);
        } else {
            // The disk did not answer: where the path leads is not known.
            buildPathEntries(drives, current, {});
            currentFolder_ = withTrailingSlash(path);
            freeSpace_ = freeSpaceText(std::nullopt);
        }
        if (found && found->listing.error == 0 && ::chdir(currentFolder_.c_str()) == 0) break;
        if (!host_.retryInaccessibleFolder()) {
            listing_.clear();
            return false;
        }
    }

    listing_.replace(std::move(found->listing.entries));
    shown_ = true;
    startWatching();
    return found->walk.complete;
}

void LocalPane::buildPathEntries(const std::vector<Drive>& drives, int current,
                                 const std::vector<std::string>& folders) {
    for (size_t i = 0; i < drives.size(); ++i) {
        const Drive& drive = drives[i];
        pathEntries_.push_back({driveText(drive), driveImage(drive.kind), 0, drive.root});
        if (static_cast<int>(i) != current) continue;
        pathSelection_ = static_cast<int>(pathEntries_.size()) - 1;
        std::string chain = drive.root;
        for (size_t level = 0; level < folders.size(); ++level) {
            chain += folders[level];
            const int image = level + 1 == folders.size() ? kLocalFolderImage + 1 : 0;
            pathEntries_.push_back({folders[level], image, static_cast<int>(level) + 1, chain});
            chain += '/';
        }
        depth_ = static_cast<int>(folders.size());
        pathSelection_ += depth_;
    }
}

void LocalPane::startWatching() {
    LocalPaneHost& host = host_;
    // A folder that went away between reading it and watching it cannot be watched: one more
    // look finds that out and moves on to the deepest folder that is left.
    if (!watcher_.start(currentFolder_, [&host] { host.folderChanged(); })) host.folderChanged();
}

void LocalPane::RefreshFolder() {
    // Changes from now on wake the pane again, also those made while the folder is read.
    watcher_.handled();
    if (!refreshEnabled_ || !shown_) return;
    missedChanges_ = false;
    const std::string folder = currentFolder_;
    auto found = calls_.run<Snapshot>(
        [disk = disk_, folder, filter = displayFilter(filterText_), types = types_]() {
            Snapshot snapshot;
            snapshot.folder = folder;
            snapshot.freeBytes = disk->freeSpace(folder);
            snapshot.listing = disk->list(folder, filter, types);
            return snapshot;
        });
    if (!found) {
        // A disk that does not answer: the list stays as it was, to be read again next time.
        missedChanges_ = true;
        return;
    }
    if (found->listing.error != 0) {
        // The folder went away or became unreadable while shown.
        Navigate(currentFolder_);
        return;
    }
    freeSpace_ = freeSpaceText(found->freeBytes);
    listing_.refresh(std::move(found->listing.entries));
}

void LocalPane::RefreshChanges() {
    FolderWatcher::Changes changes = watcher_.handled();
    if (!refreshEnabled_ || !shown_) {
        missedChanges_ = true;
        return;
    }
    if (changes.whole || missedChanges_) {
        RefreshFolder();
        return;
    }
    if (changes.names.empty()) return;
    struct Looked {
        std::optional<uint64_t> freeBytes;
        EntryLookup lookup;
    };
    const std::string folder = currentFolder_;
    auto found = calls_.run<Looked>([disk = disk_, folder, names = std::move(changes.names),
                                     filter = displayFilter(filterText_), types = types_]() {
        Looked looked;
        looked.freeBytes = disk->freeSpace(folder);
        looked.lookup = disk->lookUp(folder, names, filter, types);
        return looked;
    });
    if (!found) {
        // A disk that does not answer: the list stays, and the next look reads it all.
        missedChanges_ = true;
        return;
    }
    if (found->lookup.error != 0) {
        Navigate(currentFolder_);
        return;
    }
    freeSpace_ = freeSpaceText(found->freeBytes);
    listing_.refreshNames(found->lookup.entries);
}

bool LocalPane::Back() {
    if (depth_ == 0 || currentFolder_.empty()) {
        host_.beep();
        return false;
    }
    std::string folder = currentFolder_;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folder.resize(folder.rfind('/') + 1);
    if (!Navigate(folder)) {
        host_.beep();
        return false;
    }
    return true;
}

bool LocalPane::ChooseEntry(size_t index) {
    if (index >= pathEntries_.size()) return false;
    currentFolder_ = pathEntries_[index].path;
    return Navigate(currentFolder_);
}

std::vector<std::string> LocalPane::folderChain() const {
    std::vector<std::string> chain;
    chain.reserve(pathEntries_.size());
    for (const PathEntry& entry : pathEntries_) chain.push_back(entry.path);
    return chain;
}

LocalPane::DeleteOutcome LocalPane::DeleteFiles(const std::vector<std::string>& names) {
    DeleteOutcome outcome;
    for (const std::string& name : names) {
        const auto error =
            calls_.run<int>([disk = disk_, path = pathOf(name)] { return disk->removeFile(path); });
        if (error && (*error == 0 || *error == ENOENT)) {
            ++outcome.deleted;
            continue;
        }
        outcome.failed = name;
        break;
    }
    return outcome;
}

std::optional<std::string> LocalPane::NewFolder() {
    return makeNewEntry(true);
}

std::optional<std::string> LocalPane::NewTextFile() {
    return makeNewEntry(false);
}

std::optional<std::string> LocalPane::makeNewEntry(bool folder) {
    if (!shown_) return std::nullopt;
    // The default name counts the entries that begin like it; when lower numbers were deleted
    // that name may be taken, and the next numbers are tried. Creating refuses an existing
    // name, so nothing is overwritten even when another program makes one meanwhile.
    constexpr size_t kMostTries = 10000;
    const std::string base = folder ? kNewFolderBase : kNewFileBase;
    const std::string extension = folder ? "" : kNewFileExtension;
    auto made = calls_.run<std::optional<std::string>>(
        [disk = disk_, where = currentFolder_, base, extension, folder,
         types = types_]() -> std::optional<std::string> {
            const std::string pattern = base + '*';
            size_t count = 0;
            for (const LocalEntry& entry : disk->list(where, pattern, types).entries) {
                if (MatchPattern(entry.name, pattern)) ++count;
            }
            for (size_t tries = 0; tries < kMostTries; ++tries) {
                const std::string name = newEntryName(base, extension, count + tries);
                const std::string path = where + name;
                const int error = folder ? disk->makeFolder(path) : disk->createEmptyFile(path);
                if (error == 0) return name;
                if (error != EEXIST) return std::nullopt;
            }
            return std::nullopt;
        });
    if (!made || !*made) return std::nullopt;
    const std::string& name = **made;
    LocalEntry entry;
    entry.name = name;
    entry.folder = folder;
    entry.image = folder ? kLocalFolderImage : fileImage(name, types_);
    listing_.refreshNames({{name, entry}});
    return name;
}

bool LocalPane::Rename(const std::string& from, const std::string& to) {
    if (from == to) return true;
    if (!isPlainFileName(to) || !isPlainFileName(from)) return false;
    const auto error = calls_.run<int>([disk = disk_, source = pathOf(from), target = pathOf(to)] {
        return disk->renameEntry(source, target);
    });
    return error && *error == 0;
}

bool LocalPane::OpenFolder(const std::string& name) {
    if (!isPlainFileName(name)) return false;
    return Navigate(pathOf(name));
}

void LocalPane::FilterEdited(std::string_view text) {
    filterText_ = std::string(text);
    filterChanged_ = true;
}

void LocalPane::FilterEditLeft() {
    if (!filterChanged_) return;
    Navigate(currentFolder_);
    filterChanged_ = false;
}

}  // namespace qel
