#include "base/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qel {

bool traceEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("QELVEVA_TRACE");
        return value && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void trace(const char* format, ...) {
    if (!traceEnabled()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);  // one locked stdio call: lines do not interleave
    va_end(arguments);
}

}  // namespace qel
