// The debug trace: printf-style lines to standard error when QELVEVA_TRACE=1, nowhere otherwise.
// The variable is read once, at the first call.
#pragma once

namespace qel {

bool traceEnabled();

// Formats like printf; the caller supplies the line ends. Safe from any thread.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qel
