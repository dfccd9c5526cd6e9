#pragma once

#include <cstdint>

namespace cncsim {

// Control bytes of the serial line protocols.
inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kXOn = 0x11;
inline constexpr std::uint8_t kXOff = 0x13;

// The largest telegram either side accepts.
inline constexpr std::size_t kMaxTelegram = 1024;

}  // namespace cncsim
