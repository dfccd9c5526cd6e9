// The debug trace of telegrams and link events: lines on standard error when QELVEVA_TRACE=1,
// nothing otherwise.
#pragma once

#include <string_view>

namespace qel {

// Writes prefix, text and a line feed, e.g. traceTelegram(">> ", "M FR").
void traceTelegram(std::string_view prefix, std::string_view text);

}  // namespace qel
