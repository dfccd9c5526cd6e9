#include "panes/DriveTree.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace qel {

namespace {
std::string currentFolder() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return "/";
    return buffer;
}

std::string below(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

bool sortedBefore(const std::string& a, const std::string& b) {
    const int order = ::strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
}

// The child named component: as spelt first, else without regard to case (the operator may
// have typed the folder in another case than the disk holds it).
DriveTreeItem* childNamed(const DriveTreeItem& item, std::string_view component) {
    const std::string wanted(component);
    DriveTreeItem* inAnyCase = nullptr;
    for (const auto& child : item.children) {
        if (child->text == wanted) return child.get();
        if (inAnyCase == nullptr && ::strcasecmp(child->text.c_str(), wanted.c_str()) == 0) {
            inAnyCase = child.get();
        }
    }
    return inAnyCase;
}

bool isWithin(const DriveTreeItem* item, const DriveTreeItem& branch) {
    for (; item != nullptr; item = item->parent) {
        if (item == &branch) return true;
    }
    return false;
}
}  // namespace

std::string fullPath(const DriveTreeItem& item) {
    if (item.parent == nullptr) return item.text;
    return below(fullPath(*item.parent), item.text);
}

DriveTree::DriveTree(std::shared_ptr<LocalDisk> disk, std::chrono::milliseconds diskLimit)
    : disk_(std::move(disk)), calls_(diskLimit) {}

bool DriveTree::timedHasSubfolder(const std::string& folder) {
    // A drive that does not answer keeps its button: the operator may try again later.
    return calls_.run<bool>([disk = disk_, folder] { return disk->holdsSubfolder(folder); })
        .value_or(true);
}

std::unique_ptr<DriveTreeItem> DriveTree::driveItem(const Drive& drive) {
    auto item = std::make_unique<DriveTreeItem>();
    item->text = drive.root;
    item->drive = true;
    item->image = item->selectedImage = driveImage(drive.kind);
    const bool untouched = drive.kind == DriveKind::Removable || drive.kind == DriveKind::CdRom;
    item->placeholder = untouched || timedHasSubfolder(drive.root);
    return item;
}

void DriveTree::Init(std::string_view start) {
    std::string startFolder(start);
    if (startFolder.empty()) startFolder = currentFolder();
    if (startFolder.front() != '/') startFolder = below(currentFolder(), startFolder);
    selectedPath_ = startFolder;
    selected_ = nullptr;
    drives_.clear();

    const std::vector<Drive> drives = disk_->drives();
    for (const Drive& drive : drives) {
        if (drive.root.empty() || drive.root.front() != '/') continue;
        drives_.push_back(driveItem(drive));
        drives_.back()->row = static_cast<int>(drives_.size()) - 1;
    }
    std::vector<Drive> shown;
    for (const auto& item : drives_) shown.push_back({item->text, {}, DriveKind::Fixed});
    const int startDrive = driveOf(shown, startFolder);
    if (startDrive < 0) return;

    DriveTreeItem* current = drives_[static_cast<size_t>(startDrive)].get();
    Open(*current);
    Select(current);
    size_t position = current->text.size();
    while (position < startFolder.size()) {
        size_t end = startFolder.find('/', position);
        if (end == std::string::npos) end = startFolder.size();
        const std::string_view component =
            std::string_view(startFolder).substr(position, end - position);
        position = end + 1;
        if (component.empty() || component == ".") continue;
        DriveTreeItem* next = childNamed(*current, component);
        if (next == nullptr) break;
        current = next;
        Open(*current);
        Select(current);
    }
}

DriveTree::Branch DriveTree::Read(const DriveTreeItem& item) {
    const std::string folder = fullPath(item);
    std::optional<Branch> read = calls_.run<Branch>([disk = disk_, folder] {
        Branch branch;
        SubfolderListing listing = disk->subfolders(folder);
        branch.readable = listing.error == 0 || !listing.names.empty();
        branch.anyEntry = listing.anyEntry;
        std::sort(listing.names.begin(), listing.names.end(), sortedBefore);
        for (std::string& name : listing.names) {
            const bool deeper = disk->holdsSubfolder(below(folder, name));
            branch.folders.push_back({std::move(name), deeper});
        }
        return branch;
    });
    return read ? std::move(*read) : Branch{};
}

bool DriveTree::Fill(DriveTreeItem& item, Branch branch) {
    item.children.clear();
    item.placeholder = false;
    for (Branch::Folder& folder : branch.folders) {
        auto child = std::make_unique<DriveTreeItem>();
        child->text = std::move(folder.name);
        child->placeholder = folder.hasSubfolders;
        child->parent = &item;
        child->row = static_cast<int>(item.children.size());
        item.children.push_back(std::move(child));
    }
    // A drive that could not be read, or holds nothing yet (no disk inserted), stays openable.
    if (item.drive && (!branch.readable || !branch.anyEntry)) item.placeholder = true;
    item.open = !item.children.empty();
    return item.open;
}

void DriveTree::Close(DriveTreeItem& item) {
    if (isWithin(selected_, item) && selected_ != &item) Select(&item);
    item.children.clear();
    item.open = false;
    item.placeholder = item.drive || timedHasSubfolder(fullPath(item));
}

void DriveTree::Select(const DriveTreeItem* item) {
    selected_ = item;
    if (item != nullptr) selectedPath_ = fullPath(*item);
}

int DriveTree::rowOf(const DriveTreeItem& item) const {
    // Kept in the item: the view asks for the parent of every index it lays out.
    return item.row;
}

}  // namespace qel
