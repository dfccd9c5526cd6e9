#include "client/MemoryAddress.h"

#include <algorithm>

namespace qel {

namespace {
constexpr size_t kTypeLength = 2;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && toUpperAscii(a) == toUpperAscii(b);
}
}  // namespace

std::string toUpperAscii(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
    return upper;
}

std::string MemoryAddress::telegram(std::string_view code) const {
    return std::string(code) + toUpperAscii(type) + name;
}

std::string MemoryAddress::telegramAsWritten(std::string_view code) const {
    return std::string(code) + type + name;
}

std::optional<MemoryAddress> parseMemoryFileName(std::string_view fileName) {
    const size_t lastDot = fileName.rfind('.');
    if (lastDot == std::string_view::npos) {
        if (fileName.size() != kTypeLength) return std::nullopt;
        return MemoryAddress{std::string(fileName), {}};
    }
    const std::string_view type = fileName.substr(lastDot + 1, kTypeLength);
    const std::string_view name = fileName.substr(0, lastDot);
    if (type.size() < kTypeLength || name.empty() || name.size() > kMaxMemoryNameLength) {
        return std::nullopt;
    }
    if (equalIgnoringCase(name, type)) return MemoryAddress{std::string(type), {}};
    return MemoryAddress{std::string(type), std::string(name)};
}

}  // namespace qel
