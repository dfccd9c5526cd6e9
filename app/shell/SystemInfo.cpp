#include "shell/SystemInfo.h"

#include "shell/StartupFile.h"

#include <sys/utsname.h>

#include <fstream>
#include <iterator>

namespace qel {

std::optional<uint64_t> availableMemoryIn(std::string_view meminfo) {
    constexpr std::string_view kKey = "MemAvailable:";
    size_t at = 0;
    while (at < meminfo.size()) {
        size_t end = meminfo.find('\n', at);
        if (end == std::string_view::npos) end = meminfo.size();
        const std::string_view line = meminfo.substr(at, end - at);
        if (line.starts_with(kKey)) {
            std::string_view value = line.substr(kKey.size());
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            if (value.empty() || value.front() < '0' || value.front() > '9') return std::nullopt;
            uint64_t kilobytes = 0;
            for (char c : value) {
                if (c < '0' || c > '9') break;
                if (kilobytes > UINT64_MAX / 10 - 9) return std::nullopt;
                kilobytes = kilobytes * 10 + static_cast<uint64_t>(c - '0');
            }
            return kilobytes;
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<uint64_t> availableMemoryKilobytes() {
    std::ifstream file("/proc/meminfo");
    if (!file) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    return availableMemoryIn(text);
}

std::string systemVersionText(std::string_view name, std::string_view release) {
    const unsigned major = decimalPrefix(release);
    const size_t dot = release.find('.');
    const unsigned minor =
        dot == std::string_view::npos ? 0 : decimalPrefix(release.substr(dot + 1));
    return std::string(name) + " " + std::string(release) + "  v" + std::to_string(major) + "." +
           std::to_string(minor);
}

std::string systemVersionText() {
    utsname facts{};
    if (::uname(&facts) != 0) return "?";
    return systemVersionText(facts.sysname, facts.release);
}

}  // namespace qel
