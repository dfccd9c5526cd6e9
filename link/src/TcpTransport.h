// TCP/IP transport: connect, listen, accept and length-prefixed messages. On the wire a message
// is a 4-byte big-endian length followed by at most 1024 bytes.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "Socket.h"

namespace cablor {

inline constexpr int kMaxMessage = 1024;

// No CNC announces a longer message. A larger length means the stream is out of step (or the
// peer is no CNC): its payload is never drained, since that could take for ever.
inline constexpr uint32_t kLongestAnnounced = 64 * 1024;

enum class TcpError { None = 0, Resolve = 21, Socket = 22, Connect = 23 };

// Connects to ipAddress (host byte order) when it is non-zero and hostName is null, else to
// hostName as a dotted address or a name looked up. Switches TCP no-delay on.
// The IPv4 address of hostName (dotted or a name to look up), else of ipAddress (host order).
bool resolveAddress(uint32_t ipAddress, const char* hostName, in_addr* out);

SocketPtr tcpConnect(uint32_t ipAddress, const char* hostName, int port, TcpError* error);

// A new listening socket on any local address (backlog 10 or 1).
SocketPtr tcpListen(int port, int backlog, TcpError* error, const in_addr* bindTo = nullptr);

// Accepts one connection; null on failure or when wakeup is signalled first. Stores the peer
// address. Several handles may wait on one kept listening socket: the one that loses the race
// for a connection goes on waiting.
SocketPtr tcpAccept(const Socket& listener, const Wakeup& wakeup, sockaddr_in* peer);

enum class MessageResult { Ok, OverLong, Failed, TimedOut, BadLength };

// Sends one message: the length of the whole message, then at most 1024 of its bytes, in one
// call. A longer message goes out truncated and the result is OverLong.
MessageResult sendMessage(const Socket& socket, const uint8_t* bytes, int length);

// Receives one message into buffer (room for 1024 bytes) and stores the count delivered. The
// connection is read as the socket delivers it, into the socket's read-ahead: a message may
// arrive in pieces or together with the next ones, which wait there for the next receive. An
// over-long message delivers its first 1024 bytes, drops the rest so that the next message
// starts cleanly, and returns OverLong. A length above kLongestAnnounced returns BadLength at
// once, its payload never waited for: the caller ends the connection, and every later
// receive on it fails. timeoutMs < 0 waits without limit for the message to begin; once it
// has begun, a peer that closes or stalls mid-message fails it, and what came of it is
// dropped.
MessageResult receiveMessage(Socket& socket, uint8_t* buffer, int* length, int timeoutMs);

}  // namespace cablor
