// Sequence locks: the record starts at zero with a working monitor, in global or caller storage.
#include <gtest/gtest.h>

#include "osal/sync.h"

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
