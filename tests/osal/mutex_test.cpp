// Mutexes: spin counts, recursion, exclusion between real threads, and records from the global space.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>

#include "osal/sync.h"
#include "sync_test_threads.h"

namespace {

bool takenByAnotherThread(OsMutex *mutex) {
    bool taken = false;
    std::thread([&] {
        taken = osMutexTryLock(mutex);
        if (taken)
            osMutexUnlock(mutex);
    }).join();
    return taken;
}

// Each thread adds to a plain counter under the lock; a lost update shows in the sum.
void expectCountersAddUp(OsMutex *mutex) {
    constexpr int threads = 4, rounds = 50000;
    volatile int counter = 0;
    volatile int inside = 0;
    std::atomic<int> overlaps{0};
    runTogether(threads, [&](int) {
        for (int round = 0; round < rounds; ++round) {
            osMutexLock(mutex);
            if (inside != 0)
                ++overlaps;
            inside = 1;
            counter = counter + 1;
            inside = 0;
            osMutexUnlock(mutex);
        }
    });
    EXPECT_EQ(counter, threads * rounds);
    EXPECT_EQ(overlaps.load(), 0);
}

} // namespace

TEST(Mutex, AcceptsSpinCountsTheCriticalSectionUnderstands) {
    for (int spin : {0, 1, OSAL_DEFAULT_SPIN_COUNT, OSAL_MAX_SPIN_COUNT}) {
        OsMutex mutex;
        ASSERT_NE(osMutexInitAttr(&mutex, spin), 0) << spin;
        osMutexLock(&mutex);
        osMutexUnlock(&mutex);
        osMutexDestroy(&mutex);
    }
}

TEST(Mutex, RefusesSpinCountsThatWouldReachTheFlagBits) {
    for (int spin : {-1, OSAL_MAX_SPIN_COUNT + 1, 0x10000000, INT_MIN}) {
        OsMutex mutex;
        SetLastError(0);
        EXPECT_EQ(osMutexInitAttr(&mutex, spin), 0) << spin;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        SetLastError(0);
        EXPECT_EQ(osMutexCreateAttr(spin), nullptr) << spin;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(osMutexInitAttr(nullptr, 0), 0);
}

TEST(Mutex, IsRecursiveAndExcludesOtherThreadsUntilFullyReleased) {
    OsMutex mutex;
    ASSERT_NE(osMutexInit(&mutex), 0);
    EXPECT_TRUE(takenByAnotherThread(&mutex));
    osMutexLock(&mutex);
    EXPECT_NE(osMutexTryLock(&mutex), 0);
    EXPECT_FALSE(takenByAnotherThread(&mutex));
    osMutexUnlock(&mutex);
    EXPECT_FALSE(takenByAnotherThread(&mutex));
    osMutexUnlock(&mutex);
    EXPECT_TRUE(takenByAnotherThread(&mutex));
    osMutexDestroy(&mutex);
}

TEST(Mutex, CountersAddUpUnderContention) {
    OsMutex mutex;
    ASSERT_NE(osMutexInit(&mutex), 0);
    expectCountersAddUp(&mutex);
    osMutexDestroy(&mutex);
}

TEST(Mutex, ARecordFromTheGlobalSpaceWithoutSpinningHoldsToo) {
    OsMutex *mutex = osMutexCreateAttr(0);
    ASSERT_NE(mutex, nullptr);
    expectCountersAddUp(mutex);
    osMutexFree(mutex);
    osMutexFree(nullptr);
    osMutexDestroy(nullptr);
}
