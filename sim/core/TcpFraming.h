#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cncsim {

// A TCP message: a 4-byte big-endian length, then the telegram bytes.
std::string encodeMessage(std::string_view telegram);
std::uint32_t decodeLength(const unsigned char header[4]);

}  // namespace cncsim
