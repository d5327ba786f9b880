// Registered frequency pairs: filled at registration, rewritten on every change, sixteen at most.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "fake_machine.h"
#include "osal/osal_assert.h"
#include "processors.h"

namespace {

constexpr int64_t untouchedFrequency = -7;
constexpr double untouchedNanos = -7.5;

struct Pair {
    int64_t frequency = untouchedFrequency;
    double nanosPerTick = untouchedNanos;
};

std::atomic<int> refusals{0};
std::string refusedExpression;
std::string refusedFunction;

int carryOn(const char *expression, const char *, int, const char *function, const char *) {
    if (refusals.fetch_add(1) == 0) {
        refusedExpression = expression;
        refusedFunction = function;
    }
    return 0;
}

class TimerPairs : public testing::Test {
protected:
    void SetUp() override {
        refusals = 0;
        previous_ = setAssertHook(carryOn);
        timing::start(clock);
    }
    void TearDown() override { setAssertHook(previous_); }

    CpuStateSwap swap{nehalem().decode()};
    FakeMachine machine;
    timing::Clock clock{machine.source()};

private:
    AssertHook previous_ = nullptr;
};

} // namespace

TEST_F(TimerPairs, TheSeventeenthIsRefusedAndTheTableStaysAsItWas) {
    Pair pairs[MAX_EXPORTED_TIMER_COUNTERS + 1];
    for (int index = 0; index < MAX_EXPORTED_TIMER_COUNTERS; ++index)
        EXPECT_GT(timing::registerPair(clock, &pairs[index].frequency, &pairs[index].nanosPerTick), 0);
    EXPECT_EQ(refusals.load(), 0);

    Pair &last = pairs[MAX_EXPORTED_TIMER_COUNTERS];
    EXPECT_EQ(timing::registerPair(clock, &last.frequency, &last.nanosPerTick), 0);
    EXPECT_EQ(refusals.load(), 1);
    EXPECT_EQ(refusedExpression, "exportedCurrent < MAX_EXPORTED_TIMER_COUNTERS");
    EXPECT_EQ(refusedFunction, "_timing_get_vars");
    EXPECT_EQ(clock.registeredPairs, MAX_EXPORTED_TIMER_COUNTERS);
    EXPECT_EQ(last.frequency, untouchedFrequency);
    EXPECT_EQ(last.nanosPerTick, untouchedNanos);

    // A change of frequency reaches the sixteen and only them.
    clock.counterFrequency = 3579545;
    timing::publishFrequency(clock);
    for (int index = 0; index < MAX_EXPORTED_TIMER_COUNTERS; ++index) {
        EXPECT_EQ(pairs[index].frequency, 3579545);
        EXPECT_EQ(pairs[index].nanosPerTick, 1e9 / 3579545.0);
    }
    EXPECT_EQ(last.frequency, untouchedFrequency);
    EXPECT_EQ(last.nanosPerTick, untouchedNanos);
}

TEST_F(TimerPairs, NullPointersAreNotRegistered) {
    Pair pair;
    EXPECT_EQ(timing::registerPair(clock, nullptr, &pair.nanosPerTick), 0);
    EXPECT_EQ(timing::registerPair(clock, &pair.frequency, nullptr), 0);
    EXPECT_EQ(clock.registeredPairs, 0);
    EXPECT_EQ(pair.nanosPerTick, untouchedNanos);
    EXPECT_EQ(pair.frequency, untouchedFrequency);
    EXPECT_EQ(refusals.load(), 0);
}

// Threads registering at once while the frequency changes: sixteen win, every one of them
// ends holding the last frequency, the losers are refused one report each.
TEST_F(TimerPairs, RegistrationsRacingAFrequencyChange) {
    constexpr int threads = 4;
    constexpr int each = 8;
    std::vector<Pair> pairs(threads * each);
    std::atomic<int> accepted{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int thread = 0; thread < threads; ++thread) {
        workers.emplace_back([&, thread] {
            while (!go.load())
                std::this_thread::yield();
            for (int index = 0; index < each; ++index) {
                Pair &pair = pairs[thread * each + index];
                if (timing::registerPair(clock, &pair.frequency, &pair.nanosPerTick) != 0)
                    ++accepted;
            }
        });
    }
    go = true;
    for (int64_t frequency = 1000000; frequency <= 1000100; ++frequency) {
        clock.counterFrequency = frequency;
        timing::publishFrequency(clock);
    }
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_EQ(accepted.load(), MAX_EXPORTED_TIMER_COUNTERS);
    EXPECT_EQ(refusals.load(), threads * each - MAX_EXPORTED_TIMER_COUNTERS);
    int holding = 0;
    int untouched = 0;
    for (const Pair &pair : pairs) {
        holding += pair.frequency == 1000100 && pair.nanosPerTick == 1e9 / 1000100.0;
        untouched += pair.frequency == untouchedFrequency && pair.nanosPerTick == untouchedNanos;
    }
    EXPECT_EQ(holding, MAX_EXPORTED_TIMER_COUNTERS);
    EXPECT_EQ(untouched, threads * each - MAX_EXPORTED_TIMER_COUNTERS);
}
