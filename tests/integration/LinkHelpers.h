#pragma once

#include <string>

#include "cablor.h"

namespace integration {

// A link handle that is disconnected and closed at the end of the test.
class Link {
  public:
    explicit Link(int32_t handle) : handle_(handle) {}
    ~Link() {
        if (handle_ != 0) {
            DncDisconnect(handle_);
            DncCloseHandle(handle_);
        }
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    int32_t get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

    // Sends a telegram and returns the CNC's reply, or "error N" with the library's error code.
    std::string exchange(const std::string& telegram, bool expectReply = true) const {
        char buffer[DNC_MAX_MESSAGE + 1] = {};
        telegram.copy(buffer, DNC_MAX_MESSAGE);
        int32_t length = static_cast<int32_t>(telegram.size());
        if (DncTransferEx(handle_, buffer, &length, expectReply ? 1 : 0) == 0)
            return "error " + std::to_string(DncGetLastError(handle_));
        return expectReply ? std::string(buffer, static_cast<std::size_t>(length)) : "sent";
    }
    std::string listen() const {
        char buffer[DNC_MAX_MESSAGE + 1] = {};
        int32_t length = DNC_MAX_MESSAGE;
        if (DncListenEx(handle_, buffer, &length) == 0)
            return "error " + std::to_string(DncGetLastError(handle_));
        return std::string(buffer, static_cast<std::size_t>(length));
    }
    int32_t param(int32_t id) const {
        int32_t value = -1;
        DncGetParamEx(handle_, id, &value);
        return value;
    }

  private:
    int32_t handle_;
};

inline DncConnectParams tcpParams(int linkType, int port, int replyTimeout, uint32_t flags = 0) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = linkType;
    p.port = port;
    p.ackTimeout = 1;
    p.replyTimeout = replyTimeout;
    p.flags = flags;
    p.ipAddress = 0x7F000001;
    return p;
}

inline DncConnectParams serialParams(int linkType, int comPort, uint32_t baud, int retries = 3) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = linkType;
    p.port = comPort;
    p.ackTimeout = 1;
    p.replyTimeout = 2;
    p.baudRate = baud;
    p.retries = static_cast<uint32_t>(retries);
    return p;
}

}  // namespace integration
