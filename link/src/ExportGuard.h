// No C++ exception leaves the library through its C interface: a C caller cannot catch one, and
// unwinding through its frames ends the program. Every exported function runs its body through
// guardExport(), which turns an exception (memory exhausted, a thread or lock the system refused,
// anything else) into the function's failure result with an error code recorded.
#pragma once

#include <cstdint>

namespace cablor {

// Pushes code onto the handle's error stack, or into the handle-less slot when there is no such
// handle (0 for calls that have none). Code 0 records nothing. Never throws.
void recordFailure(int32_t handle, int code) noexcept;

// body() is the export's work and returns its result. An exception from it records code for
// handle and gives 0, the failure result of every export.
template <typename Body>
int32_t guardExport(int32_t handle, int code, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        recordFailure(handle, code);
        return 0;
    }
}

}  // namespace cablor
