// Files that are written under a hidden temporary name and get their real name only when they
// are complete: a received memory, a file the CNC sends in remote mode. One name pattern for all
// of them, so that remote mode's directory can leave them out, even when a crash left one
// behind. The local pane shows them as it shows every hidden file.
#pragma once

#include "base/UniqueFd.h"

#include <string>
#include <string_view>

namespace qel {

inline constexpr std::string_view kTemporaryFilePrefix = ".qelveva-receiving-";

inline bool isTemporaryFileName(std::string_view name) {
    return name.starts_with(kTemporaryFilePrefix);
}

// Creates a new temporary file for writing in the folder prefix names (relative to folder, a
// directory descriptor or AT_FDCWD; prefix empty or ending in "/"). Its name (without the
// prefix) goes to name. An empty descriptor on failure, errno set.
UniqueFd createTemporaryFile(int folder, const std::string& prefix, std::string& name);

// Gives from the name to within folder without ever replacing an existing to. 0 or the errno
// value (EEXIST when to exists).
int renameWithoutReplacing(int folder, const std::string& from, const std::string& to);

}  // namespace qel
