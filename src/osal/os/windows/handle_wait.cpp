#include "handle_wait.h"

namespace {

// The longest slice handed to the platform, well clear of its own "no limit" value.
constexpr DWORD longestSlice = 0x3FFFFFFF;

} // namespace

int osalWaitHandle(HANDLE handle, uint64_t timeoutMs) {
    if (timeoutMs == osalWaitNoLimit)
        return WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
    uint64_t remaining = timeoutMs;
    for (;;) {
        DWORD slice = remaining > longestSlice ? longestSlice : static_cast<DWORD>(remaining);
        remaining -= slice;
        DWORD result = WaitForSingleObject(handle, slice);
        // A failed wait (a closed or foreign handle) must not pass for a signal.
        if (result != WAIT_TIMEOUT)
            return result != WAIT_FAILED;
        // After the last full slice one more wait of 0 ms polls the handle.
        if (slice == 0)
            return 0;
    }
}
