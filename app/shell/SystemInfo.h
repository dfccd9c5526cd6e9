// What the about box tells of the machine: the memory still available and the operating
// system's name and version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// MemAvailable of /proc/meminfo, in kilobytes; nothing when it cannot be read.
std::optional<uint64_t> availableMemoryKilobytes();
// The same from the text of a meminfo file.
std::optional<uint64_t> availableMemoryIn(std::string_view meminfo);

// "Linux 6.1.0-18-amd64  v6.1": the kernel's name and release, then its major and minor
// version (two blanks before "v", as the about box has always shown its system version).
std::string systemVersionText();
std::string systemVersionText(std::string_view name, std::string_view release);

}  // namespace qel
