// Link parameters: DncSetParamEx, DncGetParamEx and DncSetParams.
#include <netdb.h>

#include <cstring>

#include "ExportGuard.h"
#include "Handle.h"
#include "Library.h"
#include "PortTable.h"
#include "cablor.h"

using namespace cablor;

namespace {

int32_t invalidHandle() {
    Library::instance().setHandlelessError(DNC_ERR_INVALID_HANDLE);
    return 0;
}

int32_t notForThisLink(Handle& handle) {
    handle.errors.push(DNC_ERR_PARAM);
    return 0;
}

int32_t blockSizeFor(int32_t cncClass) {
    return cncClass == DNC_CNC_NO_LOGIN || cncClass == DNC_CNC_S3 ? 124 : 128;
}

// Speed or parity of the open port; the handle keeps the value only when the port took it.
int32_t reprogramOpenPort(Handle& handle, uint32_t speed, int32_t parity) {
    std::shared_ptr<SerialLine> line = PortTable::instance().line(handle.params.port);
    if (!line || line->setSpeedParity(speed, parity) != 0) return 0;
    handle.params.baudRate = speed;
    handle.params.parity = parity;
    return 1;
}

int32_t setParamEx(int32_t h, int32_t id, int32_t value) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return invalidHandle();
    std::lock_guard guard(handle->lock);
    HandleParams& p = handle->params;
    const bool serial = isSerialLink(p.linkType);
    switch (id) {
        case DNC_PARAM_ACK_TIMEOUT:
            p.ackTimeout = value;
            return 1;
        case DNC_PARAM_REPLY_TIMEOUT:
            p.replyTimeout = value;
            return 1;
        case DNC_PARAM_FLAGS:
            p.flags = static_cast<uint32_t>(value);
            return 1;
        case DNC_PARAM_SEND_DELAY:
            p.sendDelay = value;
            return 1;
        case DNC_PARAM_RETRIES:
            p.retries = value;
            return 1;
        case DNC_PARAM_BAUD_RATE:
            if (!serial) return notForThisLink(*handle);
            if (value <= 0) return 0;
            return reprogramOpenPort(*handle, static_cast<uint32_t>(value), p.parity);
        case DNC_PARAM_PARITY:
            if (!serial) return notForThisLink(*handle);
            if (value < 0 || value > 2) return 0;
            return reprogramOpenPort(*handle, p.baudRate, value);
        case DNC_PARAM_CLEAR_PEER_READY:
            if (p.linkType != DNC_LINK_DATAIO_RTSCTS && p.linkType != DNC_LINK_DATAIO_XONXOFF) {
                return notForThisLink(*handle);
            }
            if (auto line = PortTable::instance().line(p.port)) line->peerReady = false;
            return 1;
        default:
            return 0;  // read-only or unknown ids: no error code
    }
}

