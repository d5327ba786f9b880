// Monitors: waits that time out, notifications that wake exactly the waiters they were given to,
// recursion kept across a wait, and real producers and consumers.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "osal/sync.h"
#include "sync_test_threads.h"

namespace {

class Monitor : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(osMonitorInit(&monitor_), 1); }
    void TearDown() override { osMonitorDestroy(&monitor_); }

    int waiters() {
        osMonitorEnter(&monitor_);
        int count = monitor_.waiters;
        osMonitorExit(&monitor_);
        return count;
    }
    bool waitersReach(int count) {
        return eventually([&] { return waiters() == count; });
    }
    void notify() {
        osMonitorEnter(&monitor_);
        osMonitorNotify(&monitor_);
        osMonitorExit(&monitor_);
    }
    bool eventSignalled() { return WaitForSingleObject(monitor_.event, 0) == WAIT_OBJECT_0; }
    bool enteredByAnotherThread() {
        bool entered = false;
        std::thread([&] {
            entered = TryEnterCriticalSection(&monitor_.section) != 0;
            if (entered)
                osMonitorExit(&monitor_);
        }).join();
        return entered;
    }

    OsMonitor monitor_;
};

// Waits on the monitor without limit on a thread of its own.
class Waiter {
public:
    explicit Waiter(OsMonitor *monitor, uint64_t timeoutMs = 0)
        : thread_([this, monitor, timeoutMs] {
              osMonitorEnter(monitor);
              result_ = osMonitorTimedWait(monitor, timeoutMs);
              osMonitorExit(monitor);
              done_ = true;
          }) {}
    ~Waiter() {
        if (thread_.joinable())
            thread_.join();
    }
    bool done() const { return done_; }
    int result() {
        thread_.join();
        return result_;
    }

private:
    std::atomic<bool> done_{false};
    int result_ = -1;
    std::thread thread_;
};

DWORD WINAPI waitWithoutLimit(void *argument) {
    auto *monitor = static_cast<OsMonitor *>(argument);
    osMonitorEnter(monitor);
    DWORD result = osMonitorTimedWait(monitor, 0);
    osMonitorExit(monitor);
    return result;
}

} // namespace

TEST_F(Monitor, ANotifyWithoutWaiterIsNotKeptForALaterWaiter) {
    osMonitorEnter(&monitor_);
    osMonitorNotify(&monitor_);
    osMonitorNotifyAll(&monitor_);
    EXPECT_EQ(monitor_.pending, 0);
    EXPECT_EQ(monitor_.generation, 0);
    EXPECT_EQ(osMonitorTimedWait(&monitor_, 30), 0);
    EXPECT_EQ(monitor_.waiters, 0);
    osMonitorExit(&monitor_);
    EXPECT_FALSE(eventSignalled());
}

TEST_F(Monitor, ATimedWaitRunsOutAfterItsTime) {
    osMonitorEnter(&monitor_);
    for (uint64_t timeout : {5u, 60u}) {
        Millis clock;
        EXPECT_EQ(osMonitorTimedWait(&monitor_, timeout), 0);
        double elapsed = clock.elapsed();
        EXPECT_GE(elapsed, timeout - clockSlackMs);
        EXPECT_LT(elapsed, timeout + hangBoundMs);
    }
    EXPECT_EQ(monitor_.waiters, 0);
    osMonitorExit(&monitor_);
}

TEST_F(Monitor, AWaitWithoutLimitEndsOnlyWhenNotified) {
    Waiter waiter(&monitor_);
    ASSERT_TRUE(waitersReach(1));
    Sleep(100);
    EXPECT_FALSE(waiter.done());
    notify();
    EXPECT_EQ(waiter.result(), 1);
    EXPECT_EQ(waiters(), 0);
    EXPECT_FALSE(eventSignalled());
}

TEST_F(Monitor, NotifyWakesOneWaiterAtATime) {
    Waiter first(&monitor_), second(&monitor_);
    ASSERT_TRUE(waitersReach(2));
    notify();
    ASSERT_TRUE(eventually([&] { return first.done() || second.done(); }));
    Sleep(50);
    EXPECT_NE(first.done(), second.done());
    EXPECT_EQ(waiters(), 1);
    notify();
    EXPECT_EQ(first.result(), 1);
    EXPECT_EQ(second.result(), 1);
    EXPECT_FALSE(eventSignalled());
}

