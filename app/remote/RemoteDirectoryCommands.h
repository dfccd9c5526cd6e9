// The CNC's commands on the served folder as a whole: one directory entry ("MPDR"), delete
// ("MPCL"), lock and unlock ("MPAT"), free space ("M FR", "MPFR") and the names of one memory
// type ("LI"). Each answers the CNC and logs what it did.
#pragma once

#include "remote/RemoteSession.h"

#include <string_view>

namespace qel::remote {

void serveDirectoryEntry(RemoteSession& session, std::string_view telegram);
void serveDelete(RemoteSession& session, std::string_view telegram);
void serveLock(RemoteSession& session, std::string_view telegram);
// replyCode is "R FR" for "M FR" and "M OK" for "MPFR".
void serveFreeSpace(RemoteSession& session, std::string_view replyCode);
void serveTypeListing(RemoteSession& session, std::string_view telegram);

}  // namespace qel::remote
