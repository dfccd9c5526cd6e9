// The tree of the "Drive list" dialog without its window: the drives at the root, their folders
// below, read lazily. A branch not read yet carries a placeholder, so that the window shows a
// button to open it; it is read when the operator opens it and forgotten when he closes it, so
// each opening reads it afresh. Removable and CD-ROM drives are never touched before he opens
// them. Every disk call goes through TimedDiskCalls: a drive that does not answer within the
// limit counts as one that cannot be read, and nothing asks the operator about it.
#pragma once

#include "panes/LocalDisk.h"
#include "panes/TimedDiskCalls.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

inline constexpr int kTreeClosedFolderImage = 0;
inline constexpr int kTreeOpenFolderImage = 1;

struct DriveTreeItem {
    std::string text;  // a drive's root with its '/' ("/", "/media/usb/"), or a folder's name
    int image = kTreeClosedFolderImage;
    int selectedImage = kTreeOpenFolderImage;
    bool drive = false;
    bool placeholder = false;  // not read yet: there is something to open
    bool open = false;         // read, and its children shown
    DriveTreeItem* parent = nullptr;
    int row = 0;  // the place among its siblings (the drives, for a drive)
    std::vector<std::unique_ptr<DriveTreeItem>> children;

    // A button to open the branch is shown.
    bool openable() const { return placeholder || !children.empty(); }
};

// The full path of an item: the texts from its drive down, joined by '/' (a drive's root
// brings its own). A folder's path has no trailing '/'.
std::string fullPath(const DriveTreeItem& item);

class DriveTree {
  public:
    // The folders read when a branch opens, each with whether it has subfolders of its own.
    struct Branch {
        struct Folder {
            std::string name;
            bool hasSubfolders = false;
        };
        std::vector<Folder> folders;  // sorted as the panes sort names
        bool readable = false;        // read within the limit
        bool anyEntry = false;        // the folder held anything at all
    };

    explicit DriveTree(std::shared_ptr<LocalDisk> disk = std::make_shared<LocalDisk>(),
                       std::chrono::milliseconds diskLimit = TimedDiskCalls::kDefaultLimit);
    DriveTree(const DriveTree&) = delete;
    DriveTree& operator=(const DriveTree&) = delete;

    // Builds the drives and opens the tree along start (the process's current folder when it
    // is empty): its drive, then each folder found, as deep as start exists. The deepest item
    // opened is selected.
    void Init(std::string_view start);

    // Opening a branch, in two steps so that a window can announce the change in between: the
    // disk is read first, then the item takes the result. Fill is refused (false, the branch
    // stays closed) when no folder came; a drive then keeps its placeholder, so that the
    // operator can try again, a folder loses it.
    Branch Read(const DriveTreeItem& item);
    bool Fill(DriveTreeItem& item, Branch branch);
    bool Open(DriveTreeItem& item) { return Fill(item, Read(item)); }
    // Closing a branch forgets its children; the placeholder comes back where there was
    // something to open. A drive always gets it back.
    void Close(DriveTreeItem& item);

    void Select(const DriveTreeItem* item);
    const DriveTreeItem* selected() const { return selected_; }
    // The full path of the selected item, or the starting folder while nothing is selected.
    const std::string& selectedPath() const { return selectedPath_; }

    const std::vector<std::unique_ptr<DriveTreeItem>>& drives() const { return drives_; }
    // The item's place among its siblings (the drives, for a drive).
    int rowOf(const DriveTreeItem& item) const;
    size_t stuckDiskCalls() { return calls_.stuck(); }

  private:
    std::unique_ptr<DriveTreeItem> driveItem(const Drive& drive);
    bool timedHasSubfolder(const std::string& folder);

    std::shared_ptr<LocalDisk> disk_;
    TimedDiskCalls calls_;
    std::vector<std::unique_ptr<DriveTreeItem>> drives_;
    const DriveTreeItem* selected_ = nullptr;
    std::string selectedPath_;
};

}  // namespace qel
