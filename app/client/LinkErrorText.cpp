#include "client/LinkErrorText.h"

#include <cablor.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>

#include "ComPortDevice.h"
#include "ComPortProblem.h"

namespace qel {

const char* linkErrorMeaning(int code) {
    switch (code) {
        case DNC_ERR_STILL_CONNECTED:
            return "handle still connected";
        case DNC_ERR_NOT_CONNECTED:
            return "link not connected";
        case DNC_ERR_INVALID_HANDLE:
            return "no such link handle";
        case DNC_ERR_PORT:
            return "serial port failed to open, or is busy";
        case DNC_ERR_LINK_TYPE:
            return "link type not supported";
        case DNC_ERR_SEND:
            return "sending failed";
        case DNC_ERR_RECEIVE:
            return "receiving failed";
        case DNC_ERR_RESERVED:
            return "port already reserved";
        case DNC_ERR_ENDED:
            return "the CNC ended the exchange, or a line error occurred";
        case DNC_ERR_TIMEOUT:
            return "time-out: no telegram arrived in time";
        case DNC_ERR_VERSION_LOW:
            return "parameter block version too old";
        case DNC_ERR_VERSION_HIGH:
            return "parameter block version too new";
        case DNC_ERR_TIMEOUTS:
            return "acknowledge time-out not below reply time-out";
        case DNC_ERR_NO_ADDRESS:
            return "no IP address or host name given";
        case DNC_ERR_TCP_PORT:
            return "TCP port outside 1024..65534";
        case DNC_ERR_PARITY:
            return "odd parity refused, or a parity error on the line";
        case DNC_ERR_SOCKET_LIBRARY:
            return "socket library could not be started";
        case DNC_ERR_RESOLVE:
            return "host name could not be resolved";
        case DNC_ERR_SOCKET:
            return "socket could not be created";
        case DNC_ERR_CONNECT:
            return "connection refused or unreachable";
        case DNC_ERR_ACCEPT:
            return "accepting the CNC's connection failed";
        case DNC_ERR_PARAM:
            return "parameter not valid for this link type";
        case DNC_ERR_NO_SPEED:
            return "DataIO link needs a speed";
        case DNC_ERR_CONNECTION:
            return "the TCP connection failed";
        default:
            return "unknown error";
    }
}

std::string linkErrorText(int code) {
    if (code == 0) return "no link error reported";
    return "link error " + std::to_string(code) + " (" + linkErrorMeaning(code) + ")";
}

std::string serialPortDevice(int port) {
    return cablor::ports::comPortDevice(port);
}

std::string serialPortProblem(const std::string& device) {
    return cablor::ports::comPortProblem(device);
}

namespace {
bool isSerial(int linkType) {
    return linkType != DNC_LINK_TCP_CLIENT && linkType != DNC_LINK_TCP_SERVER;
}

// An unplugged adapter takes its device node, and its /dev/serial/by-id link, with it.
bool deviceIsGone(const std::string& device) {
    struct stat status {};
    return !device.empty() && ::stat(device.c_str(), &status) != 0 &&
           (errno == ENOENT || errno == ENODEV || errno == ENXIO);
}
}  // namespace

std::string describeLink(const LinkSettings& settings) {
    if (!isSerial(settings.linkType)) {
        std::string host = settings.hostName;
        if (host.empty()) {
            const uint32_t a = settings.ipAddress;
            host = std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xff) + "." +
                   std::to_string((a >> 8) & 0xff) + "." + std::to_string(a & 0xff);
        }
        return host + ":" + std::to_string(settings.port);
    }
    const std::string device = serialPortDevice(settings.port);
    return "COM" + std::to_string(settings.port) + (device.empty() ? "" : " (" + device + ")");
}

std::string linkFailureText(int code, const LinkSettings& settings) {
    std::string text = linkErrorText(code);
    if (code == DNC_ERR_PORT && isSerial(settings.linkType)) {
        const std::string device = serialPortDevice(settings.port);
        const std::string problem = serialPortProblem(device);
        if (!problem.empty()) text += ": " + (device.empty() ? "" : device + ": ") + problem;
    } else if (code != 0) {
        if (const std::string gone = goneDeviceText(settings); !gone.empty()) text += ": " + gone;
    }
    return text;
}

std::string asSentence(std::string phrase) {
    if (phrase.empty()) return phrase;
    phrase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(phrase[0])));
    return phrase + ".";
}

std::string goneDeviceText(const LinkSettings& settings) {
    if (!isSerial(settings.linkType)) return {};
    const std::string device = serialPortDevice(settings.port);
    return deviceIsGone(device) ? "the device " + device + " is gone" : std::string();
}

}  // namespace qel
