#include "client/ConfiguredConnection.h"

#include "config/FixedText.h"

namespace qel {

LinkSettings linkSettingsFor(const ConfigRecord& config) {
    LinkSettings settings;
    settings.linkType = config.linkType;
    const bool tcpClient = config.linkType == DNC_LINK_TCP_CLIENT;
    // Ports are stored as 16-bit signed numbers; TCP ports above 32767 come back negative.
    settings.port = tcpClient ? static_cast<uint16_t>(config.destinationPort) : config.comPort;
    settings.speed = static_cast<int>(config.baudRate);
    settings.parity = config.parityMode;
    settings.flags = config.linkFlags | (tcpClient ? DNC_FLAG_RESERVE : 0u);
    settings.ipAddress = config.ipAddressValue;
    settings.hostName = std::string(textOf(config.ipAddressText));
    return settings;
}

std::unique_ptr<CncClient> connectConfigured(const ConfigRecord& config, LinkApi& api) {
    auto client = std::make_unique<CncClient>(api);
    if (client->connect(linkSettingsFor(config), config.leaderTrailerSize))
        client->setLinkParams(config.retries, config.timeout, config.sendDelay);
    return client;
}

}  // namespace qel
