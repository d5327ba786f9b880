// Read-write spin lock in one 32-bit word: 0 free, -1 held by one writer, n > 0 held by n readers.
// Waiters yield the processor and never block in the kernel; writers are not preferred.
#ifndef OSAL_RWLOCK_H
#define OSAL_RWLOCK_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

typedef volatile int32_t RwLock;

void rwWriteLock(RwLock *lock);
int rwTryWriteLock(RwLock *lock);
void rwWriteUnlock(RwLock *lock);
// The writer becomes the only reader without letting another writer in between.
void rwWriteConvertToReadLock(RwLock *lock);
void rwReadLock(RwLock *lock);
int rwTryReadLock(RwLock *lock);
void rwReadUnlock(RwLock *lock);
int rwLockIsWriteLocked(RwLock *lock);
int rwLockIsReadLocked(RwLock *lock);

OSAL_END_DECLS

#endif
