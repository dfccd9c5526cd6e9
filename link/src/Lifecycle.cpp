// Handle life and port use: disconnect, close, errors, reservation, speed changes, direct
// port access, debug mode, and the library's load and unload.
#include <algorithm>

#include "ExportGuard.h"
#include "Handle.h"
#include "Library.h"
#include "PortSession.h"
#include "PortTable.h"
#include "cablor.h"

using namespace cablor;

namespace {

int32_t invalidHandle() {
    Library::instance().setHandlelessError(DNC_ERR_INVALID_HANDLE);
    return 0;
}

OpenVariant variantOf(int32_t linkType) {
    return linkType == DNC_LINK_RXA2 ? OpenVariant::Rxa2 : OpenVariant::DataIo;
}

int32_t disconnect(int32_t h) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return invalidHandle();
    HandleParams p;
    std::shared_ptr<SerialLine> active;
    SocketPtr socket, listener;
    std::shared_ptr<Wakeup> acceptWakeup;
    {
        std::lock_guard guard(handle->lock);
        if (!handle->params.connected) {
            handle->errors.push(DNC_ERR_NOT_CONNECTED);
            return 0;
        }
        p = handle->params;
        active = handle->activeLine;
        socket = std::move(handle->socket);
        listener = std::move(handle->listener);
        acceptWakeup = handle->acceptWakeup;
        handle->params.connected = false;
    }
    // A wait without limit in this handle's exchange ends now.
    if (active) active->device().cancel();
    if (isTcpLink(p.linkType)) {
        if (socket) socket->shutdown();
        // A pending accept ends; the listening socket itself may be kept for later handles.
        if (acceptWakeup) acceptWakeup->signal();
        return 1;
    }
    // A reservation this handle holds ends here. A DataIO handle carrying DNC_FLAG_RESERVE
    // whose reservation failed at connect time holds none: the device open on the port then
    // belongs to another handle and stays open.
    std::shared_ptr<SerialLine> reservedLine;
    {
        std::lock_guard guard(handle->lock);
        reservedLine = std::move(handle->reservedLine);
        handle->reservationLost = false;
        handle->params.flags &= ~static_cast<uint32_t>(DNC_FLAG_RESERVE);
        handle->params.reserved = false;
    }
    if (reservedLine) {
        reservedLine->device().cancel();
        PortTable::instance().closeAfterExchange(p.port, variantOf(p.linkType), reservedLine);
    }
    PortTable::instance().unregisterPort(p.port);
    return 1;
}

int32_t closeHandle(int32_t h) {
    switch (Library::instance().close(h)) {
        case Library::CloseResult::Closed:
            return 1;
        case Library::CloseResult::StillConnected:
            return 0;
        default:
            return invalidHandle();
    }
}

int32_t getLastError(int32_t h) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return Library::instance().takeHandlelessError();
    std::lock_guard guard(handle->lock);
    return handle->errors.pop();
}

int32_t reserve(int32_t h) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return 0;
    HandleParams p = handle->snapshot();
    if (!p.connected) {
        handle->pushError(DNC_ERR_NOT_CONNECTED);
        return 0;
    }
    if (p.reserved) {
        if (p.flags & DNC_FLAG_RESERVE) return 1;
        handle->pushError(DNC_ERR_RESERVED);
        return 0;
    }
    std::shared_ptr<SerialLine> opened;
    if (isSerialLink(p.linkType) &&
        PortTable::instance().openForExchange(p.port, secondsToMs(p.ackTimeout),
                                              variantOf(p.linkType), &opened) != OpenResult::Ok) {
        handle->pushError(DNC_ERR_PORT);
        return 0;
    }
    std::lock_guard guard(handle->lock);
    if (!handle->params.connected || handle->params.reserved) {
        // Disconnected or reserved by another thread meanwhile: give the device back.
        PortTable::instance().closeAfterExchange(p.port, variantOf(p.linkType), opened);
        handle->errors.push(handle->params.connected ? DNC_ERR_RESERVED : DNC_ERR_NOT_CONNECTED);
        return 0;
    }
    handle->params.reserved = true;
    handle->reservedLine = std::move(opened);
    return 1;
}

int32_t release(int32_t h) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return 0;
    std::shared_ptr<SerialLine> reservedLine;
    int32_t linkType, port;
    {
        std::lock_guard guard(handle->lock);
        const HandleParams& p = handle->params;
        if (!p.reserved || (p.flags & DNC_FLAG_RESERVE)) return 0;
        handle->params.reserved = false;
        reservedLine = std::move(handle->reservedLine);
        handle->reservationLost = false;
        linkType = p.linkType;
        port = p.port;
    }
    if (reservedLine)
        PortTable::instance().closeAfterExchange(port, variantOf(linkType), reservedLine);
    return 1;
}

// Reprograms the open port of a reserved serial handle.
int32_t reprogram(int32_t h, bool patch, int32_t speed) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return 0;
    HandleParams p = handle->snapshot();
    if (!isSerialLink(p.linkType)) return 0;
    std::shared_ptr<SerialLine> line = PortTable::instance().line(p.port);
    if (!p.reserved || !line) {
        handle->pushError(DNC_ERR_PORT);
        return 0;
    }
    uint32_t newSpeed = patch ? static_cast<uint32_t>(speed) : p.baudRate;
    return line->setSpeedParity(newSpeed, p.parity) == 0 ? 1 : 0;
}

int32_t patchSpeed(int32_t h, int32_t speed) {
    if (speed <= 0) return 0;
    return reprogram(h, true, speed);
}

