// DncConnectEx and DncConnect: checking the block, preparing the link, creating the handle and
// greeting the CNC.
#include <cstring>
#include <exception>

#include "ExportGuard.h"
#include "Handle.h"
#include "Library.h"
#include "Login.h"
#include "PortTable.h"
#include "TcpTransport.h"
#include "cablor.h"

using namespace cablor;

namespace {

// The checks, in their fixed order; 0 when the block is acceptable.
int checkBlock(const DncConnectParams& p) {
    if (p.version < 3) return DNC_ERR_VERSION_LOW;
    if (p.version > 3) return DNC_ERR_VERSION_HIGH;
    switch (p.linkType) {
        case DNC_LINK_RXA2:
            if (p.ackTimeout >= p.replyTimeout) return DNC_ERR_TIMEOUTS;
            if (p.parity == 2) return DNC_ERR_PARITY;
            return 0;
        case DNC_LINK_DATAIO_RTSCTS:
        case DNC_LINK_DATAIO_XONXOFF:
        case DNC_LINK_DATAIO_CTS:
            if (p.parity == 2) return DNC_ERR_PARITY;
            if (p.baudRate == 0) return DNC_ERR_NO_SPEED;
            return 0;
        case DNC_LINK_TCP_CLIENT:
        case DNC_LINK_TCP_SERVER:
            if (p.ipAddress == 0 && p.hostName == nullptr) return DNC_ERR_NO_ADDRESS;
            if (p.port < 1024 || p.port > 65534) return DNC_ERR_TCP_PORT;
            return 0;
        default:
            return DNC_ERR_LINK_TYPE;
    }
}

int32_t fail(int code) {
    Library::instance().setHandlelessError(code);
    return 0;
}

// A listening socket for a TCP server handle: the kept one when it serves the same port.
SocketPtr serverSocket(const DncConnectParams& p, TcpError* error) {
    if (SocketPtr kept = Library::instance().keptListener(p.port)) {
        *error = TcpError::None;
        return kept;
    }
    int backlog = (p.flags & DNC_FLAG_KEEP_LISTENER) ? 10 : 1;
    if ((p.flags & DNC_FLAG_BIND_ADDRESS) == 0) return tcpListen(p.port, backlog, error);
    // Only the CNCs that reach this address get an answer, not every network of the machine.
    in_addr local{};
    if (!resolveAddress(p.ipAddress, p.hostName, &local)) {
        *error = TcpError::Resolve;
        return nullptr;
    }
    return tcpListen(p.port, backlog, error, &local);
}

bool exchangeLogin(int32_t handle, char* reply, int32_t* length, const char* telegram) {
    std::memcpy(reply, telegram, 4);
    *length = 4;
    return DncTransferEx(handle, reply, length, 1) != 0;
}

// Drops a handle whose login failed; the reason goes to the handle-less slot.
int32_t discardAfterLogin(const HandlePtr& handle) {
    int code = DncGetLastError(handle->value);
    DncDisconnect(handle->value);
    DncCloseHandle(handle->value);
    return fail(code != 0 ? code : DNC_ERR_RECEIVE);
}

// Undoes a connect that an exception leaves half done: the caller gets no handle, so a
// registered port or an added handle would otherwise stay for ever. A connect that returns,
// with a handle or with an error, leaves things as they are.
class ConnectRollback {
  public:
    ConnectRollback() = default;
    ConnectRollback(const ConnectRollback&) = delete;
    ConnectRollback& operator=(const ConnectRollback&) = delete;
    ~ConnectRollback() {
        if (std::uncaught_exceptions() <= unwinding_) return;
        if (handle_ != 0) {
            DncDisconnect(handle_);  // unregisters the port as well
            DncCloseHandle(handle_);
        } else if (port_ != 0) {
            PortTable::instance().unregisterPort(port_);
        }
    }
    void portRegistered(int port) { port_ = port; }
    void handleAdded(int32_t handle) { handle_ = handle; }

