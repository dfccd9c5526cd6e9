/* A program built against the installed libcablor-dev: closing a handle that does not exist
 * fails, and the library says why (DNC_ERR_INVALID_HANDLE). */
#include <cablor.h>
#include <stdio.h>

int main(void) {
    const int32_t closed = DncCloseHandle(4711);
    const int32_t error = DncGetLastError(0);
    if (closed != 0 || error != DNC_ERR_INVALID_HANDLE) {
        fprintf(stderr, "DncCloseHandle(4711) gave %d, error %d\n", closed, error);
        return 1;
    }
    puts("libcablor answers");
    return 0;
}
