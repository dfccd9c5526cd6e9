#include "ExportGuard.h"

#include "Library.h"

namespace cablor {

void recordFailure(int32_t handle, int code) noexcept {
    if (code == 0) return;
    try {
        Library& library = Library::instance();
        if (HandlePtr found = handle != 0 ? library.find(handle) : nullptr) {
            found->pushError(code);
        } else {
            library.setHandlelessError(code);
        }
    } catch (...) {
        // The handle list or the handle's lock failed as well: the handle-less slot is a plain
        // atomic and still takes the code.
        try {
            Library::instance().setHandlelessError(code);
        } catch (...) {
        }
    }
}

}  // namespace cablor
