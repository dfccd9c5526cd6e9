#include "TcpFraming.h"

namespace cncsim {

std::string encodeMessage(std::string_view telegram) {
    const auto n = static_cast<std::uint32_t>(telegram.size());
    std::string message;
    message.reserve(4 + telegram.size());
    message += static_cast<char>((n >> 24) & 0xFF);
    message += static_cast<char>((n >> 16) & 0xFF);
    message += static_cast<char>((n >> 8) & 0xFF);
    message += static_cast<char>(n & 0xFF);
    message += telegram;
    return message;
}

std::uint32_t decodeLength(const unsigned char header[4]) {
    return (std::uint32_t{header[0]} << 24) | (std::uint32_t{header[1]} << 16) |
           (std::uint32_t{header[2]} << 8) | std::uint32_t{header[3]};
}

}  // namespace cncsim