int32_t restoreSpeed(int32_t h) {
    return reprogram(h, false, 0);
}

int32_t directSend(int32_t h, const char* buffer, int32_t length) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle || buffer == nullptr || length < 0) return 0;
    HandleParams p = handle->snapshot();
    if (!isSerialLink(p.linkType)) return 0;
    PortSession session(*handle, p, OpenVariant::Rxa2, secondsToMs(p.ackTimeout));
    if (!session.ok()) {
        handle->pushError(DNC_ERR_PORT);
        return 0;
    }
    BusyFlag busy(p.port);
    if (!busy.taken()) return 0;
    // A failed write is reported: the bytes did not reach the line.
    if (!session.line().write(reinterpret_cast<const uint8_t*>(buffer), length)) {
        handle->pushError(DNC_ERR_SEND);
        return 0;
    }
    return 1;
}

int32_t directRecv(int32_t h, char* buffer, int32_t* length) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle || buffer == nullptr || length == nullptr || *length < 0) return 0;
    HandleParams p = handle->snapshot();
    if (!isSerialLink(p.linkType)) return 0;
    PortSession session(*handle, p, OpenVariant::Rxa2, 1000);
    if (!session.ok()) {
        handle->pushError(DNC_ERR_PORT);
        return 0;
    }
    BusyFlag busy(p.port);
    if (!busy.taken()) return 0;
    SerialLine& line = session.line();
    LineErrors errors;
    int queued = 0;
    if (!line.device().queryStatus(&errors, &queued)) return 0;
    int want = queued > 0 ? std::min(*length, queued) : *length;
    // Bytes the protocols read ahead come first.
    int got = 0;
    while (got < want && line.readAheadPending() > 0) {
        buffer[got++] = static_cast<char>(line.readAhead()[line.readAheadIndex()++]);
    }
    if (got < want) {
        int n = line.device().read(reinterpret_cast<uint8_t*>(buffer) + got, want - got,
                                   got > 0 ? 0 : 1000);
        if (n < 0) return 0;
        got += n;
    }
    *length = got;
    return 1;
}

int32_t setDebugMode(int32_t h, int32_t mode) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle || mode < 1 || mode > 4) return 0;
    std::lock_guard guard(handle->lock);
    handle->params.debugMode = mode;
    return 1;
}

int32_t getDebugString(int32_t h, char* /*buffer*/, int32_t* /*length*/) {
    // The library queues no debug strings.
    (void)Library::instance().find(h);
    return 0;
}

}  // namespace

extern "C" {

// Each export's body runs guarded: a failure inside the library gives 0 and the error code named
// here.
CABLOR_API int32_t DncDisconnect(int32_t h) {
    return guardExport(h, DNC_ERR_PORT, [&] { return disconnect(h); });
}

CABLOR_API int32_t DncCloseHandle(int32_t h) {
    // The handle was not freed, as for a connected one.
    return guardExport(h, DNC_ERR_STILL_CONNECTED, [&] { return closeHandle(h); });
}

CABLOR_API int32_t DncGetLastError(int32_t h) {
    // No code to tell: the caller sees "no error" rather than an invented one.
    return guardExport(h, 0, [&] { return getLastError(h); });
}

CABLOR_API int32_t DncGetLastStatus(void) {
    return 0;
}  // nothing in it can throw

CABLOR_API int32_t DncReserve(int32_t h) {
    return guardExport(h, DNC_ERR_PORT, [&] { return reserve(h); });
}

CABLOR_API int32_t DncRelease(int32_t h) {
    return guardExport(h, DNC_ERR_PORT, [&] { return release(h); });
}

CABLOR_API int32_t DncPatchSpeed(int32_t h, int32_t speed) {
    return guardExport(h, DNC_ERR_PORT, [&] { return patchSpeed(h, speed); });
}

CABLOR_API int32_t DncRestoreSpeed(int32_t h) {
    return guardExport(h, DNC_ERR_PORT, [&] { return restoreSpeed(h); });
}

CABLOR_API int32_t DirectSend(int32_t h, const char* buffer, int32_t length) {
    return guardExport(h, DNC_ERR_SEND, [&] { return directSend(h, buffer, length); });
}

CABLOR_API int32_t DirectRecv(int32_t h, char* buffer, int32_t* length) {
    return guardExport(h, DNC_ERR_RECEIVE, [&] { return directRecv(h, buffer, length); });
}

CABLOR_API int32_t DncSetDebugMode(int32_t h, int32_t mode) {
    return guardExport(h, DNC_ERR_PARAM, [&] { return setDebugMode(h, mode); });
}

CABLOR_API int32_t DncGetDebugString(int32_t h, char* buffer, int32_t* length) {
    return guardExport(h, 0, [&] { return getDebugString(h, buffer, length); });
}

}  // extern "C"

namespace {

__attribute__((constructor)) void libraryLoad() {
    Library& library = Library::instance();
    library.attachCount.fetch_add(1);
    library.dropKeptListener();
    (void)PortTable::instance();
}

// Unloading ends every connection: each handle is disconnected and closed.
__attribute__((destructor)) void libraryUnload() {
    Library& library = Library::instance();
    for (const HandlePtr& handle : library.handles()) {
        DncDisconnect(handle->value);
        DncCloseHandle(handle->value);
    }
    library.dropKeptListener();
    library.attachCount.fetch_sub(1);
    PortTable::destroy();
    Library::destroy();
}

}  // namespace
