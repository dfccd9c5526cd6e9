// Connecting to the CNC a configuration describes, as the main window and qel both do.
#pragma once

#include "client/QelComC.h"
#include "config/ConfigRecord.h"

#include <memory>

namespace qel {

// The link a configuration describes. A TCP client holds its port for the whole connection
// (DNC_FLAG_RESERVE), so no other program shares it.
LinkSettings linkSettingsFor(const ConfigRecord& config);

// Constructs the client (which connects) and, when connected, sets the configuration's retries,
// time-out and send delay. The client comes back also when connecting failed, so that the
// caller can read lastError().
std::unique_ptr<CncClient> connectConfigured(const ConfigRecord& config,
                                             LinkApi& api = cablorLinkApi());

}  // namespace qel
