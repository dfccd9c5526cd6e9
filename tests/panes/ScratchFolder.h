// A folder of its own below the temporary folder for one test, removed with everything in it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qel::testing {

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qel-local-pane-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        // A folder made unreadable by a test must not stay behind.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 path_, std::filesystem::directory_options::skip_permission_denied, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored)) ::chmod(it->path().c_str(), 0700);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // With a trailing '/'.
    std::string str() const { return path_.string() + "/"; }
    std::string operator/(const std::string& name) const { return str() + name; }

    void write(const std::string& name, const std::string& bytes = {}) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
    }
    void folder(const std::string& name) const {
        std::filesystem::create_directories(path_ / name);
    }

  private:
    std::filesystem::path path_;
};

}  // namespace qel::testing
