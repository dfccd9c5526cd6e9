// The status of a receive or send run, and the status-line text each dialog shows for it.
#pragma once

#include <string_view>

namespace qel {

enum TransferStatus : int {
    XS_IDLE = 0,
    XS_WAIT_LINK = 1,  // another user holds the link
    XS_WAIT_CNC = 2,
    XS_TRANSFER = 3,
    XS_WAIT_USER = 4,
    XS_COMPLETE = 99,   // final: the dialog closes itself
    XS_STOPPING = 100,  // final: the dialog closes itself
    XS_ERROR = -1,
};

enum class TransferDirection { Receive, Send };

// " Idle", "Receiving data from CNC...", ...; " Status unknown..." for a code not in the table.
std::string_view statusText(TransferDirection direction, int status);

bool isFinalStatus(int status);

}  // namespace qel