  private:
    int unwinding_ = std::uncaught_exceptions();
    int port_ = 0;
    int32_t handle_ = 0;
};

int32_t connectEx(DncConnectParams* p) {
    if (p == nullptr) return fail(DNC_ERR_VERSION_LOW);  // no block to read
    if (int code = checkBlock(*p); code != 0) return fail(code);

    ConnectRollback rollback;
    auto handle = std::make_shared<Handle>();
    HandleParams& hp = handle->params;
    PortTable& table = PortTable::instance();
    if (isSerialLink(p->linkType)) {
        uint32_t speed = p->baudRate;
        int parityCode = static_cast<int>(p->parity);
        bool exclusive = (p->flags & DNC_FLAG_RESERVE) != 0;
        if (!table.registerPort(p->port, &speed, &parityCode, static_cast<LineMode>(p->linkType),
                                exclusive)) {
            return fail(DNC_ERR_PORT);
        }
        rollback.portRegistered(p->port);
        if (p->linkType == DNC_LINK_RXA2) {
            p->baudRate = speed;
            p->parity = static_cast<uint32_t>(parityCode);
            hp.retries = static_cast<int32_t>(p->retries);
            hp.sendDelay = p->sendDelay;
        }
        hp.port = p->port;
        hp.ackTimeout = p->ackTimeout;
        hp.replyTimeout = p->replyTimeout;
        hp.parity = static_cast<int32_t>(p->parity);
        hp.baudRate = p->linkType == DNC_LINK_RXA2 ? speed : p->baudRate;
    } else {
        TcpError error = TcpError::None;
        SocketPtr socket = p->linkType == DNC_LINK_TCP_CLIENT
                               ? tcpConnect(p->ipAddress, p->hostName, p->port, &error)
                               : serverSocket(*p, &error);
        if (!socket) return fail(static_cast<int>(error));
        hp.reserved = true;
        hp.port = p->port;
        // The reply time-out also bounds a TCP reply, so that a silent CNC cannot hang an
        // exchange for ever (0 waits without limit).
        hp.replyTimeout = p->replyTimeout;
        hp.keepListener = (p->flags & DNC_FLAG_KEEP_LISTENER) != 0;
        if (p->linkType == DNC_LINK_TCP_CLIENT) {
            handle->socket = socket;
        } else {
            handle->listener = socket;
            handle->acceptWakeup = std::make_shared<Wakeup>();
            hp.acceptPending = true;
        }
    }
    hp.connected = true;
    hp.linkType = p->linkType;
    hp.flags = p->flags;
    hp.cncClass = 0;

    Library::instance().add(handle);
    const int32_t h = handle->value;
    rollback.handleAdded(h);
    if (p->flags & DNC_FLAG_RESERVE) DncReserve(h);
    if (p->flags & DNC_FLAG_NO_LOGIN) return h;

    char reply[DNC_MAX_MESSAGE];
    int32_t length = 0;
    int32_t cncClass = 0;
    switch (p->linkType) {
        case DNC_LINK_RXA2:
            // A short greeting: one second, one retry.
            DncSetParamEx(h, DNC_PARAM_ACK_TIMEOUT, 1);
            DncSetParamEx(h, DNC_PARAM_REPLY_TIMEOUT, 1);
            DncSetParamEx(h, DNC_PARAM_RETRIES, 1);
            exchangeLogin(h, reply, &length, "M  I");
            if (!exchangeLogin(h, reply, &length, "M VN")) return discardAfterLogin(handle);
            cncClass = classifyLogin(reply, length, false);
            DncSetParamEx(h, DNC_PARAM_ACK_TIMEOUT, p->ackTimeout);
            DncSetParamEx(h, DNC_PARAM_REPLY_TIMEOUT, p->replyTimeout);
            DncSetParamEx(h, DNC_PARAM_RETRIES, static_cast<int32_t>(p->retries));
            break;
        case DNC_LINK_TCP_CLIENT:
            exchangeLogin(h, reply, &length, "M  I");
            if (!exchangeLogin(h, reply, &length, "M VN")) return discardAfterLogin(handle);
            cncClass = classifyLogin(reply, length, true);
            break;
        case DNC_LINK_TCP_SERVER:
            cncClass = DNC_CNC_TCP;
            break;
        default:
            cncClass = DNC_CNC_DATAIO;
            break;
    }
    {
        std::lock_guard guard(handle->lock);
        handle->params.cncClass = cncClass;
    }
    return h;
}

}  // namespace

extern "C" {

// A connect that fails inside the library reports the serial port (5) or the socket (22) as
// failed, in the handle-less slot like every connect error.
CABLOR_API int32_t DncConnectEx(DncConnectParams* p) {
    const int code = p != nullptr && isTcpLink(p->linkType) ? DNC_ERR_SOCKET : DNC_ERR_PORT;
    return guardExport(0, code, [&] { return connectEx(p); });
}

CABLOR_API int32_t DncConnect(int32_t port, int32_t baudRate, int32_t linkType, int32_t parity,
                              int32_t /*unused*/, int32_t flags) {
    DncConnectParams p{};
    p.version = 3;
    p.linkType = linkType;
    p.port = port;
    p.ackTimeout = 5;
    p.replyTimeout = 7;
    p.flags = static_cast<uint32_t>(flags);
    p.baudRate = static_cast<uint32_t>(baudRate);
    p.parity = static_cast<uint32_t>(parity);
    p.sendDelay = 0;
    p.retries = 5;
    return guardExport(0, DNC_ERR_PORT, [&] { return DncConnectEx(&p); });
}

}  // extern "C"
