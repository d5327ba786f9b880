// Read-write spin locks: the word's states, conversion, and readers and writers on real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "osal/rwlock.h"
#include "sync_test_threads.h"

namespace {

bool tryFromAnotherThread(int (*attempt)(RwLock *), RwLock *lock, void (*release)(RwLock *)) {
    bool taken = false;
    std::thread([&] {
        taken = attempt(lock) != 0;
        if (taken)
            release(lock);
    }).join();
    return taken;
}

} // namespace

TEST(RwLock, AWriterHoldsTheWordAtMinusOneAndKeepsEveryoneElseOut) {
    RwLock lock = 0;
    rwWriteLock(&lock);
    EXPECT_EQ(lock, -1);
    EXPECT_EQ(rwLockIsWriteLocked(&lock), 1);
    EXPECT_EQ(rwLockIsReadLocked(&lock), 0);
    EXPECT_EQ(rwTryWriteLock(&lock), 0);
    Millis clock;
    EXPECT_EQ(rwTryReadLock(&lock), 0);
    EXPECT_LT(clock.elapsed(), hangBoundMs);
    EXPECT_EQ(lock, -1);
    rwWriteUnlock(&lock);
    EXPECT_EQ(lock, 0);
    EXPECT_EQ(rwLockIsWriteLocked(&lock), 0);
    EXPECT_EQ(rwTryWriteLock(&lock), 1);
    rwWriteUnlock(&lock);
}

TEST(RwLock, ReadersShareTheLockAndAreCountedInTheWord) {
    RwLock lock = 0;
    rwReadLock(&lock);
    rwReadLock(&lock);
    EXPECT_EQ(rwTryReadLock(&lock), 1);
    EXPECT_EQ(lock, 3);
    EXPECT_EQ(rwLockIsReadLocked(&lock), 1);
    EXPECT_EQ(rwLockIsWriteLocked(&lock), 0);
    EXPECT_EQ(rwTryWriteLock(&lock), 0);
    EXPECT_TRUE(tryFromAnotherThread(rwTryReadLock, &lock, rwReadUnlock));
    for (int reader = 0; reader < 3; ++reader)
        rwReadUnlock(&lock);
    EXPECT_EQ(lock, 0);
    EXPECT_EQ(rwLockIsReadLocked(&lock), 0);
}

TEST(RwLock, AWriterConvertedToReaderLetsReadersInButNotWriters) {
    RwLock lock = 0;
    rwWriteLock(&lock);
    rwWriteConvertToReadLock(&lock);
    EXPECT_EQ(lock, 1);
    EXPECT_TRUE(tryFromAnotherThread(rwTryReadLock, &lock, rwReadUnlock));
    EXPECT_FALSE(tryFromAnotherThread(rwTryWriteLock, &lock, rwWriteUnlock));
    rwReadUnlock(&lock);
    EXPECT_EQ(lock, 0);
    EXPECT_TRUE(tryFromAnotherThread(rwTryWriteLock, &lock, rwWriteUnlock));
}

TEST(RwLock, AWriterWaitsForTheLastReaderAndAReaderForTheWriter) {
    RwLock lock = 0;
    rwReadLock(&lock);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        rwWriteLock(&lock);
        written = true;
        Sleep(50);
        rwWriteUnlock(&lock);
    });
    Sleep(100);
    EXPECT_FALSE(written.load());
    rwReadUnlock(&lock);
    ASSERT_TRUE(eventually([&] { return written.load(); }));
    rwReadLock(&lock);
    EXPECT_EQ(lock, 1);
    rwReadUnlock(&lock);
    writer.join();
    EXPECT_EQ(lock, 0);
}

TEST(RwLock, ReadersAlwaysSeeWholeUpdatesAndWritersLoseNone) {
    constexpr int writers = 3, readers = 3, writesEach = 10000, readsEach = 10000;
    RwLock lock = 0;
    volatile int first = 0, second = 0;
    std::atomic<int> tornReads{0}, convertedReads{0};
    runTogether(writers + readers, [&](int index) {
        if (index < writers) {
            for (int write = 0; write < writesEach; ++write) {
                rwWriteLock(&lock);
                first = first + 1;
                if (write % 8 == 0)
                    SwitchToThread();
                second = second + 1;
                if (write % 16 == 0) {
                    // The converted reader must still see its own whole update.
                    rwWriteConvertToReadLock(&lock);
                    if (first != second)
                        ++convertedReads;
                    rwReadUnlock(&lock);
                } else {
                    rwWriteUnlock(&lock);
                }
            }
        } else {
            for (int read = 0; read < readsEach; ++read) {
                bool held = read % 2 ? rwTryReadLock(&lock) != 0 : (rwReadLock(&lock), true);
                if (!held)
                    continue;
                if (first != second)
                    ++tornReads;
                rwReadUnlock(&lock);
            }
        }
    });
    EXPECT_EQ(first, writers * writesEach);
    EXPECT_EQ(second, writers * writesEach);
    EXPECT_EQ(tornReads.load(), 0);
    EXPECT_EQ(convertedReads.load(), 0);
    EXPECT_EQ(lock, 0);
}
