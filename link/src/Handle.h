// A link handle's record: the connection, its parameters and its error stack.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <mutex>

#include "ErrorStack.h"
#include "SerialLine.h"
#include "Socket.h"

namespace cablor {

struct HandleParams {
    int32_t linkType = 0;
    int32_t port = 0;
    int32_t retries = 0;
    int32_t ackTimeout = 0;    // seconds
    int32_t replyTimeout = 0;  // seconds
    int32_t parity = 0;        // 0 none, 1 even, 2 odd
    int32_t sendDelay = 0;     // milliseconds
    uint32_t baudRate = 0;
    uint32_t flags = 0;
    int32_t cncClass = 0;
    int32_t debugMode = 0;
    bool connected = false;
    bool reserved = false;
    bool acceptPending = false;
    bool keepListener = false;
};

struct Handle {
    int32_t value = 0;
    std::mutex lock;  // guards params, errors, socket, listener, peer, activeLine
    HandleParams params;
    ErrorStack errors;
    SocketPtr socket;    // TCP: the connection
    SocketPtr listener;  // TCP server: the listening socket until the CNC is accepted
    std::shared_ptr<Wakeup> acceptWakeup;  // TCP server: a disconnect ends a pending accept
    sockaddr_in peer{};
    // The line an exchange of this handle is using, so that a disconnect from another thread
    // can end its unlimited waits.
    std::shared_ptr<SerialLine> activeLine;
    // The device DncReserve opened, closed again by DncRelease or DncDisconnect.
    std::shared_ptr<SerialLine> reservedLine;
    // The reserved device failed for good (an adapter pulled out) and has not been opened
    // again yet: each exchange of the reservation tries.
    bool reservationLost = false;

    void pushError(int code) {
        std::lock_guard guard(lock);
        errors.push(code);
    }
    HandleParams snapshot() {
        std::lock_guard guard(lock);
        return params;
    }
};

using HandlePtr = std::shared_ptr<Handle>;

inline bool isSerialLink(int32_t linkType) {
    return linkType == 0 || linkType == 1 || linkType == 2 || linkType == 6;
}
inline bool isTcpLink(int32_t linkType) {
    return linkType == 4 || linkType == 5;
}

}  // namespace cablor
