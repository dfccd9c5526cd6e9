#include "remote/RemoteLink.h"

#include "client/LinkTypes.h"
#include "config/FixedText.h"
#include "remote/PrintfText.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

namespace qel::remote {

namespace {
constexpr int kRemoteSerialSpeed = 19200;
}  // namespace

RemoteLinkSetup remoteLinkSetupFor(const ConfigRecord& config) {
    RemoteLinkSetup setup;
    LinkSettings& link = setup.settings;
    link.speed = kRemoteSerialSpeed;
    link.parity = 0;
    // RXA/2 with an automatic speed keeps the start values: there is no speed to detect when the
    // CNC is the one that calls.
    if (config.linkType != DNC_LINK_RXA2 || config.baudRate != 0) {
        setup.timeout = config.timeout;
        setup.retries = config.retries;
        setup.sendDelay = config.sendDelay;
        link.speed = static_cast<int>(config.baudRate);
        link.parity = config.parityMode;
    }
    link.linkType = config.linkType;
    if (isDataIoLinkType(config.linkType)) {
        link.linkType = DNC_LINK_RXA2;
        link.parity = 0;
        link.speed = kRemoteSerialSpeed;
    } else if (config.linkType == DNC_LINK_TCP_CLIENT) {
        link.linkType = DNC_LINK_TCP_SERVER;
    }
    // Ports are stored as 16-bit signed numbers; TCP ports above 32767 come back negative.
    link.port = config.linkType == DNC_LINK_TCP_CLIENT
                    ? static_cast<uint16_t>(config.destinationPort)
                    : config.comPort;
    link.flags = DNC_FLAG_RESERVE | DNC_FLAG_NO_LOGIN;
    link.ipAddress = config.ipAddressValue;
    link.hostName = std::string(textOf(config.ipAddressText));
    return setup;
}

std::unique_ptr<CncClient> connectForRemoteMode(const RemoteLinkSetup& setup, LinkApi& api) {
    auto client = std::make_unique<CncClient>(setup.settings, 0, api);
    if (client->isConnected()) client->setLinkParams(setup.retries, setup.timeout, setup.sendDelay);
    return client;
}

ObtainedRemoteLink obtainRemoteLink(std::unique_ptr<CncClient>& held, const ConfigRecord& config,
                                    LinkApi& api) {
    if (held && held->isConnected()) return {held.get(), false};
    held.reset();
    held = connectForRemoteMode(remoteLinkSetupFor(config), api);
    if (!held->isConnected()) return {nullptr, true};
    return {held.get(), true};
}

std::string remoteConnectFailureText(const ConfigRecord& config) {
    const std::string name(textOf(config.name));
    return printfText("Failed to connect to CNC \"%s\". Press 'Help' for more information.",
                      name.c_str());
}

std::optional<uint32_t> ipv4Address(const std::string& text) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) == 1) return ntohl(address.s_addr);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (text.empty() || ::getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found) {
        return std::nullopt;
    }
    const uint32_t value = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return value;
}

std::string dottedAddress(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xff) + "." +
           std::to_string((address >> 8) & 0xff) + "." + std::to_string(address & 0xff);
}

}  // namespace qel::remote
