// The rules of the local pane's commands that need no disk: which files a command works on,
// which buttons it enables, the request flags of the transfers it starts, the Select filter,
// and the default names of a new folder or text file.
#pragma once

#include "panes/LocalListing.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

inline constexpr const char* kDeleteFilesQuestion =
    "Delete selected files?\n\nNote: These files will NOT be moved to the recycle bin.";
inline constexpr const char* kDeleteFailedText =
    "Failed to delete the file '%s'.\nFile may be in use.\nAborting delete.";
inline constexpr const char* kCreateFolderFailedText =
    "Unable to create directory.\nCheck if you have permission to create directories on the "
    "current drive.";
inline constexpr const char* kCreateFileFailedText =
    "Unable to create the file '%s'.\nCheck if you have permission to create files on the "
    "current drive.";
inline constexpr const char* kDropStatusText =
    "Drop the file(s) on the destination list to transfer...";
inline constexpr const char* kNewFolderBase = "New Folder";
inline constexpr const char* kNewFileBase = "New File";
inline constexpr const char* kNewFileExtension = ".txt";

// The files a command works on: the selected rows that are files, in list order; when no row
// is selected, the focused row if it is a file.
std::vector<std::string> chosenFiles(const LocalListing& listing, std::vector<size_t> selected,
                                     std::optional<size_t> focused);

struct LocalPaneEnables {
    bool back = false;
    bool remove = false;
    bool send = false;  // Send and Send as
    bool btrSend = false;
};
// linkType is that of a connected link, or -1 without one.
LocalPaneEnables localPaneEnables(int depth, bool fileChosen, int linkType);

// The send window's request flags from the pane options: %B, %A, skipping empty files, and
// asking each destination name (Send as; never for a drop).
uint32_t sendRequestFlags(uint8_t paneOptions, bool sendAs);

// The Select filter: the rows of the files whose names match the ';'-separated patterns;
// folders are never among them.
std::vector<size_t> filesMatching(const LocalListing& listing, std::string_view patterns);
// The rows of the files only (Select All Files).
std::vector<size_t> fileRows(const LocalListing& listing);

// The default name of a new entry, when count entries of the folder begin with base: base and
// extension for none, else "base (count + 1)extension". A creation that finds the name taken
// (lower numbers deleted meanwhile) tries the following numbers.
std::string newEntryName(std::string_view base, std::string_view extension, size_t count);

}  // namespace qel
