// Telegram and raw-data exchanges: DncTransferEx, DncListenEx and the older status exchanges
// DncTransfer and DncListen.
#include <algorithm>
#include <cstring>

#include "DataIo.h"
#include "ExportGuard.h"
#include "Handle.h"
#include "Library.h"
#include "PortSession.h"
#include "TcpTransport.h"
#include "Telegram.h"
#include "cablor.h"

using namespace cablor;

namespace {

int32_t invalidHandle() {
    Library::instance().setHandlelessError(DNC_ERR_INVALID_HANDLE);
    return 0;
}

int32_t failWith(Handle& handle, int code) {
    handle.pushError(code);
    return 0;
}

// Receiver outcomes of a listen as error codes.
int listenError(ReceiveResult result) {
    switch (result) {
        case ReceiveResult::Ended:
        case ReceiveResult::LineError:
            return DNC_ERR_ENDED;
        case ReceiveResult::Timeout:
            return DNC_ERR_TIMEOUT;
        case ReceiveResult::ParityError:
            return DNC_ERR_PARITY;
        default:
            return DNC_ERR_RECEIVE;
    }
}

// One telegram out on an open RXA/2 line, under the port's busy flag.
bool sendOn(SerialLine& line, const HandleParams& p, const char* text, int length) {
    BusyFlag busy(p.port);
    if (!busy.taken()) return false;
    return sendTelegram(line, reinterpret_cast<const uint8_t*>(text), length, p.retries,
                        secondsToMs(p.ackTimeout), p.sendDelay) == SendResult::Ok;
}

// One telegram in; copied to the caller only when it was received whole.
ReceiveResult receiveOn(SerialLine& line, const HandleParams& p, char* buffer, int32_t* length,
                        int timeoutMs) {
    BusyFlag busy(p.port);
    if (!busy.taken()) return ReceiveResult::DeviceFailure;
    uint8_t text[kMaxTelegram];
    int n = 0;
    ReceiveResult result = receiveTelegram(line, text, &n, timeoutMs, p.sendDelay);
    if (result == ReceiveResult::Ok) {
        std::memcpy(buffer, text, static_cast<size_t>(n));
        *length = n;
    }
    return result;
}

SocketPtr socketOf(Handle& handle) {
    std::lock_guard guard(handle.lock);
    return handle.socket;
}

// A TCP message into the caller's buffer: 8 for an over-long one (its first 1024 bytes are
// delivered), 12 when the reply time-out ran out, 28 when the connection failed or announced a
// length no CNC sends.
int receiveTcp(Handle& handle, char* buffer, int32_t* length, int timeoutMs) {
    SocketPtr socket = socketOf(handle);
    if (!socket) return DNC_ERR_CONNECTION;
    int n = 0;
    switch (receiveMessage(*socket, reinterpret_cast<uint8_t*>(buffer), &n, timeoutMs)) {
        case MessageResult::Ok:
            *length = n;
            return 0;
        case MessageResult::OverLong:
            *length = n;
            return DNC_ERR_RECEIVE;
        case MessageResult::TimedOut:
            return DNC_ERR_TIMEOUT;
        case MessageResult::BadLength:
            // The stream is out of step and no later message could be found in it: the
            // connection is given up, as a broken one.
            socket->shutdown();
            return DNC_ERR_CONNECTION;
        default:
            return DNC_ERR_CONNECTION;
    }
}

int tcpReplyTimeoutMs(const HandleParams& p) {
    return p.replyTimeout > 0 ? p.replyTimeout * 1000 : -1;
}

// A TCP server handle meets its CNC: accept, keep or close the listening socket.
bool acceptCnc(Handle& handle) {
    SocketPtr listener;
    std::shared_ptr<Wakeup> wakeup;
    bool keep;
    int port;
    {
        std::lock_guard guard(handle.lock);
        listener = handle.listener;
        wakeup = handle.acceptWakeup;
        keep = handle.params.keepListener;
        port = handle.params.port;
    }
    if (!listener || !wakeup) return false;
    sockaddr_in peer{};
    SocketPtr accepted = tcpAccept(*listener, *wakeup, &peer);
    {
        std::lock_guard guard(handle.lock);
        if (!accepted || !handle.params.connected) {
            // A handle disconnected meanwhile takes no call.
            if (accepted) accepted->shutdown();
            if (!keep) handle.listener.reset();
            return false;
        }
        handle.listener.reset();
        handle.socket = accepted;
        handle.peer = peer;
        handle.params.acceptPending = false;
    }
    if (keep) Library::instance().keepListener(listener, port);
    return true;
}

int32_t transferEx(int32_t h, char* buffer, int32_t* length, int32_t expectReply) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return invalidHandle();
    if (buffer == nullptr || length == nullptr || *length < 0) {
        return failWith(*handle, DNC_ERR_SEND);
    }
    const HandleParams p = handle->snapshot();
    if (!p.connected) return failWith(*handle, DNC_ERR_SEND);

