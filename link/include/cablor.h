/*
 * cablor.h - the link library's public interface.
 *
 * One flat C interface for talking to a CNC control over a serial line (RXA/2 telegrams or
 * DataIO raw data) or over TCP/IP. A caller describes the connection in a DncConnectParams
 * block, gets back an integer link handle, exchanges telegrams or raw data through it and
 * closes it:
 *
 *     DncConnectEx -> DncTransferEx / DncListenEx / parameters / DncReserve..DncRelease
 *                  -> DncDisconnect -> DncCloseHandle
 *
 * Every function returns a 32-bit integer: 1 (or a handle) for success, 0 for failure. After a
 * failure, DncGetLastError(handle) pops the reason from the handle's error stack (16 codes,
 * newest first); failures without a valid handle go to one handle-less slot read with
 * DncGetLastError(0).
 *
 * No C++ exception leaves a function. When the library fails inside (memory exhausted, a thread
 * or lock the system refuses), the call returns 0 and leaves the code each function names for
 * "a failure inside".
 *
 * Buffers always belong to the caller. A buffer into which a telegram is received must have room
 * for DNC_MAX_MESSAGE (1024) bytes on RXA/2 and TCP links; received telegrams are not
 * zero-terminated.
 *
 * Serial port n (1..4) is the device named by the environment variable CABLOR_COMn; else the
 * device of the line "COMn = PATH" of the port map file ($CABLOR_PORTS, else
 * $XDG_CONFIG_HOME/qelveva/ports when it exists, else /etc/qelveva/ports); else /dev/ttyS<n-1>.
 *
 * All functions may be called from several threads.
 */
#ifndef CABLOR_H
#define CABLOR_H

#include <stdint.h>

#if defined(CABLOR_BUILDING)
#define CABLOR_API __attribute__((visibility("default")))
#else
#define CABLOR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Link types (DncConnectParams.linkType, parameter id 0). Code 3 does not exist. */
#define DNC_LINK_RXA2 0           /* RXA/2 telegrams on a serial port */
#define DNC_LINK_DATAIO_RTSCTS 1  /* DataIO raw data, RTS/CTS flow control by the library */
#define DNC_LINK_DATAIO_XONXOFF 2 /* DataIO raw data, XOn/XOff flow control by the library */
#define DNC_LINK_TCP_CLIENT 4     /* TCP/IP, the PC connects to the CNC */
#define DNC_LINK_TCP_SERVER 5     /* TCP/IP, the PC listens and the CNC connects */
#define DNC_LINK_DATAIO_CTS 6     /* DataIO raw data, CTS sampled before every block */

/* Option bits (DncConnectParams.flags, parameter id 4). Other bits are stored, without effect. */
#define DNC_FLAG_RESERVE 0x02       /* exclusive port, reserved from connect to disconnect */
#define DNC_FLAG_STATUS_NOTIFY 0x10 /* accepted by DncTransfer/DncListen; no effect */
#define DNC_FLAG_NO_LOGIN 0x20      /* DncConnectEx skips the login handshake */
#define DNC_FLAG_KEEP_LISTENER 0x40 /* TCP server: keep the listening socket for later handles */
#define DNC_FLAG_BIND_ADDRESS 0x80  /* TCP server: listen on ipAddress/hostName, not on any */

/* Parameter ids (DncSetParamEx / DncGetParamEx). "serial": link types 0, 1, 2, 6 only. */
#define DNC_PARAM_LINK_TYPE 0     /* get */
#define DNC_PARAM_PORT 1          /* get: COM number or TCP port */
#define DNC_PARAM_ACK_TIMEOUT 2   /* set; get serial. Seconds */
#define DNC_PARAM_REPLY_TIMEOUT 3 /* set; get serial. Seconds */
#define DNC_PARAM_FLAGS 4         /* set, get */
#define DNC_PARAM_BAUD_RATE 5     /* set, get serial; setting needs the port open */
#define DNC_PARAM_PARITY 6        /* set, get serial: 0 none, 1 even, 2 odd */
#define DNC_PARAM_SEND_DELAY 7    /* set; get serial. Milliseconds */
#define DNC_PARAM_RETRIES 8       /* set; get RXA/2 only */
#define DNC_PARAM_PEER_ADDRESS 9  /* get TCP: IPv4 address of the accepted CNC, host order */
#define DNC_PARAM_PEER_NAME 10    /* get TCP: host name of the accepted CNC, into a char buffer */
#define DNC_PARAM_HANDLE_COUNT 11 /* get: open handles in the library */
#define DNC_PARAM_ATTACH_COUNT 12 /* get: times the library is attached */
#define DNC_PARAM_MAX_TELEGRAM 13 /* get: largest telegram in bytes */
#define DNC_PARAM_NOT_RESERVED 16 /* get: 1 when the handle is not reserved */
#define DNC_PARAM_CNC_CLASS 17    /* get: class found by the login handshake */
#define DNC_PARAM_CLEAR_PEER_READY 18 /* set, DataIO types 1 and 2: forget the peer's XOn/CTS */
#define DNC_PARAM_BLOCK_SIZE 19       /* get: 124 when cncClass is 0 or 3, else 128 */

