// Time left of a transfer as the dialogs show it: steps of 5 s below a minute, minutes up to
// 15 min, steps of 5 min up to an hour, quarter hours beyond.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

// "60 s", "14 min.", "1 h 15 min.".
std::string timeLeftText(float seconds);
// The time for remainingBytes at rateKBs; "Unknown" when the rate is 0.
std::string timeLeftText(uint32_t remainingBytes, float rateKBs);

}  // namespace qel
