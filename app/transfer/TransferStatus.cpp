#include "transfer/TransferStatus.h"

namespace qel {

std::string_view statusText(TransferDirection direction, int status) {
    switch (status) {
        case XS_IDLE:
            return " Idle";
        case XS_WAIT_LINK:
            return " Waiting for the connection to become free...";
        case XS_WAIT_CNC:
            return " Waiting for CNC to continue...";
        case XS_TRANSFER:
            return direction == TransferDirection::Receive ? "Receiving data from CNC..."
                                                           : "Sending data to CNC...";
        case XS_WAIT_USER:
            return " Waiting for user response...";
        case XS_COMPLETE:
            return " Upload complete";
        case XS_STOPPING:
            return "Stopping download. Please wait...";
        case XS_ERROR:
            return " Error. Waiting for user response,,,";
        default:
            return " Status unknown...";
    }
}

bool isFinalStatus(int status) {
    return status == XS_COMPLETE || status == XS_STOPPING;
}

}  // namespace qel
