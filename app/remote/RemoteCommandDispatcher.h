// Performs one command telegram of the CNC and answers it, as the command table says.
#pragma once

#include "remote/RemoteSession.h"

#include <string_view>

namespace qel::remote {

void performRemoteCommand(RemoteSession& session, std::string_view telegram);

}  // namespace qel::remote
