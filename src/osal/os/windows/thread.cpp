#include <windows.h>

#include "osal/os_error.h"
#include "osal/thread.h"

namespace {

int platformPriority(int level) {
    switch (level) {
    case OSAL_PRIORITY_LOWEST:
        return THREAD_PRIORITY_LOWEST;
    case OSAL_PRIORITY_BELOW_NORMAL:
        return THREAD_PRIORITY_BELOW_NORMAL;
    case OSAL_PRIORITY_ABOVE_NORMAL:
        return THREAD_PRIORITY_ABOVE_NORMAL;
    case OSAL_PRIORITY_HIGHEST:
        return THREAD_PRIORITY_HIGHEST;
    default:
        return THREAD_PRIORITY_NORMAL;
    }
}

} // namespace

int threadStart(OsalThreadRoutine routine, void *argument, size_t stackSize, char *errorBuffer, int errorSize) {
    DWORD code = ERROR_INVALID_PARAMETER;
    int result = OSAL_ERR_ARGUMENT;
    // A thread started at address 0 would take the whole process down.
    if (routine != nullptr) {
        DWORD id;
        HANDLE thread = CreateThread(nullptr, stackSize, reinterpret_cast<LPTHREAD_START_ROUTINE>(routine), argument,
                                     0, &id);
        if (thread != nullptr) {
            CloseHandle(thread);
            return OSAL_OK;
        }
        code = GetLastError();
        result = OSAL_ERR_RESOURCE;
    }
    if (errorBuffer != nullptr)
        osGetErrorString(code, errorBuffer, errorSize);
    SetLastError(code);
    return result;
}

int threadAttachCurrent(void) { return OSAL_OK; }

void threadDetachCurrent(void) {}

int threadSetPriority(uint32_t threadId, int level) {
    int priority = platformPriority(level);
    if (threadId == 0 || threadId == GetCurrentThreadId())
        return SetThreadPriority(GetCurrentThread(), priority) ? OSAL_OK : OSAL_ERR;
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, threadId);
    if (thread == nullptr)
        return OSAL_ERR;
    BOOL done = SetThreadPriority(thread, priority);
    DWORD code = GetLastError();
    CloseHandle(thread);
    SetLastError(code);
    return done ? OSAL_OK : OSAL_ERR;
}

int threadGetPriority(uint32_t, int *level) {
    if (level != nullptr)
        *level = 0;
    return OSAL_ERR;
}

void threadSleep(uint32_t milliseconds) { Sleep(milliseconds); }

void threadYield(void) {
    if (!SwitchToThread())
        Sleep(0);
}

uint32_t threadGetCurrentID(void) { return GetCurrentThreadId(); }

const char *threadGetSystemName(void) { return "Windows Threads"; }
