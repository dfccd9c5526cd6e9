#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "ByteLine.h"
#include "MemoryStore.h"
#include "TraceLog.h"

namespace cncsim {

struct TapeOptions {
    std::string memory;      // punch: NAME.TYPE to store under (empty: from the % header, else
                             // PUNCH.PM); reader: the memory to send
    int xoffEvery = 0;       // punch: hold the sender with XOff after this many bytes (0: never)
    int xoffHoldMs = 50;     // punch: how long the hold lasts
    int leader = 0;          // reader: NUL bytes before the data and after the EOT
    std::size_t chunk = 64;  // reader: bytes written between looks at the PC's XOn/XOff
};

// DataIO as a tape punch: announces readiness with XOn, takes everything up to EOT (leading
// NUL bytes of the leader dropped) and stores it as one memory. Nullopt when the line closed
// or the simulator was asked to end before the EOT.
std::optional<std::string> punchTape(ByteLine& line, MemoryStore& store, const TapeOptions& options,
                                     TraceLog& trace, std::ostream* report);

// DataIO as a tape reader: waits for the PC's XOn, sends the memory, pausing while the PC has
// said XOff, and ends with EOT. False when the memory is missing or the line failed.
bool readTape(ByteLine& line, MemoryStore& store, const TapeOptions& options, TraceLog& trace,
              std::ostream* report);

}  // namespace cncsim
