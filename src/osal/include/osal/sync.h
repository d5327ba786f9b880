// Mutexes, monitors, events, semaphores and sequence locks. Each record lives in caller storage
// (Init/Destroy) or is allocated from the global memory space (Create/Free).
#ifndef OSAL_SYNC_H
#define OSAL_SYNC_H

#include <windows.h>

#include "osal/osal_types.h"
#include "osal/rwlock.h"

OSAL_BEGIN_DECLS

// Rounds a thread spins on a taken lock before it blocks, unless the caller says otherwise.
#define OSAL_DEFAULT_SPIN_COUNT 4000
// Spin counts above this would reach the flag bits of the platform's critical section.
#define OSAL_MAX_SPIN_COUNT 0x00FFFFFF

// A recursive lock that spins a while before it blocks.
typedef struct OsMutex {
    CRITICAL_SECTION section;
} OsMutex;

// A recursive lock with wait and notify. The counters are only touched with the lock held;
// the event is signalled exactly while notifications are pending.
typedef struct OsMonitor {
    CRITICAL_SECTION section;
    HANDLE event;       // manual reset
    int32_t waiters;    // threads inside a wait
    int32_t pending;    // notifications granted but not yet consumed
    int32_t generation; // counts notify operations
} OsMonitor;

typedef struct OsEvent {
    HANDLE handle;
} OsEvent;

typedef struct OsSemaphore {
    HANDLE handle;
} OsSemaphore;

// The read and write protocol over the sequence word belongs to the users of the record.
typedef struct Seqlock {
    OsMonitor monitor;
    volatile uint32_t sequence;
} Seqlock;

// Non-zero on success; 0 also for a spin count outside 0..OSAL_MAX_SPIN_COUNT.
int osMutexInitAttr(OsMutex *mutex, int spinCount);
void osMutexDestroy(OsMutex *mutex);
OsMutex *osMutexCreateAttr(int spinCount);
void osMutexFree(OsMutex *mutex);

int osMonitorInitAttr(OsMonitor *monitor, int spinCount);
void osMonitorDestroy(OsMonitor *monitor);
OsMonitor *osMonitorCreateAttr(int spinCount);
void osMonitorFree(OsMonitor *monitor);
// The caller holds the monitor, at any depth. A timeout of 0 (or 0xFFFFFFFF) waits without limit.
// 1 when woken by a notification, 0 when the time ran out or the caller does not hold the monitor.
int osMonitorTimedWait(OsMonitor *monitor, uint64_t timeoutMs);
void osMonitorNotify(OsMonitor *monitor);
void osMonitorNotifyAll(OsMonitor *monitor);

// An autoReset of 0 makes a manual-reset event; created not signalled.
int osEventInit(OsEvent *event, int autoReset);
void osEventDestroy(OsEvent *event);
OsEvent *osEventCreate(int autoReset);
void osEventFree(OsEvent *event);
// The platform's wait result.
uint32_t osEventWait(OsEvent *event);
// 0xFFFFFFFF waits without limit, 0 polls once. 1 when signalled, 0 otherwise.
int osEventTimedWait(OsEvent *event, uint64_t timeoutMs);

int osSemaphoreInit(OsSemaphore *semaphore, int maximumCount, int initialCount);
void osSemaphoreDestroy(OsSemaphore *semaphore);
OsSemaphore *osSemaphoreCreate(int maximumCount, int initialCount);
void osSemaphoreFree(OsSemaphore *semaphore);

Seqlock *seqlockNew(void);
int seqlockInit(Seqlock *seqlock);
// Only for records from seqlockNew.
void seqlockFree(Seqlock *seqlock);

static inline int osMutexInit(OsMutex *mutex) { return osMutexInitAttr(mutex, OSAL_DEFAULT_SPIN_COUNT); }
static inline void osMutexLock(OsMutex *mutex) { EnterCriticalSection(&mutex->section); }
static inline void osMutexUnlock(OsMutex *mutex) { LeaveCriticalSection(&mutex->section); }
static inline int osMutexTryLock(OsMutex *mutex) { return TryEnterCriticalSection(&mutex->section) != 0; }

static inline int osMonitorInit(OsMonitor *monitor) {
    return osMonitorInitAttr(monitor, OSAL_DEFAULT_SPIN_COUNT);
}
static inline void osMonitorEnter(OsMonitor *monitor) { EnterCriticalSection(&monitor->section); }
static inline void osMonitorExit(OsMonitor *monitor) { LeaveCriticalSection(&monitor->section); }

OSAL_END_DECLS

#endif
