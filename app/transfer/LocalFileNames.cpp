#include "transfer/LocalFileNames.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <memory>

namespace qel {

namespace {
constexpr size_t kMaxNameBytes = 255;

bool isFileAt(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}
}  // namespace

std::string folderPrefix(std::string_view folder) {
    std::string prefix(folder.empty() ? "." : folder);
    if (prefix.back() != '/') prefix += '/';
    return prefix;
}

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes) return false;
    for (char c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::optional<std::string> findExistingFile(const std::string& folder, const std::string& name) {
    const std::string prefix = folderPrefix(folder);
    if (isFileAt(prefix + name)) return name;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(prefix.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0 && isFileAt(prefix + entry->d_name)) {
            return std::string(entry->d_name);
        }
    }
    return std::nullopt;
}

}  // namespace qel
