#include "MemoryStore.h"

#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <system_error>

namespace cncsim {

namespace fs = std::filesystem;

namespace {
bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

MemoryStore::MemoryStore(fs::path folder) : folder_(std::move(folder)) {}

bool MemoryStore::validName(std::string_view name) {
    if (name.empty() || name.size() > 120 || name.front() == '.') return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
    });
}

bool MemoryStore::validType(std::string_view type) {
    return type.size() == 2 && std::all_of(type.begin(), type.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0;
           });
}

std::optional<fs::path> MemoryStore::find(std::string_view name, std::string_view type) const {
    if (!validName(name) || !validType(type)) return std::nullopt;
    const std::string wanted = std::string(name) + "." + upper(type);
    std::error_code ec;
    if (fs::is_regular_file(folder_ / wanted, ec)) return folder_ / wanted;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (entry.is_regular_file(ec) &&
            equalIgnoringCase(entry.path().filename().string(), wanted))
            return entry.path();
    }
    return std::nullopt;
}

std::vector<std::string> MemoryStore::names(std::string_view type) const {
    std::vector<std::string> result;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        const std::string file = entry.path().filename().string();
        if (file.front() == '.') continue;
        const auto dot = file.rfind('.');
        if (dot == std::string::npos || dot == 0) continue;
        if (!equalIgnoringCase(std::string_view(file).substr(dot + 1), type)) continue;
        result.push_back(file.substr(0, dot));
    }
    std::sort(result.begin(), result.end());
    return result;
}

bool MemoryStore::exists(std::string_view name, std::string_view type) const {
    return find(name, type).has_value();
}

std::optional<std::string> MemoryStore::read(std::string_view name, std::string_view type) const {
    auto path = find(name, type);
    if (!path) return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool MemoryStore::write(std::string_view name, std::string_view type, std::string_view data) {
    if (!validName(name) || !validType(type)) return false;
    const fs::path target =
        find(name, type).value_or(folder_ / (std::string(name) + "." + upper(type)));
    const fs::path temporary = folder_ / (".incoming." + std::to_string(::getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out.flush()) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) fs::remove(temporary, ec);
    return !ec;
}

bool MemoryStore::remove(std::string_view name, std::string_view type) {
    auto path = find(name, type);
    std::error_code ec;
    return path && fs::remove(*path, ec);
}

std::uint64_t MemoryStore::usedBytes() const {
    std::uint64_t total = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (entry.is_regular_file(ec)) total += entry.file_size(ec);
    }
    return total;
}

}  // namespace cncsim
