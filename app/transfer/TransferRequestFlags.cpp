#include "transfer/TransferRequestFlags.h"

#include "config/ConfigRecord.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"

#include <cablor.h>

namespace qel {

namespace {
bool isTelegramLink(int linkType) {
    return linkType == DNC_LINK_RXA2 || linkType == DNC_LINK_TCP_CLIENT ||
           linkType == DNC_LINK_TCP_SERVER;
}
}  // namespace

uint32_t receiveRequestFlags(uint8_t options, int linkType, bool receiveAs) {
    if (isTelegramLink(linkType)) options = (options & ~OPT_PERCENT_A) | OPT_PERCENT_B;
    uint32_t flags = 0;
    if (options & OPT_PERCENT_B) flags |= kReceivePercentB;
    if (options & OPT_PERCENT_A) flags |= kReceivePercentA;
    if (receiveAs) flags |= kReceiveAskNames;
    return flags;
}

uint32_t sendRequestFlags(uint8_t options, int linkType, bool sendAs) {
    if (isTelegramLink(linkType)) options &= ~(OPT_PERCENT_A | OPT_PERCENT_B);
    uint32_t flags = 0;
    if (options & OPT_PERCENT_B) flags |= kSendPercentB;
    if (options & OPT_PERCENT_A) flags |= kSendPercentA;
    if (options & OPT_IGNORE_EMPTY) flags |= kSendSkipEmpty;
    if (sendAs) flags |= kSendAskNames;
    return flags;
}

}  // namespace qel
