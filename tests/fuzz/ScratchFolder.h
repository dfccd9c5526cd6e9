// A folder of its own for one fuzzing process, made at the first call and removed at exit. It
// lies in memory (/dev/shm) where there is one, so that files written for every input and the
// syncs of the code under test cost no disk time.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace qel::fuzz {

inline const std::filesystem::path& scratchFolder() {
    // Never destroyed, so that the removal at exit still knows it.
    static const std::filesystem::path* const folder = [] {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error) || ::access(base.c_str(), W_OK) != 0) {
            base = std::filesystem::temp_directory_path();
        }
        std::string pattern = (base / "qelveva-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::permissions(scratchFolder(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return new std::filesystem::path(pattern);
    }();
    return *folder;
}

inline void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace qel::fuzz
