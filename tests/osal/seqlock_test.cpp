// Sequence locks: the record and its monitor, and a reader-retry protocol over it on real threads.
#include <gtest/gtest.h>

#include <atomic>

#include "osal/sync.h"
#include "sync_test_threads.h"

TEST(Seqlock, ANewRecordStartsAtZeroWithAWorkingMonitor) {
    Seqlock *seqlock = seqlockNew();
    ASSERT_NE(seqlock, nullptr);
    EXPECT_EQ(seqlock->sequence, 0u);
    EXPECT_EQ(seqlock->monitor.waiters, 0);
    osMonitorEnter(&seqlock->monitor);
    EXPECT_EQ(osMonitorTimedWait(&seqlock->monitor, 1), 0);
    osMonitorExit(&seqlock->monitor);
    seqlockFree(seqlock);
    seqlockFree(nullptr);
}

TEST(Seqlock, InitialisingCallerStorageResetsTheSequence) {
    Seqlock seqlock;
    seqlock.sequence = 77;
    ASSERT_EQ(seqlockInit(&seqlock), 1);
    EXPECT_EQ(seqlock.sequence, 0u);
    osMonitorDestroy(&seqlock.monitor);
    EXPECT_EQ(seqlockInit(nullptr), 0);
}

// Writers bump the sequence to odd, write, bump it to even; readers retry until they read the
// same even sequence before and after copying.
TEST(Seqlock, ReadersRetryingOnTheSequenceAlwaysSeeWholeWrites) {
    constexpr int writers = 2, readers = 3, writesEach = 5000, readsEach = 5000, words = 4;
    Seqlock *seqlock = seqlockNew();
    ASSERT_NE(seqlock, nullptr);
    int data[words] = {};
    std::atomic<int> tornReads{0};
    runTogether(writers + readers, [&](int index) {
        if (index < writers) {
            for (int write = 0; write < writesEach; ++write) {
                osMonitorEnter(&seqlock->monitor);
                __atomic_store_n(&seqlock->sequence, seqlock->sequence + 1, __ATOMIC_RELEASE);
                __atomic_thread_fence(__ATOMIC_SEQ_CST);
                int value = __atomic_load_n(&data[0], __ATOMIC_RELAXED) + 1;
                for (int &word : data)
                    __atomic_store_n(&word, value, __ATOMIC_RELAXED);
                __atomic_store_n(&seqlock->sequence, seqlock->sequence + 1, __ATOMIC_RELEASE);
                osMonitorExit(&seqlock->monitor);
            }
        } else {
            for (int read = 0; read < readsEach; ++read) {
                int copy[words];
                uint32_t before, after;
                do {
                    while ((before = __atomic_load_n(&seqlock->sequence, __ATOMIC_ACQUIRE)) & 1)
                        SwitchToThread();
                    for (int word = 0; word < words; ++word)
                        copy[word] = __atomic_load_n(&data[word], __ATOMIC_RELAXED);
                    __atomic_thread_fence(__ATOMIC_ACQUIRE);
                    after = __atomic_load_n(&seqlock->sequence, __ATOMIC_RELAXED);
                } while (before != after);
                for (int word = 1; word < words; ++word) {
                    if (copy[word] != copy[0])
                        ++tornReads;
                }
            }
        }
    });
    EXPECT_EQ(tornReads.load(), 0);
    EXPECT_EQ(data[words - 1], writers * writesEach);
    EXPECT_EQ(seqlock->sequence, 2u * writers * writesEach);
    seqlockFree(seqlock);
}
