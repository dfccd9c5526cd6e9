// Replacing a small file's contents so that a failure part-way (disk full, power loss) leaves
// the old contents instead of a cut-off file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

namespace qel {

// Writes bytes as the whole new contents of file, creating its folder when needed. The bytes
// go to a new file beside it that then replaces it; where the folder takes no new file (but
// the file may be written), the file is truncated and written in place. A symbolic link is
// followed, an existing file keeps its permissions. Returns false, with errno telling why, when
// any step fails; the file is then unchanged, except after a failed in-place write.
bool replaceFile(const std::filesystem::path& file, std::span<const std::byte> bytes);

}  // namespace qel
