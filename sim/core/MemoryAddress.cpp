#include "MemoryAddress.h"

#include <cctype>

namespace cncsim {

std::optional<MemoryAddress> parseAddress(std::string_view telegram) {
    if (telegram.size() < 4) return std::nullopt;
    MemoryAddress address;
    address.code = std::string(telegram.substr(0, 2));
    address.type = std::string(telegram.substr(2, 2));
    address.typeAsSent = address.type;
    for (char& c : address.type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    address.name = std::string(telegram.substr(4));
    return address;
}

std::optional<MemoryAddress> parseFileName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    MemoryAddress address;
    address.name = std::string(fileName.substr(0, dot));
    address.type = std::string(fileName.substr(dot + 1));
    for (char& c : address.type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return address;
}

}  // namespace cncsim
