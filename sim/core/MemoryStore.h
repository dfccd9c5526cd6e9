#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cncsim {

// The CNC's memories: one file NAME.TYPE per memory in a folder. The control does not care
// about case, so a memory is found by its exact file name first, then ignoring case.
class MemoryStore {
  public:
    explicit MemoryStore(std::filesystem::path folder);

    // A memory name the store accepts: 1..120 characters, no path separators, no NUL, not
    // starting with a point, no control characters. A type: exactly two letters or digits.
    static bool validName(std::string_view name);
    static bool validType(std::string_view type);

    // Names (without the type) of all memories of a type, sorted.
    std::vector<std::string> names(std::string_view type) const;
    bool exists(std::string_view name, std::string_view type) const;
    std::optional<std::string> read(std::string_view name, std::string_view type) const;
    // Writes through a temporary file renamed into place, so a failed write leaves no half
    // memory behind.
    bool write(std::string_view name, std::string_view type, std::string_view data);
    bool remove(std::string_view name, std::string_view type);
    std::uint64_t usedBytes() const;
    const std::filesystem::path& folder() const { return folder_; }

  private:
    std::optional<std::filesystem::path> find(std::string_view name, std::string_view type) const;

    std::filesystem::path folder_;
};

}  // namespace cncsim
