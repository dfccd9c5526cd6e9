#include "config/CommandLineConfig.h"

#include <cablor.h>

#include "config/FixedText.h"

namespace qel {

int16_t portField(unsigned port) {
    if (port > 0xFFFF) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(port));
}

bool LoadCommandLineConfig(SettingsStore& store, std::string_view ipAddress, unsigned port,
                           std::string_view caption, ConfigRecord& out) {
    store.UseCommandLineConfig(out);
    out.inUse = 1;  // slot 1 of a damaged file may be marked free; this record is in use
    out.options |= OPT_CONNECT_AT_START;
    out.linkType = DNC_LINK_TCP_CLIENT;
    out.serverPort = out.destinationPort = portField(port);
    out.ipAddressValue = 0;
    setText(out.ipAddressText, ipAddress);
    setText(out.name, caption.empty() ? ipAddress : caption);
    return store.StoreCommandLineConfig(out);
}

}  // namespace qel
