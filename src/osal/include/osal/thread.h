// Threads and thread-local storage.
#ifndef OSAL_THREAD_H
#define OSAL_THREAD_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// The platform's thread-routine shape: one pointer argument, a 32-bit status, stdcall.
typedef unsigned long(__stdcall *OsalThreadRoutine)(void *argument);

// Thread-local storage key: a platform index.
typedef uint32_t TlsKey;

enum OsalThreadPriority {
    OSAL_PRIORITY_LOWEST = 0,
    OSAL_PRIORITY_BELOW_NORMAL = 1,
    OSAL_PRIORITY_NORMAL = 2,
    OSAL_PRIORITY_ABOVE_NORMAL = 3,
    OSAL_PRIORITY_HIGHEST = 4
};

// Starts a detached thread. 0 on success; 2 when the platform refuses, with its text in
// errorBuffer; 3 without a routine.
int threadStart(OsalThreadRoutine routine, void *argument, size_t stackSize, char *errorBuffer, int errorSize);
int threadAttachCurrent(void);
void threadDetachCurrent(void);
// threadId 0 is the calling thread; a level outside 0..4 means normal.
int threadSetPriority(uint32_t threadId, int level);
// Not supported here: stores 0 and returns 1.
int threadGetPriority(uint32_t threadId, int *level);
void threadSleep(uint32_t milliseconds);
void threadYield(void);
uint32_t threadGetCurrentID(void);
const char *threadGetSystemName(void);
// Tells an attached debugger the calling thread's name; without one nothing is seen.
void threadSetNameInDebugger(const char *name);

// 0 and the key; 2 when the platform has no index left; 3 without a place for the key.
int tlsAlloc(TlsKey *key);
void *tlsGet(TlsKey key);
// Non-zero on success.
int tlsSet(TlsKey key, void *value);
int tlsFree(TlsKey key);

OSAL_END_DECLS

#endif
