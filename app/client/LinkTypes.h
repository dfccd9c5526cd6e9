// What kind of link a link type is, in one place.
#pragma once

#include <cablor.h>

namespace qel {

// The DataIO links stream raw data without telegrams: RTS/CTS, XOn/XOff and CTS per block.
inline bool isDataIoLinkType(int linkType) {
    return linkType == DNC_LINK_DATAIO_RTSCTS || linkType == DNC_LINK_DATAIO_XONXOFF ||
           linkType == DNC_LINK_DATAIO_CTS;
}

inline bool isTcpLinkType(int linkType) {
    return linkType == DNC_LINK_TCP_CLIENT || linkType == DNC_LINK_TCP_SERVER;
}

}  // namespace qel
