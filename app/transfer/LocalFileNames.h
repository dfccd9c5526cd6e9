// Names of files in the current local folder. File names here are case-sensitive and the
// CNC's are not, so an existing file is found by its exact name first, then case-insensitively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel {

// The folder with a trailing "/", so that a name can be appended.
std::string folderPrefix(std::string_view folder);

// A name that can only be a file directly in the folder: not empty, not "." or "..", no "/",
// no control characters (a line end from a damaged header), at most 255 bytes.
bool isPlainFileName(std::string_view name);

// The name of the file (not a folder) that stands for name in the folder, if any.
std::optional<std::string> findExistingFile(const std::string& folder, const std::string& name);

}  // namespace qel
