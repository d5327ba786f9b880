#include "global_record.h"
#include "handle_wait.h"
#include "osal/sync.h"

int osEventInit(OsEvent *event, int autoReset) {
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    event->handle = CreateEventA(nullptr, autoReset == 0, FALSE, nullptr);
    return event->handle != nullptr;
}

void osEventDestroy(OsEvent *event) {
    if (event == nullptr || event->handle == nullptr)
        return;
    CloseHandle(event->handle);
    event->handle = nullptr;
}

OsEvent *osEventCreate(int autoReset) {
    return osalCreateRecord<OsEvent>([autoReset](OsEvent *event) { return osEventInit(event, autoReset); });
}

void osEventFree(OsEvent *event) {
    if (event == nullptr)
        return;
    osEventDestroy(event);
    gsFree(event);
}

uint32_t osEventWait(OsEvent *event) {
    return WaitForSingleObject(event != nullptr ? event->handle : nullptr, INFINITE);
}

int osEventTimedWait(OsEvent *event, uint64_t timeoutMs) {
    return osalWaitHandle(event != nullptr ? event->handle : nullptr, timeoutMs);
}
