// Whole files between the served folder and the CNC, block by block: "PR" (the CNC sends a
// file, the PC stores it) and "PT" (the CNC asks for a file, the PC sends it). While one runs,
// Exit is disabled and Abort enabled; Abort (or Exit) ends it at the next block.
#pragma once

#include "remote/RemoteSession.h"

#include <string_view>

namespace qel::remote {

void receiveFileFromCnc(RemoteSession& session, std::string_view telegram);
void sendFileToCnc(RemoteSession& session, std::string_view telegram);

}  // namespace qel::remote
