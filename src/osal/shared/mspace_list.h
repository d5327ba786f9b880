// The list of all memory spaces and the process-wide settings of the memory-space family.
#ifndef OSAL_MSPACE_LIST_H
#define OSAL_MSPACE_LIST_H

#include "mspace_internal.h"

namespace mspace {

void initialiseSpaceList();
MSpaceRecord *firstSpace();
CRITICAL_SECTION *spaceListLock();

// Takes the list lock, then the lock of every space that uses one, in list order, except one
// space. Without waiting, gives up at the first busy lock and leaves every lock as it was.
bool lockAllSpaces(MSpaceRecord *except, bool wait);
void unlockAllSpaces(MSpaceRecord *except);

void setDefaultTracing(bool on);
bool defaultTracingOn();
void applyTracing(MSpaceRecord *m, bool on);

// The standard callbacks: pages from the page-memory layer.
void *stdAllocateCallback(uintptr_t argument, size_t *size);
int stdFreeCallback(uintptr_t argument, void *base, size_t size);

} // namespace mspace

#endif
