// The link remote mode serves on, derived from a configuration: the PC always speaks telegrams
// (RXA/2 on a serial line, even when the configuration streams DataIO), and for a TCP/IP
// configuration the PC listens on the configuration's destination port and the CNC calls in.
#pragma once

#include "client/QelComC.h"
#include "config/ConfigRecord.h"

#include <memory>
#include <optional>
#include <string>

namespace qel::remote {

struct RemoteLinkSetup {
    LinkSettings settings;
    int retries = 5;
    int timeout = 2;  // seconds; the reply time-out is two more
    int sendDelay = 0;
};

RemoteLinkSetup remoteLinkSetupFor(const ConfigRecord& config);

// Constructs the client (which connects) and, when connected, sets its retries, time-out and
// send delay. The client comes back also when connecting failed, so that lastError() can be read.
std::unique_ptr<CncClient> connectForRemoteMode(const RemoteLinkSetup& setup,
                                                LinkApi& api = cablorLinkApi());

// The link remote mode uses: a connected client the caller already holds is taken unchanged;
// otherwise it is replaced by one connected for remote mode. created tells whether the caller
// must disconnect it when remote mode ends.
struct ObtainedRemoteLink {
    CncClient* link = nullptr;  // null when connecting failed
    bool created = false;
};
ObtainedRemoteLink obtainRemoteLink(std::unique_ptr<CncClient>& held, const ConfigRecord& config,
                                    LinkApi& api = cablorLinkApi());

// "Failed to connect to CNC "<name>". Press 'Help' for more information."
std::string remoteConnectFailureText(const ConfigRecord& config);

// An IPv4 address, dotted or a host name to look up, in host byte order; nothing when it is
// neither.
std::optional<uint32_t> ipv4Address(const std::string& text);
// "10.1.2.3" for an address in host byte order.
std::string dottedAddress(uint32_t address);

}  // namespace qel::remote