TEST_F(Monitor, NotifyAllWakesEveryWaiterAndTheLastResetsTheEvent) {
    std::vector<std::unique_ptr<Waiter>> waiters;
    for (int index = 0; index < 3; ++index)
        waiters.push_back(std::make_unique<Waiter>(&monitor_));
    ASSERT_TRUE(waitersReach(3));
    osMonitorEnter(&monitor_);
    osMonitorNotifyAll(&monitor_);
    EXPECT_EQ(monitor_.pending, 3);
    EXPECT_EQ(monitor_.generation, 1);
    osMonitorExit(&monitor_);
    for (auto &waiter : waiters)
        EXPECT_EQ(waiter->result(), 1);
    osMonitorEnter(&monitor_);
    EXPECT_EQ(monitor_.pending, 0);
    EXPECT_EQ(monitor_.waiters, 0);
    osMonitorExit(&monitor_);
    EXPECT_FALSE(eventSignalled());
}

TEST_F(Monitor, ANotificationGoesToAWaiterEvenWhenItsTimeRanOut) {
    Waiter waiter(&monitor_, 200);
    ASSERT_TRUE(waitersReach(1));
    // Holding the monitor past the waiter's time leaves it a timed-out wait and a notification.
    osMonitorEnter(&monitor_);
    Sleep(400);
    osMonitorNotify(&monitor_);
    osMonitorExit(&monitor_);
    EXPECT_EQ(waiter.result(), 1);
    EXPECT_EQ(waiters(), 0);
    EXPECT_FALSE(eventSignalled());
}

TEST_F(Monitor, ARecursivelyHeldMonitorIsFullyReleasedDuringTheWaitAndHeldAgainAfter) {
    for (int level = 0; level < 3; ++level)
        osMonitorEnter(&monitor_);
    std::thread notifier([&] {
        osMonitorEnter(&monitor_);
        osMonitorNotify(&monitor_);
        osMonitorExit(&monitor_);
    });
    EXPECT_EQ(osMonitorTimedWait(&monitor_, 0), 1);
    notifier.join();
    EXPECT_EQ(monitor_.section.RecursionCount, 3);
    osMonitorExit(&monitor_);
    osMonitorExit(&monitor_);
    EXPECT_FALSE(enteredByAnotherThread());
    osMonitorExit(&monitor_);
    EXPECT_TRUE(enteredByAnotherThread());
}

TEST_F(Monitor, AWaitByAThreadThatDoesNotHoldTheMonitorLeavesItIntact) {
    EXPECT_EQ(osMonitorTimedWait(&monitor_, 0), 0);
    EXPECT_EQ(waiters(), 0);
    EXPECT_TRUE(enteredByAnotherThread());
    osMonitorEnter(&monitor_);
    EXPECT_FALSE(enteredByAnotherThread());
    osMonitorExit(&monitor_);
}

// A waiter that began after a notification can't take it, so the notification keeps waking it
// while the older waiter is held up; its wait must still end when its own time is up.
TEST_F(Monitor, ALaterWaiterWokenByAnotherWaitersNotificationWaitsOnlyForWhatIsLeft) {
    HANDLE older = CreateThread(nullptr, 0, waitWithoutLimit, &monitor_, 0, nullptr);
    ASSERT_NE(older, nullptr);
    ASSERT_TRUE(waitersReach(1));
    ASSERT_NE(SuspendThread(older), static_cast<DWORD>(-1));
    notify();

    constexpr uint64_t timeout = 300;
    std::atomic<bool> finished{false};
    int result = -1;
    double elapsed = 0;
    std::thread later([&] {
        osMonitorEnter(&monitor_);
        Millis clock;
        result = osMonitorTimedWait(&monitor_, timeout);
        elapsed = clock.elapsed();
        osMonitorExit(&monitor_);
        finished = true;
    });
    bool endedInTime = eventually([&] { return finished.load(); }, timeout + hangBoundMs);
    ResumeThread(older);
    later.join();
    EXPECT_TRUE(endedInTime);
    EXPECT_EQ(result, 0);
    EXPECT_GE(elapsed, timeout - clockSlackMs);
    EXPECT_LT(elapsed, timeout + hangBoundMs);

    ASSERT_EQ(WaitForSingleObject(older, 10000), WAIT_OBJECT_0);
    DWORD olderResult = 0;
    GetExitCodeThread(older, &olderResult);
    CloseHandle(older);
    EXPECT_EQ(olderResult, 1u);
    EXPECT_EQ(waiters(), 0);
    EXPECT_FALSE(eventSignalled());
}

