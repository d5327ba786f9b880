#include "critical_section.h"

#include <stdint.h>

#include "osal/sync.h"

bool osalInitCriticalSection(CRITICAL_SECTION *section, int spinCount) {
    if (section == nullptr || spinCount < 0 || spinCount > OSAL_MAX_SPIN_COUNT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return InitializeCriticalSectionAndSpinCount(section, static_cast<DWORD>(spinCount)) != 0;
}

bool osalHeldByCaller(const CRITICAL_SECTION *section) {
    return reinterpret_cast<uintptr_t>(section->OwningThread) == GetCurrentThreadId() &&
           section->RecursionCount > 0;
}

// Leaving once per level, rather than forcing the depth to 1 and leaving once, keeps the lock
// word right on systems that count every recursive entry in it (Wine and older Windows do).
LONG osalLeaveFully(CRITICAL_SECTION *section) {
    LONG depth = section->RecursionCount;
    for (LONG level = 0; level < depth; ++level)
        LeaveCriticalSection(section);
    return depth;
}

void osalEnterTimes(CRITICAL_SECTION *section, LONG depth) {
    for (LONG level = 0; level < depth; ++level)
        EnterCriticalSection(section);
}
