// The text "qel help" prints.
#pragma once

namespace qel {

extern const char* const kQelUsage;

}  // namespace qel
