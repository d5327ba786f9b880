#include "global_record.h"
#include "osal/sync.h"

int osSemaphoreInit(OsSemaphore *semaphore, int maximumCount, int initialCount) {
    if (semaphore == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The platform refuses a maximum below 1 and an initial count outside 0..maximum.
    semaphore->handle = CreateSemaphoreA(nullptr, initialCount, maximumCount, nullptr);
    return semaphore->handle != nullptr;
}

void osSemaphoreDestroy(OsSemaphore *semaphore) {
    if (semaphore == nullptr || semaphore->handle == nullptr)
        return;
    CloseHandle(semaphore->handle);
    semaphore->handle = nullptr;
}

OsSemaphore *osSemaphoreCreate(int maximumCount, int initialCount) {
    return osalCreateRecord<OsSemaphore>([maximumCount, initialCount](OsSemaphore *semaphore) {
        return osSemaphoreInit(semaphore, maximumCount, initialCount);
    });
}

void osSemaphoreFree(OsSemaphore *semaphore) {
    if (semaphore == nullptr)
        return;
    osSemaphoreDestroy(semaphore);
    gsFree(semaphore);
}