    if (isTcpLink(p.linkType)) {
        SocketPtr socket = socketOf(*handle);
        if (!socket || sendMessage(*socket, reinterpret_cast<const uint8_t*>(buffer), *length) !=
                           MessageResult::Ok) {
            return failWith(*handle, DNC_ERR_SEND);
        }
        if (!expectReply) return 1;
        int code = receiveTcp(*handle, buffer, length, tcpReplyTimeoutMs(p));
        if (code == DNC_ERR_TIMEOUT) {
            // TCP has no exchange framing: a reply arriving late would be taken for the answer
            // to the next request. A CNC that did not answer in time has lost the connection.
            socket->shutdown();
        }
        return code == 0 ? 1 : failWith(*handle, code);
    }

    if (p.linkType == DNC_LINK_RXA2) {
        PortSession session(*handle, p, OpenVariant::Rxa2, secondsToMs(p.ackTimeout));
        if (!session.ok()) return failWith(*handle, DNC_ERR_PORT);
        if (!sendOn(session.line(), p, buffer, *length)) return failWith(*handle, DNC_ERR_SEND);
        if (!expectReply) return 1;
        ReceiveResult result =
            receiveOn(session.line(), p, buffer, length, secondsToMs(p.replyTimeout));
        if (result == ReceiveResult::Ok) return 1;
        return failWith(*handle,
                        result == ReceiveResult::Timeout ? DNC_ERR_TIMEOUT : DNC_ERR_RECEIVE);
    }

    // DataIO: raw data out, never a reply.
    PortSession session(*handle, p, OpenVariant::DataIo, secondsToMs(p.ackTimeout));
    if (!session.ok()) return failWith(*handle, DNC_ERR_PORT);
    DataIoResult result =
        dataIoSend(session.line(), static_cast<LineMode>(p.linkType),
                   reinterpret_cast<const uint8_t*>(buffer), *length, secondsToMs(p.ackTimeout));
    return result == DataIoResult::Ok ? 1 : failWith(*handle, DNC_ERR_SEND);
}

int32_t listenEx(int32_t h, char* buffer, int32_t* length) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return invalidHandle();
    if (buffer == nullptr || length == nullptr) return failWith(*handle, DNC_ERR_RECEIVE);
    const HandleParams p = handle->snapshot();
    if (!p.connected) return failWith(*handle, DNC_ERR_RECEIVE);

    if (isTcpLink(p.linkType)) {
        if (p.acceptPending && !acceptCnc(*handle)) return failWith(*handle, DNC_ERR_ACCEPT);
        // As on a serial line, a listen gives up after the reply time-out with error 12, so
        // that its caller can look at a Cancel or Abort between waits; a reply time-out of 0
        // waits without limit. Accepting the CNC's call has no limit; a disconnect ends it.
        int code = receiveTcp(*handle, buffer, length, tcpReplyTimeoutMs(p));
        return code == 0 ? 1 : failWith(*handle, code);
    }

    if (p.linkType == DNC_LINK_RXA2) {
        PortSession session(*handle, p, OpenVariant::Rxa2, secondsToMs(p.ackTimeout));
        if (!session.ok()) return failWith(*handle, DNC_ERR_PORT);
        ReceiveResult result =
            receiveOn(session.line(), p, buffer, length, secondsToMs(p.replyTimeout));
        return result == ReceiveResult::Ok ? 1 : failWith(*handle, listenError(result));
    }

    if (*length <= 0) return failWith(*handle, DNC_ERR_RECEIVE);
    PortSession session(*handle, p, OpenVariant::DataIo, secondsToMs(p.ackTimeout));
    if (!session.ok()) return failWith(*handle, DNC_ERR_PORT);
    int n = 0;
    DataIoResult result = dataIoReceive(session.line(), static_cast<LineMode>(p.linkType),
                                        reinterpret_cast<uint8_t*>(buffer), *length, &n);
    if (result != DataIoResult::Ok) return failWith(*handle, DNC_ERR_RECEIVE);
    *length = n;
    return 1;
}

