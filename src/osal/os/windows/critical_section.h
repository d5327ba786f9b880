// Critical sections of the mutexes and monitors.
#ifndef OSAL_CRITICAL_SECTION_H
#define OSAL_CRITICAL_SECTION_H

#include <windows.h>

// False, with the last error set, for a spin count the platform would misread or when the
// platform refuses.
bool osalInitCriticalSection(CRITICAL_SECTION *section, int spinCount);

bool osalHeldByCaller(const CRITICAL_SECTION *section);

// Leaves every level the calling thread holds and returns how many there were.
LONG osalLeaveFully(CRITICAL_SECTION *section);
void osalEnterTimes(CRITICAL_SECTION *section, LONG depth);

#endif