TEST_F(Monitor, ProducersAndConsumersHandOverEveryItem) {
    constexpr int producers = 3, consumers = 3, itemsEach = 4000, total = producers * itemsEach;
    constexpr uint64_t hangBoundMs = 20000;
    int available = 0, consumed = 0, waitsRanOut = 0, brokenInvariants = 0;
    auto checkInvariant = [&] {
        if (monitor_.pending < 0 || monitor_.pending > monitor_.waiters)
            ++brokenInvariants;
    };
    runTogether(producers + consumers, [&](int index) {
        osMonitorEnter(&monitor_);
        if (index < producers) {
            for (int item = 0; item < itemsEach; ++item) {
                checkInvariant();
                ++available;
                osMonitorNotify(&monitor_);
                osMonitorExit(&monitor_);
                if (item % 64 == 0)
                    SwitchToThread();
                osMonitorEnter(&monitor_);
            }
        } else {
            while (consumed < total) {
                checkInvariant();
                if (available > 0) {
                    --available;
                    if (++consumed == total)
                        osMonitorNotifyAll(&monitor_);
                    osMonitorExit(&monitor_);
                    osMonitorEnter(&monitor_);
                } else if (osMonitorTimedWait(&monitor_, hangBoundMs) == 0 && consumed < total) {
                    ++waitsRanOut;
                }
            }
        }
        osMonitorExit(&monitor_);
    });
    EXPECT_EQ(consumed, total);
    EXPECT_EQ(available, 0);
    EXPECT_EQ(waitsRanOut, 0);
    EXPECT_EQ(brokenInvariants, 0);
    EXPECT_EQ(monitor_.waiters, 0);
}

// Threads meet at a barrier round after round; the last to arrive wakes the others with notify-all.
TEST_F(Monitor, NotifyAllReleasesABarrierRoundAfterRound) {
    constexpr int threads = 4, rounds = 300;
    constexpr uint64_t hangBoundMs = 20000;
    int arrived = 0, round = 0, waitsRanOut = 0;
    runTogether(threads, [&](int) {
        osMonitorEnter(&monitor_);
        for (int mine = 0; mine < rounds; ++mine) {
            if (++arrived == threads) {
                arrived = 0;
                ++round;
                osMonitorNotifyAll(&monitor_);
                continue;
            }
            const int waitingFor = round;
            while (round == waitingFor) {
                if (osMonitorTimedWait(&monitor_, hangBoundMs) == 0 && round == waitingFor)
                    ++waitsRanOut;
            }
        }
        osMonitorExit(&monitor_);
    });
    EXPECT_EQ(round, rounds);
    EXPECT_EQ(waitsRanOut, 0);
    EXPECT_EQ(monitor_.waiters, 0);
}

TEST(MonitorRecord, ComesFromTheGlobalSpaceAndRefusesBadSpinCounts) {
    OsMonitor *monitor = osMonitorCreateAttr(100);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->waiters, 0);
    EXPECT_EQ(monitor->pending, 0);
    EXPECT_EQ(monitor->generation, 0);
    osMonitorEnter(monitor);
    EXPECT_EQ(osMonitorTimedWait(monitor, 1), 0);
    osMonitorExit(monitor);
    osMonitorFree(monitor);
    osMonitorFree(nullptr);
    osMonitorDestroy(nullptr);

    EXPECT_EQ(osMonitorCreateAttr(-1), nullptr);
    OsMonitor inPlace;
    EXPECT_EQ(osMonitorInitAttr(&inPlace, OSAL_MAX_SPIN_COUNT + 1), 0);
    EXPECT_EQ(osMonitorInitAttr(nullptr, 0), 0);
}
