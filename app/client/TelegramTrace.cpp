#include "client/TelegramTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qel {

namespace {
bool traceEnabled() {
    const char* value = std::getenv("QELVEVA_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}
}  // namespace

void traceTelegram(std::string_view prefix, std::string_view text) {
    if (!traceEnabled()) return;
    std::fprintf(stderr, "%.*s%.*s\n", static_cast<int>(prefix.size()), prefix.data(),
                 static_cast<int>(text.size()), text.data());
}

}  // namespace qel
