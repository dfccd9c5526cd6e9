// RXA/2 telegrams on a serial line: a text of up to 1024 bytes handed over with an enquiry
// (ENQ, answered ACK0), a framed block (DLE STX text DLE ETX BCC, every DLE of the text
// doubled), an acknowledgement (ACK1) and EOT. Time-outs are milliseconds; the caller keeps
// the port's busy flag for the whole call.
#pragma once

#include <cstdint>

#include "SerialLine.h"

namespace cablor {

namespace ctl {
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kEnq = 0x05;
inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kXon = 0x11;
inline constexpr uint8_t kXoff = 0x13;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kAck0 = '0';  // after DLE: ready for a block / send it again
inline constexpr uint8_t kAck1 = '1';  // after DLE: block received correctly
}  // namespace ctl

inline constexpr int kMaxTelegram = 1024;

// The block check: ETX and every text byte exclusive-ored, a doubled DLE counted once.
uint8_t blockCheck(const uint8_t* text, int length);

enum class SendResult { Ok, TooLong, Refused, Collision, RetriesExhausted, DeviceFailure };

// Sends one telegram. At most retries + 1 attempts are made in the enquiry phase and in the
// block phase; every acknowledgement is awaited at most ackTimeoutMs. A sendDelayMs above 0
// pauses before each control byte and writes the text byte by byte; 0 writes the whole block
// at once. A negative length counts as too long.
SendResult sendTelegram(SerialLine& line, const uint8_t* text, int length, int retries,
                        int ackTimeoutMs, int sendDelayMs);

// After the CNC answered our ENQ with its own ENQ: leaves the last ENQ of a run in the
// read-ahead buffer for the next receive, and drops an ENQ that the CNC withdrew with EOT.
void tidyAfterCollision(SerialLine& line);

enum class ReceiveResult { Ok, Ended, LineError, ParityError, Timeout, DeviceFailure };

// Receives one telegram into buffer (room for 1024 bytes). The first byte is awaited at most
// replyTimeoutMs (negative: without limit); once the CNC's ENQ has been answered every wait
// is replyTimeoutMs + 2000, or 10000 when replyTimeoutMs was 0 or negative. On success the
// text (unframed) is in buffer and its length in *length; on failure neither is touched.
ReceiveResult receiveTelegram(SerialLine& line, uint8_t* buffer, int* length, int replyTimeoutMs,
                              int sendDelayMs);

}  // namespace cablor
