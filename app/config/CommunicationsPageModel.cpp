#include "config/CommunicationsPageModel.h"

#include <cablor.h>

#include <array>

#include "client/LinkErrorText.h"
#include "config/FixedText.h"

namespace qel {

namespace {

constexpr std::array<uint32_t, 11> kSpeeds = {1200,  2400,  4800,  9600,  14400, 19200,
                                              28800, 38400, 48000, 57600, 115200};
constexpr uint32_t kFallbackSpeed = 19200;
constexpr std::size_t kLongestNumber = 19;

int protocolPosition(int32_t linkType) {
    switch (linkType) {
        case DNC_LINK_RXA2:
            return static_cast<int>(Protocol::Rxa2);
        case DNC_LINK_DATAIO_RTSCTS:
        case DNC_LINK_DATAIO_XONXOFF:
            return static_cast<int>(Protocol::DataIo);
        case DNC_LINK_TCP_CLIENT:
            return static_cast<int>(Protocol::Tcp);
        default:
            return -1;
    }
}

}  // namespace

CommunicationsVisibility visibilityFor(Protocol protocol) {
    switch (protocol) {
        case Protocol::Rxa2:
            return {.line = true,
                    .rxa2Timing = true,
                    .versionCheck = true,
                    .notify = true,
                    .portSharing = true};
        case Protocol::DataIo:
            return {.line = true, .dataIo = true, .portSharing = true};
        case Protocol::Tcp:
            return {.versionCheck = true, .notify = true, .tcp = true};
    }
    return {};
}

int16_t numberFieldValue(const std::string& text) {
    if (text.empty() || text.size() > kLongestNumber) return 0;
    const bool negative = text[0] == '-';
    uint64_t value = 0;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (negative) value = ~value + 1;
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
}

CommunicationsPageModel::CommunicationsPageModel(std::span<ConfigRecord, kConfigSlots> configs,
                                                 const uint32_t& currentConfig)
    : configs_(configs), currentConfig_(currentConfig) {}

CommunicationsVisibility CommunicationsPageModel::visibility() const {
    return visibilityFor(controls_.protocol < 0 ? Protocol::Rxa2
                                                : static_cast<Protocol>(controls_.protocol));
}

std::string CommunicationsPageModel::portDevice(int position) {
    return serialPortDevice(position + 1);
}

void CommunicationsPageModel::Fill() {
    const ConfigRecord& r = record();
    CommunicationsControls c;
    c.protocol = protocolPosition(r.linkType);
    c.xonXoff = r.linkType == DNC_LINK_DATAIO_XONXOFF;
    c.port = r.comPort >= 1 && r.comPort <= kPorts ? r.comPort - 1 : -1;
    c.timeout = std::to_string(r.timeout);
    c.retries = std::to_string(r.retries);
    c.sendDelay = std::to_string(r.sendDelay);
    c.leaderTrailerSize = std::to_string(r.leaderTrailerSize);
    c.percentSupport = (r.options & (OPT_PERCENT_A | OPT_PERCENT_B)) != 0;
    c.percentA = (r.options & OPT_PERCENT_A) != 0;
    c.percentB = (r.options & OPT_PERCENT_B) != 0;
    c.notify = (r.options & OPT_NOTIFY_CNC) != 0;
    c.portSharing = (r.linkFlags & DNC_FLAG_RESERVE) == 0;
    c.versionCheck = (r.linkFlags & DNC_FLAG_NO_LOGIN) == 0;
    c.ipAddress = std::string(textOf(r.ipAddressText));
    c.destinationPort = std::to_string(r.destinationPort);
    c.serverPort = std::to_string(r.serverPort);
    controls_ = std::move(c);
    rememberedParity_ = -1;

    // A page shown for TCP/IP has no speed list until a serial protocol is chosen.
    if (controls_.protocol == static_cast<int>(Protocol::Rxa2) ||
        controls_.protocol == static_cast<int>(Protocol::DataIo)) {
        rebuildSpeeds(static_cast<Protocol>(controls_.protocol));
        // The entry whose text begins with the stored speed, else the first.
        const std::string wanted = std::to_string(r.baudRate);
        controls_.speed = 0;
        for (std::size_t i = 0; i < controls_.speeds.size(); ++i) {
            if (controls_.speeds[i].text.starts_with(wanted)) {
                controls_.speed = static_cast<int>(i);
                break;
            }
        }
    }
    controls_.parity = r.parityMode <= 1 ? r.parityMode : -1;
    speedChanged();
}

void CommunicationsPageModel::rebuildSpeeds(Protocol protocol) {
    const int previous = controls_.speed;
    const bool hadSpeed = previous >= 0 && previous < static_cast<int>(controls_.speeds.size());
    const uint32_t previousSpeed =
        hadSpeed ? controls_.speeds[static_cast<std::size_t>(previous)].bitsPerSecond : 0;

    controls_.speeds.clear();
    if (protocol == Protocol::Rxa2) controls_.speeds.push_back({"Autodetect", 0});
    for (const uint32_t speed : kSpeeds) controls_.speeds.push_back({std::to_string(speed), speed});

    // The speed selected before, Autodetect only where there is one; 19200 when there was none.
    uint32_t wanted = previousSpeed;
    if (!hadSpeed || (previousSpeed == 0 && protocol != Protocol::Rxa2)) wanted = kFallbackSpeed;
    controls_.speed = 0;
    for (std::size_t i = 0; i < controls_.speeds.size(); ++i) {
        if (controls_.speeds[i].bitsPerSecond == wanted) controls_.speed = static_cast<int>(i);
    }
}

void CommunicationsPageModel::ChooseProtocol(Protocol protocol) {
    controls_.protocol = static_cast<int>(protocol);
    if (protocol == Protocol::Tcp) return;
    rebuildSpeeds(protocol);
    speedChanged();
}

void CommunicationsPageModel::ChooseSpeed(int position) {
    if (position < 0 || position >= static_cast<int>(controls_.speeds.size())) return;
    controls_.speed = position;
    speedChanged();
}

void CommunicationsPageModel::speedChanged() {
    const bool autodetect =
        controls_.speed >= 0 && controls_.speed < static_cast<int>(controls_.speeds.size()) &&
        controls_.speeds[static_cast<std::size_t>(controls_.speed)].bitsPerSecond == 0;
    if (autodetect) {
        // Greyed and cleared, so that taking the page over leaves parityMode as it is.
        if (controls_.parity >= 0) rememberedParity_ = controls_.parity;
        controls_.parity = -1;
        controls_.parityEnabled = false;
        return;
    }
    controls_.parityEnabled = true;
    if (controls_.parity < 0) controls_.parity = rememberedParity_;
}

void CommunicationsPageModel::ChooseParity(int position) {
    if (controls_.parityEnabled && position >= 0 && position <= 1) controls_.parity = position;
}

void CommunicationsPageModel::SetPercentSupport(bool ticked) {
    controls_.percentSupport = ticked;
    if (ticked) {
        controls_.percentA = false;
        controls_.percentB = true;
    }
}

void CommunicationsPageModel::ChoosePercentA() {
    if (!controls_.percentSupport) return;
    controls_.percentA = true;
    controls_.percentB = false;
}

void CommunicationsPageModel::ChoosePercentB() {
    if (!controls_.percentSupport) return;
    controls_.percentA = false;
    controls_.percentB = true;
}

void CommunicationsPageModel::TakeOver() {
    ConfigRecord& r = record();
    const CommunicationsControls& c = controls_;
    if (c.speed >= 0 && c.speed < static_cast<int>(c.speeds.size()))
        r.baudRate = c.speeds[static_cast<std::size_t>(c.speed)].bitsPerSecond;
    if (c.parity >= 0) r.parityMode = static_cast<uint8_t>(c.parity);
    if (r.linkFlags == 0xFFFFFFFF) r.linkFlags = 0;
    switch (c.protocol) {
        case static_cast<int>(Protocol::Rxa2):
            r.linkType = DNC_LINK_RXA2;
            break;
        case static_cast<int>(Protocol::DataIo):
            r.linkType = c.xonXoff ? DNC_LINK_DATAIO_XONXOFF : DNC_LINK_DATAIO_RTSCTS;
            break;
        case static_cast<int>(Protocol::Tcp):
            r.linkType = DNC_LINK_TCP_CLIENT;
            break;
        default:
            break;  // a link type the list has no entry for stays
    }
    if (c.port >= 0) r.comPort = static_cast<int16_t>(c.port + 1);
    r.timeout = numberFieldValue(c.timeout);
    r.retries = numberFieldValue(c.retries);
    r.sendDelay = numberFieldValue(c.sendDelay);
    r.leaderTrailerSize = numberFieldValue(c.leaderTrailerSize);
    r.options &= static_cast<uint8_t>(~(OPT_PERCENT_A | OPT_PERCENT_B | OPT_NOTIFY_CNC));
    if (c.percentSupport) {
        if (c.percentA) r.options |= OPT_PERCENT_A;
        if (c.percentB) r.options |= OPT_PERCENT_B;
    }
    if (c.notify) r.options |= OPT_NOTIFY_CNC;
    r.linkFlags = c.portSharing ? r.linkFlags & ~DNC_FLAG_RESERVE : r.linkFlags | DNC_FLAG_RESERVE;
    r.linkFlags =
        c.versionCheck ? r.linkFlags & ~DNC_FLAG_NO_LOGIN : r.linkFlags | DNC_FLAG_NO_LOGIN;
    setText(r.ipAddressText, c.ipAddress);
    r.destinationPort = numberFieldValue(c.destinationPort);
    r.serverPort = numberFieldValue(c.serverPort);
}

}  // namespace qel
