#include "osal/rwlock.h"
#include "osal/thread.h"

// Compare-and-swap and the interlocked decrement are full barriers; a writer's unlock needs
// only its earlier stores to be seen before the word changes.
namespace {

bool swap(RwLock *lock, int32_t expected, int32_t desired) {
    return __atomic_compare_exchange_n(lock, &expected, desired, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
}

int32_t load(RwLock *lock) { return __atomic_load_n(lock, __ATOMIC_RELAXED); }

void storeAfterFence(RwLock *lock, int32_t value) {
    __atomic_thread_fence(__ATOMIC_RELEASE);
    __atomic_store_n(lock, value, __ATOMIC_RELAXED);
}

} // namespace

void rwWriteLock(RwLock *lock) {
    while (!swap(lock, 0, -1)) {
        while (load(lock) != 0)
            threadYield();
    }
}

int rwTryWriteLock(RwLock *lock) { return swap(lock, 0, -1); }

void rwWriteUnlock(RwLock *lock) { storeAfterFence(lock, 0); }

void rwWriteConvertToReadLock(RwLock *lock) { storeAfterFence(lock, 1); }

void rwReadLock(RwLock *lock) {
    for (;;) {
        int32_t readers = load(lock);
        while (readers < 0) {
            threadYield();
            readers = load(lock);
        }
        if (swap(lock, readers, readers + 1))
            return;
    }
}

int rwTryReadLock(RwLock *lock) {
    for (int32_t readers = load(lock); readers >= 0; readers = load(lock)) {
        if (swap(lock, readers, readers + 1))
            return 1;
    }
    return 0;
}

void rwReadUnlock(RwLock *lock) { __atomic_sub_fetch(lock, 1, __ATOMIC_SEQ_CST); }

int rwLockIsWriteLocked(RwLock *lock) { return load(lock) < 0; }

int rwLockIsReadLocked(RwLock *lock) { return load(lock) > 0; }
