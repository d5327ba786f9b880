#include "critical_section.h"
#include "global_record.h"
#include "osal/sync.h"

int osMutexInitAttr(OsMutex *mutex, int spinCount) {
    return osalInitCriticalSection(mutex != nullptr ? &mutex->section : nullptr, spinCount);
}

void osMutexDestroy(OsMutex *mutex) {
    if (mutex != nullptr)
        DeleteCriticalSection(&mutex->section);
}

OsMutex *osMutexCreateAttr(int spinCount) {
    return osalCreateRecord<OsMutex>([spinCount](OsMutex *mutex) { return osMutexInitAttr(mutex, spinCount); });
}

void osMutexFree(OsMutex *mutex) {
    if (mutex == nullptr)
        return;
    osMutexDestroy(mutex);
    gsFree(mutex);
}
