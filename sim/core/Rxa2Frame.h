#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cncsim {

// Block check of an RXA/2 frame: ETX exclusive-or every telegram byte, each counted once.
std::uint8_t blockCheck(std::string_view telegram);

// The frame of one telegram on the line: DLE STX, the telegram with every DLE doubled,
// DLE ETX and the block check.
std::string encodeFrame(std::string_view telegram);

// Offset of the first telegram byte inside an encoded frame, and the number of trailing
// framing bytes (DLE ETX BCC): the region a fault may touch lies between them.
inline constexpr std::size_t kFrameHead = 2;
inline constexpr std::size_t kFrameTail = 3;

}  // namespace cncsim
