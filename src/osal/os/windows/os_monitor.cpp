#include "critical_section.h"
#include "global_record.h"
#include "handle_wait.h"
#include "osal/sync.h"
#include "osal/thread.h"

namespace {

int32_t nextGeneration(int32_t generation) {
    return static_cast<int32_t>(static_cast<uint32_t>(generation) + 1u);
}

// Milliseconds on a clock that never goes back.
class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    uint64_t elapsedMs() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        uint64_t ticks = static_cast<uint64_t>(now.QuadPart - start_.QuadPart);
        uint64_t perSecond = static_cast<uint64_t>(frequency.QuadPart);
        return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
    }

private:
    LARGE_INTEGER start_;
};

} // namespace

int osMonitorInitAttr(OsMonitor *monitor, int spinCount) {
    if (monitor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        return 0;
    if (!osalInitCriticalSection(&monitor->section, spinCount)) {
        DWORD error = GetLastError();
        CloseHandle(event);
        SetLastError(error);
        return 0;
    }
    monitor->event = event;
    monitor->waiters = 0;
    monitor->pending = 0;
    monitor->generation = 0;
    return 1;
}

void osMonitorDestroy(OsMonitor *monitor) {
    if (monitor == nullptr)
        return;
    if (monitor->event != nullptr)
        CloseHandle(monitor->event);
    monitor->event = nullptr;
    DeleteCriticalSection(&monitor->section);
}

OsMonitor *osMonitorCreateAttr(int spinCount) {
    return osalCreateRecord<OsMonitor>(
        [spinCount](OsMonitor *monitor) { return osMonitorInitAttr(monitor, spinCount); });
}

void osMonitorFree(OsMonitor *monitor) {
    if (monitor == nullptr)
        return;
    osMonitorDestroy(monitor);
    gsFree(monitor);
}

int osMonitorTimedWait(OsMonitor *monitor, uint64_t timeoutMs) {
    CRITICAL_SECTION *section = &monitor->section;
    // Leaving a lock the caller does not hold would break it for every other thread.
    if (!osalHeldByCaller(section))
        return 0;
    const int32_t generation = monitor->generation;
    const bool limited = timeoutMs != 0 && timeoutMs != osalWaitNoLimit;
    const Stopwatch stopwatch;
    uint64_t remaining = timeoutMs == 0 ? osalWaitNoLimit : timeoutMs;
    ++monitor->waiters;
    for (bool again = false;; again = true) {
        LONG depth = osalLeaveFully(section);
        if (again)
            threadYield();
        int signalled = osalWaitHandle(monitor->event, remaining);
        osalEnterTimes(section, depth);
        // Only a notification given after this wait began is meant for it.
        if (monitor->pending > 0 && monitor->generation != generation) {
            --monitor->waiters;
            if (--monitor->pending == 0)
                ResetEvent(monitor->event);
            return 1;
        }
        if (!signalled)
            break;
        // Woken by a notification for an older waiter: wait again, but only for what is left.
        if (limited) {
            uint64_t spent = stopwatch.elapsedMs();
            if (spent >= timeoutMs)
                break;
            remaining = timeoutMs - spent;
            if (remaining == osalWaitNoLimit)
                --remaining;
        }
    }
    --monitor->waiters;
    return 0;
}

void osMonitorNotify(OsMonitor *monitor) {
    if (monitor->waiters <= monitor->pending)
        return;
    monitor->generation = nextGeneration(monitor->generation);
    ++monitor->pending;
    SetEvent(monitor->event);
}

void osMonitorNotifyAll(OsMonitor *monitor) {
    if (monitor->waiters <= 0)
        return;
    monitor->generation = nextGeneration(monitor->generation);
    monitor->pending = monitor->waiters;
    SetEvent(monitor->event);
}
