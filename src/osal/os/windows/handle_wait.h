// Bounded waits on a kernel handle for any 64-bit number of milliseconds.
#ifndef OSAL_HANDLE_WAIT_H
#define OSAL_HANDLE_WAIT_H

#include <windows.h>

#include <stdint.h>

// The one count that means "no limit" to a handle wait.
constexpr uint64_t osalWaitNoLimit = 0xFFFFFFFF;

// 1 when the handle was signalled, 0 when the time ran out or the wait itself failed.
int osalWaitHandle(HANDLE handle, uint64_t timeoutMs);

#endif
