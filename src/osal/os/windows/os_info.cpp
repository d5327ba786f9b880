#include <windows.h>

#include "osal/os_info.h"

int osGetNumberOfProcessors(void) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<int>(info.dwNumberOfProcessors);
}

int osGetProcessID(void) { return static_cast<int>(GetCurrentProcessId()); }

int osGetPhysicalMachineID(void) { return 1; }
