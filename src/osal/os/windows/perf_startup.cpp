#include "../../shared/startup.h"
#include "perf_internal.h"

CRITICAL_SECTION perfPathLock;
CRITICAL_SECTION perfInitLock;

int perfStartupLocks(void) {
    InitializeCriticalSection(&perfPathLock);
    InitializeCriticalSection(&perfInitLock);
    return OSAL_OK;
}
