// Kernel events and semaphores: reset modes, timed waits in slices, and bad arguments.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "osal/sync.h"
#include "sync_test_threads.h"

namespace {

// Signals the event after delayMs on a thread of its own.
class LateSignal {
public:
    LateSignal(OsEvent *event, DWORD delayMs)
        : thread_([event, delayMs] {
              Sleep(delayMs);
              SetEvent(event->handle);
          }) {}
    ~LateSignal() { thread_.join(); }

private:
    std::thread thread_;
};

} // namespace

TEST(Event, AManualResetEventStaysSignalledAndAnAutoResetOneServesOneWait) {
    OsEvent manual, automatic, alsoAutomatic;
    ASSERT_EQ(osEventInit(&manual, 0), 1);
    ASSERT_EQ(osEventInit(&automatic, 1), 1);
    ASSERT_EQ(osEventInit(&alsoAutomatic, -7), 1);
    for (OsEvent *event : {&manual, &automatic, &alsoAutomatic}) {
        EXPECT_EQ(osEventTimedWait(event, 0), 0);
        SetEvent(event->handle);
    }
    EXPECT_EQ(osEventTimedWait(&manual, 0), 1);
    EXPECT_EQ(osEventWait(&manual), static_cast<uint32_t>(WAIT_OBJECT_0));
    for (OsEvent *event : {&automatic, &alsoAutomatic}) {
        EXPECT_EQ(osEventWait(event), static_cast<uint32_t>(WAIT_OBJECT_0));
        EXPECT_EQ(osEventTimedWait(event, 0), 0);
    }
    for (OsEvent *event : {&manual, &automatic, &alsoAutomatic})
        osEventDestroy(event);
}

TEST(Event, AZeroTimeoutPollsAndAShortOneRunsOut) {
    OsEvent event;
    ASSERT_EQ(osEventInit(&event, 0), 1);
    Millis poll;
    EXPECT_EQ(osEventTimedWait(&event, 0), 0);
    EXPECT_LT(poll.elapsed(), hangBoundMs);
    Millis wait;
    EXPECT_EQ(osEventTimedWait(&event, 50), 0);
    EXPECT_GE(wait.elapsed(), 50 - clockSlackMs);
    EXPECT_LT(wait.elapsed(), 50 + hangBoundMs);
    osEventDestroy(&event);
}

TEST(Event, TimeoutsBeyondThePlatformsRangeAreWaitedInSlicesNotCut) {
    OsEvent *event = osEventCreate(1);
    ASSERT_NE(event, nullptr);
    // Cut to 32 bits these would be a poll or a short wait; each must wait for the signal.
    for (uint64_t timeout : {0x100000000ull, 0x100000001ull, 0x40000000ull, 0xFFFFFFFFull, ~0ull}) {
        LateSignal signal(event, 100);
        Millis clock;
        EXPECT_EQ(osEventTimedWait(event, timeout), 1) << timeout;
        EXPECT_GE(clock.elapsed(), 100 - clockSlackMs) << timeout;
    }
    osEventFree(event);
}

TEST(Event, AWaitOnADestroyedEventFailsRatherThanReportingASignal) {
    OsEvent event;
    ASSERT_EQ(osEventInit(&event, 0), 1);
    osEventDestroy(&event);
    EXPECT_EQ(event.handle, nullptr);
    osEventDestroy(&event);
    EXPECT_EQ(osEventTimedWait(&event, 10), 0);
    EXPECT_EQ(osEventTimedWait(&event, 0xFFFFFFFF), 0);
    EXPECT_EQ(osEventWait(&event), static_cast<uint32_t>(WAIT_FAILED));
    EXPECT_EQ(osEventTimedWait(nullptr, 10), 0);
    EXPECT_EQ(osEventInit(nullptr, 0), 0);
    osEventFree(nullptr);
    osEventDestroy(nullptr);
}

TEST(Semaphore, KeepsItsCountsAndMaximum) {
    OsSemaphore semaphore;
    ASSERT_EQ(osSemaphoreInit(&semaphore, 3, 2), 1);
    EXPECT_EQ(WaitForSingleObject(semaphore.handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore.handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore.handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(semaphore.handle, 3, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(semaphore.handle, 1, nullptr));
    osSemaphoreDestroy(&semaphore);
    EXPECT_EQ(semaphore.handle, nullptr);
    osSemaphoreDestroy(&semaphore);

    OsSemaphore *record = osSemaphoreCreate(1, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(WaitForSingleObject(record->handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    osSemaphoreFree(record);
}

TEST(Semaphore, RefusesCountsOutsideItsRange) {
    struct Counts {
        int maximum, initial;
    };
    for (Counts counts : {Counts{0, 0}, Counts{-1, 0}, Counts{2, 3}, Counts{2, -1}, Counts{INT_MIN, INT_MIN}}) {
        OsSemaphore semaphore;
        EXPECT_EQ(osSemaphoreInit(&semaphore, counts.maximum, counts.initial), 0)
            << counts.maximum << " " << counts.initial;
        EXPECT_EQ(osSemaphoreCreate(counts.maximum, counts.initial), nullptr);
    }
    EXPECT_EQ(osSemaphoreInit(nullptr, 1, 1), 0);
    osSemaphoreFree(nullptr);
    osSemaphoreDestroy(nullptr);
}