/* Room DncGetParamEx(DNC_PARAM_PEER_NAME) needs in the caller's buffer, terminator included. */
#define DNC_PEER_NAME_SIZE 256

/* cncClass values (parameter id 17). */
#define DNC_CNC_NO_LOGIN 0 /* no handshake done */
#define DNC_CNC_OLD 1      /* RXA/2 CNC below version 410, or no "R VN" answer */
#define DNC_CNC_410 2      /* CNC of version 410 or higher */
#define DNC_CNC_S3 3       /* RXA/2 CNC that answered "R VNS5", "R VNS3" or "R VNS6" */
#define DNC_CNC_DATAIO 4   /* DataIO link */
#define DNC_CNC_TCP 5      /* TCP server link, or TCP client below version 410 */

/* The largest telegram or TCP message in bytes. */
#define DNC_MAX_MESSAGE 1024

/* Error codes (DncGetLastError). Codes 4, 10, 16 and 27 are never set. */
#define DNC_ERR_STILL_CONNECTED 1 /* DncCloseHandle on a connected handle */
#define DNC_ERR_NOT_CONNECTED 2   /* DncDisconnect on a disconnected handle */
#define DNC_ERR_INVALID_HANDLE 3  /* no such handle (handle-less slot) */
#define DNC_ERR_PORT 5            /* serial port failed to open or register, or is busy */
#define DNC_ERR_LINK_TYPE 6       /* link type not supported */
#define DNC_ERR_SEND 7            /* sending failed */
#define DNC_ERR_RECEIVE 8         /* receiving failed; TCP reply longer than 1024 bytes */
#define DNC_ERR_RESERVED 9        /* DncReserve on a reserved handle */
#define DNC_ERR_ENDED 11          /* the CNC ended the exchange, or a line error */
#define DNC_ERR_TIMEOUT 12        /* no telegram arrived in time */
#define DNC_ERR_VERSION_LOW 13    /* DncConnectParams.version below 3 */
#define DNC_ERR_VERSION_HIGH 14   /* DncConnectParams.version above 3 */
#define DNC_ERR_TIMEOUTS 15       /* RXA/2: ackTimeout not below replyTimeout */
#define DNC_ERR_NO_ADDRESS 17     /* TCP: neither ipAddress nor hostName */
#define DNC_ERR_TCP_PORT 18       /* TCP: port outside 1024..65534 */
#define DNC_ERR_PARITY 19         /* odd parity requested; parity error on receive */
#define DNC_ERR_SOCKET_LIBRARY 20 /* starting the socket library failed (never on Linux) */
#define DNC_ERR_RESOLVE 21        /* host name look-up failed (forward or reverse) */
#define DNC_ERR_SOCKET 22         /* creating the socket failed */
#define DNC_ERR_CONNECT 23        /* connect (client) or bind (server) failed */
#define DNC_ERR_ACCEPT 24         /* accept failed */
#define DNC_ERR_PARAM 25          /* parameter not valid for this link type */
#define DNC_ERR_NO_SPEED 26       /* baudRate 0 with a DataIO link type */
#define DNC_ERR_CONNECTION 28     /* TCP: connection failed, or ended for a length above 65536 */

/*
 * Connection parameter block: eleven 32-bit integers and the host name pointer, in this order.
 * version must be 3. Serial links use port (1..4), ackTimeout, replyTimeout (seconds), baudRate
 * (0 = detect, RXA/2 only; a successful RXA/2 connect writes the speed in use back), parity
 * (0 none/8 data bits, 1 even/7 data bits; 2 is refused), and for RXA/2 sendDelay (ms) and
 * retries. TCP links use port (1024..65534), ipAddress (host byte order) or hostName, and
 * replyTimeout as the longest wait for a reply or a listened telegram (0: without limit).
 */
typedef struct DncConnectParams {
    int32_t version;
    int32_t linkType;
    int32_t port;
    int32_t ackTimeout;
    int32_t replyTimeout;
    uint32_t flags;
    uint32_t baudRate;
    uint32_t parity;
    int32_t sendDelay;
    uint32_t retries;
    uint32_t ipAddress;
    const char* hostName;
} DncConnectParams;

/*
 * Connects as the block describes and returns a new handle, or 0.
 * Checks, in order: version (13, 14); RXA/2: ackTimeout < replyTimeout (15), parity (19);
 * DataIO: parity (19), baudRate (26); TCP: address (17), port (18); other types (6). Then
 * registers the serial port (5), connects or listens (21, 22, 23), and unless DNC_FLAG_NO_LOGIN
 * is set greets the CNC with "M  I" and "M VN" (RXA/2 and TCP client) to find its cncClass.
 * A failure inside: 5 for a serial link type, 22 for TCP. Errors go to the handle-less slot.
 */
CABLOR_API int32_t DncConnectEx(DncConnectParams* params);

/* Serial connect with version 3, ackTimeout 5, replyTimeout 7, sendDelay 0, retries 5.
 * A failure inside: 5. */
