// A start with an IP address on the command line: slot 1 ("Command line") is rewritten as a
// TCP/IP connection to that address, selected, and the settings file written at once.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/ConfigRecord.h"
#include "config/SettingsStore.h"

namespace qel {

// A TCP port as the 16-bit signed record field holds it: 32768..65535 come back negative (the
// link refuses them); a number above 65535 is stored as 0 rather than wrapped onto another
// port.
int16_t portField(unsigned port);

// Fills out from slot 1 with the connection (link type TCP client, connect at start, both
// ports, the address cut to 129 characters, named after the caption or else the address, cut
// to 27), stores it back into slot 1 as the selected configuration and writes the file.
// False when the file could not be written (the operator has been told; out is usable).
bool LoadCommandLineConfig(SettingsStore& store, std::string_view ipAddress, unsigned port,
                           std::string_view caption, ConfigRecord& out);

}  // namespace qel
