// How the login handshake classifies a CNC by its answer to "M VN".
#pragma once

#include <cstdint>

namespace cablor {

// The decimal version number at offset 11 of an "R VN" reply: digits up to the first
// non-digit, 0 when there are none or the reply is shorter.
int32_t versionNumberAt11(const char* reply, int length);

// cncClass for a serial RXA/2 CNC (tcp false) or a TCP client (tcp true).
int32_t classifyLogin(const char* reply, int length, bool tcp);

}  // namespace cablor