CABLOR_API int32_t DncConnect(int32_t port, int32_t baudRate, int32_t linkType, int32_t parity,
                              int32_t unused, int32_t flags);

/*
 * Sends *length bytes of buffer as one telegram (RXA/2, TCP) or as raw data (DataIO). With
 * expectReply non-zero on RXA/2 and TCP links, then receives one telegram into the same buffer
 * (room for 1024 bytes) and stores its length in *length.
 * Errors: 3, 5 (port), 7 (send; also a failure inside), 8 (receive; TCP reply over 1024 bytes:
 * the first 1024 are delivered), 12 (no reply in time), 28 (TCP connection failed, or a reply
 * announcing more than 65536 bytes: the connection is ended, the reply left unread).
 */
CABLOR_API int32_t DncTransferEx(int32_t handle, char* buffer, int32_t* length,
                                 int32_t expectReply);

/*
 * Waits for one telegram (RXA/2, TCP: at most 1024 bytes) or one block of raw data (DataIO:
 * *length on entry is the buffer's capacity) and stores its length. A TCP server handle first
 * accepts the CNC (waiting without limit). A TCP receive waits at most the reply time-out
 * (parameter id 3; 0: without limit). Errors: 3, 5, 8 (also a failure inside), 11 (CNC ended,
 * line error), 12 (time-out), 19 (parity), 24 (accept), 28 (as for DncTransferEx).
 */
CABLOR_API int32_t DncListenEx(int32_t handle, char* buffer, int32_t* length);

/*
 * Older RXA/2 exchanges with a status telegram: a reply beginning "R ST" is acknowledged with
 * "M OK", copied to status (130 bytes; *statusLength), and the real reply is received.
 * status and statusLength may be null. DncListen first polls for a telegram already arriving.
 * A failure inside: 7 (DncTransfer), 8 (DncListen).
 */
CABLOR_API int32_t DncTransfer(int32_t handle, char* buffer, int32_t* length, char* status,
                               int32_t* statusLength, int32_t expectReply);
CABLOR_API int32_t DncListen(int32_t handle, char* buffer, int32_t* length, char* status,
                             int32_t* statusLength);

/* Releases a reservation and unregisters the serial port, or closes the socket. Error 2; a
 * failure inside: 5. */
CABLOR_API int32_t DncDisconnect(int32_t handle);

/* Frees a disconnected handle. Error 1 while it is still connected, and for a failure inside
 * (the handle stays). */
CABLOR_API int32_t DncCloseHandle(int32_t handle);

/* Sets or reads one link parameter (DNC_PARAM_*). Error 25 for an id the link type lacks;
 * ids 14, 15 and above 19 fail without an error code; a failure inside: 25. For
 * DNC_PARAM_PEER_NAME, result points to a char buffer of DNC_PEER_NAME_SIZE bytes; otherwise to
 * one int32_t. */
CABLOR_API int32_t DncSetParamEx(int32_t handle, int32_t id, int32_t value);
CABLOR_API int32_t DncGetParamEx(int32_t handle, int32_t id, void* result);

/* retries, ackTimeout = timeout, replyTimeout = timeout + 2, sendDelay. Always 1, but for a
 * failure inside: 0 and 25. */
CABLOR_API int32_t DncSetParams(int32_t handle, int32_t retries, int32_t timeout,
                                int32_t sendDelay);

/* Pops the newest error code of the handle (0 when none, and for a failure inside); for an
 * invalid handle, takes the handle-less code and clears it. */
CABLOR_API int32_t DncGetLastError(int32_t handle);

/* Always 0. */
CABLOR_API int32_t DncGetLastStatus(void);

/* Keeps the serial device open between exchanges (error 5 when it cannot be opened, 9 when
 * already reserved). DncRelease gives it back; it returns 0 without an error when there is
 * nothing to release or the handle was connected with DNC_FLAG_RESERVE. A failure inside: 5. */
CABLOR_API int32_t DncReserve(int32_t handle);
CABLOR_API int32_t DncRelease(int32_t handle);

/* Reserved serial handles only (else error 5): reprogram the open port to another speed, and
 * back to the handle's own speed and parity. A failure inside: 5. */
CABLOR_API int32_t DncPatchSpeed(int32_t handle, int32_t speed);
CABLOR_API int32_t DncRestoreSpeed(int32_t handle);

/* Serial handles only: write bytes with no protocol; read what the port holds, at most *length
 * bytes, waiting at most 1 s. A failure inside: 7 (DirectSend), 8 (DirectRecv). */
CABLOR_API int32_t DirectSend(int32_t handle, const char* buffer, int32_t length);
CABLOR_API int32_t DirectRecv(int32_t handle, char* buffer, int32_t* length);

/* Stores a debug mode 1..4 on the handle. The library queues no debug strings, so
 * DncGetDebugString returns 0. A failure inside DncSetDebugMode: 25. */
CABLOR_API int32_t DncSetDebugMode(int32_t handle, int32_t mode);
CABLOR_API int32_t DncGetDebugString(int32_t handle, char* buffer, int32_t* length);

#ifdef __cplusplus
}
#endif

#endif /* CABLOR_H */
