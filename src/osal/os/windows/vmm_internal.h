// What the page-memory family shares between its files.
#ifndef OSAL_VMM_INTERNAL_H
#define OSAL_VMM_INTERNAL_H

#include <windows.h>

#include "osal/vmm.h"

namespace vmm {

struct SystemValues {
    size_t pageSize;
    size_t granularity;
    char *lowest;
    char *highest;
};

// The start-up values, read from the system on first use when start-up has not run.
const SystemValues &systemValues();
void readSystemValues();

// The platform protection for a protection word, or 0 when the word is invalid.
DWORD platformProtection(int protection);

// Logs a failed operation with the OS error, then the caller's message when there is one; the
// thread's error code is left as the failure set it.
void reportFailure(const char *operation, const char *file, int line, const char *message = nullptr);

inline size_t roundUp(size_t value, size_t unit) { return (value + unit - 1) & ~(unit - 1); }

} // namespace vmm

#define VMM_REPORT(operation) vmm::reportFailure((operation), __FILE__, __LINE__)

#endif