constexpr int kStatusSize = 130;

// The older status exchange: after the telegram (or the first receive for DncListen), a reply
// beginning "R ST" is acknowledged with "M OK", kept as the status and followed by the real
// reply.
int32_t statusExchange(int32_t h, char* buffer, int32_t* length, char* status,
                       int32_t* statusLength, bool listenFirst, bool expectReply) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return invalidHandle();
    if (buffer == nullptr || length == nullptr || (!listenFirst && *length < 0)) {
        return failWith(*handle, listenFirst ? DNC_ERR_RECEIVE : DNC_ERR_SEND);
    }
    HandleParams p = handle->snapshot();
    PortSession session(*handle, p, OpenVariant::Rxa2, secondsToMs(p.ackTimeout));
    if (!session.ok()) return failWith(*handle, DNC_ERR_PORT);
    SerialLine& line = session.line();

    if (listenFirst) {
        ReceiveResult first = receiveOn(line, p, buffer, length, 0);
        if (first != ReceiveResult::Ok) return failWith(*handle, listenError(first));
    } else {
        if (!sendOn(line, p, buffer, *length)) return failWith(*handle, DNC_ERR_SEND);
        if (!expectReply) return 1;
        if (receiveOn(line, p, buffer, length, secondsToMs(p.replyTimeout)) != ReceiveResult::Ok) {
            return failWith(*handle, DNC_ERR_RECEIVE);
        }
    }
    if (*length < 4 || std::memcmp(buffer, "R ST", 4) != 0) {
        if (statusLength != nullptr) *statusLength = 0;
        return 1;
    }
    char statusText[DNC_MAX_MESSAGE];
    int32_t statusBytes = *length;
    std::memcpy(statusText, buffer, static_cast<size_t>(statusBytes));
    if (!sendOn(line, p, "M OK", 4)) return failWith(*handle, DNC_ERR_SEND);
    if (status != nullptr) {
        // The caller's status buffer holds 130 bytes; the length tells what was copied.
        int32_t copied = std::min(statusBytes, kStatusSize);
        std::memcpy(status, statusText, static_cast<size_t>(copied));
        if (statusLength != nullptr) *statusLength = copied;
    }
    if (receiveOn(line, p, buffer, length, secondsToMs(p.replyTimeout)) != ReceiveResult::Ok) {
        return failWith(*handle, DNC_ERR_RECEIVE);
    }
    return 1;
}

}  // namespace

extern "C" {

// An exchange that fails inside the library counts as a failed send (7); a listen as a failed
// receive (8).
CABLOR_API int32_t DncTransferEx(int32_t h, char* buffer, int32_t* length, int32_t expectReply) {
    return guardExport(h, DNC_ERR_SEND, [&] { return transferEx(h, buffer, length, expectReply); });
}

CABLOR_API int32_t DncListenEx(int32_t h, char* buffer, int32_t* length) {
    return guardExport(h, DNC_ERR_RECEIVE, [&] { return listenEx(h, buffer, length); });
}

CABLOR_API int32_t DncTransfer(int32_t h, char* buffer, int32_t* length, char* status,
                               int32_t* statusLength, int32_t expectReply) {
    return guardExport(h, DNC_ERR_SEND, [&] {
        return statusExchange(h, buffer, length, status, statusLength, false, expectReply != 0);
    });
}

CABLOR_API int32_t DncListen(int32_t h, char* buffer, int32_t* length, char* status,
                             int32_t* statusLength) {
    return guardExport(h, DNC_ERR_RECEIVE, [&] {
        return statusExchange(h, buffer, length, status, statusLength, true, true);
    });
}

}  // extern "C"
