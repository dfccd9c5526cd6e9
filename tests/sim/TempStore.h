#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace cncsim::testing {

// A store folder of its own for one test, removed afterwards.
class TempStore {
  public:
    TempStore() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cncsim-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempStore() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    void put(const std::string& file, const std::string& data) const {
        std::ofstream(path_ / file, std::ios::binary) << data;
    }
    std::string get(const std::string& file) const {
        std::ifstream in(path_ / file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool has(const std::string& file) const { return std::filesystem::exists(path_ / file); }

  private:
    std::filesystem::path path_;
};

}  // namespace cncsim::testing