int32_t getParamEx(int32_t h, int32_t id, void* result) {
    HandlePtr handle = Library::instance().find(h);
    if (!handle) return invalidHandle();
    if (result == nullptr) return 0;
    // Read before the handle lock: the library lock is never taken inside a handle lock.
    const int handleCount = Library::instance().handleCount();
    const int attachCount = Library::instance().attachCount.load();
    std::lock_guard guard(handle->lock);
    const HandleParams& p = handle->params;
    const bool serial = isSerialLink(p.linkType);
    const bool tcp = isTcpLink(p.linkType);
    int32_t value = 0;
    switch (id) {
        case DNC_PARAM_LINK_TYPE:
            value = p.linkType;
            break;
        case DNC_PARAM_PORT:
            value = p.port;
            break;
        case DNC_PARAM_ACK_TIMEOUT:
            if (!serial) return notForThisLink(*handle);
            value = p.ackTimeout;
            break;
        case DNC_PARAM_REPLY_TIMEOUT:
            if (!serial) return notForThisLink(*handle);
            value = p.replyTimeout;
            break;
        case DNC_PARAM_FLAGS:
            value = static_cast<int32_t>(p.flags);
            break;
        case DNC_PARAM_BAUD_RATE:
            if (!serial) return notForThisLink(*handle);
            value = static_cast<int32_t>(p.baudRate);
            break;
        case DNC_PARAM_PARITY:
            if (!serial) return notForThisLink(*handle);
            value = p.parity;
            break;
        case DNC_PARAM_SEND_DELAY:
            if (!serial) return notForThisLink(*handle);
            value = p.sendDelay;
            break;
        case DNC_PARAM_RETRIES:
            if (p.linkType != DNC_LINK_RXA2) return notForThisLink(*handle);
            value = p.retries;
            break;
        case DNC_PARAM_PEER_ADDRESS:
            if (!tcp) return notForThisLink(*handle);
            value = static_cast<int32_t>(ntohl(handle->peer.sin_addr.s_addr));
            break;
        case DNC_PARAM_PEER_NAME: {
            if (!tcp) return notForThisLink(*handle);
            char name[NI_MAXHOST];
            if (handle->peer.sin_addr.s_addr == 0 ||
                ::getnameinfo(reinterpret_cast<const sockaddr*>(&handle->peer), sizeof handle->peer,
                              name, sizeof name, nullptr, 0, NI_NAMEREQD) != 0) {
                handle->errors.push(DNC_ERR_RESOLVE);
                return 0;
            }
            // The caller's buffer holds DNC_PEER_NAME_SIZE bytes: a longer name is cut there.
            const size_t kept = ::strnlen(name, DNC_PEER_NAME_SIZE - 1);
            char* out = static_cast<char*>(result);
            std::memcpy(out, name, kept);
            out[kept] = '\0';
            return 1;
        }
        case DNC_PARAM_HANDLE_COUNT:
            value = handleCount;
            break;
        case DNC_PARAM_ATTACH_COUNT:
            value = attachCount;
            break;
        case DNC_PARAM_MAX_TELEGRAM:
            value = p.linkType == DNC_LINK_RXA2 ? blockSizeFor(p.cncClass) : DNC_MAX_MESSAGE;
            break;
        case DNC_PARAM_NOT_RESERVED:
            value = p.reserved ? 0 : 1;
            break;
        case DNC_PARAM_CNC_CLASS:
            value = p.cncClass;
            break;
        case DNC_PARAM_BLOCK_SIZE:
            value = blockSizeFor(p.cncClass);
            break;
        default:
            return 0;  // 14, 15, 18 and unknown ids: no error code
    }
    *static_cast<int32_t*>(result) = value;
    return 1;
}

int32_t setParams(int32_t h, int32_t retries, int32_t timeout, int32_t sendDelay) {
    if (Library::instance().find(h)) {
        DncSetParamEx(h, DNC_PARAM_RETRIES, retries);
        DncSetParamEx(h, DNC_PARAM_ACK_TIMEOUT, timeout);
        DncSetParamEx(h, DNC_PARAM_REPLY_TIMEOUT, timeout + 2);
        DncSetParamEx(h, DNC_PARAM_SEND_DELAY, sendDelay);
    }
    return 1;
}

}  // namespace

extern "C" {

// A parameter call that fails inside the library gives 0 and error 25.
CABLOR_API int32_t DncSetParamEx(int32_t h, int32_t id, int32_t value) {
    return guardExport(h, DNC_ERR_PARAM, [&] { return setParamEx(h, id, value); });
}

CABLOR_API int32_t DncGetParamEx(int32_t h, int32_t id, void* result) {
    return guardExport(h, DNC_ERR_PARAM, [&] { return getParamEx(h, id, result); });
}

CABLOR_API int32_t DncSetParams(int32_t h, int32_t retries, int32_t timeout, int32_t sendDelay) {
    return guardExport(h, DNC_ERR_PARAM, [&] { return setParams(h, retries, timeout, sendDelay); });
}

}  // extern "C"
