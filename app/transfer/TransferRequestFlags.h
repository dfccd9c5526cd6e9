// The request flags of a receive or send run, built from the configuration's option word as
// the panes build them. On telegram links (RXA/2, TCP) the CNC pane always splits %B streams and
// never %A ones, and the local pane never joins.
#pragma once

#include <cstdint>

namespace qel {

uint32_t receiveRequestFlags(uint8_t options, int linkType, bool receiveAs);
uint32_t sendRequestFlags(uint8_t options, int linkType, bool sendAs);

}  // namespace qel
