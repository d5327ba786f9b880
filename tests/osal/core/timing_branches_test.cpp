// The exported clock with fast time on and off, whatever this machine's processor is: each child
// starts the process clock on the real counters while a fed processor decides the rule.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <atomic>
#include <thread>
#include <vector>

#include "child_process.h"
#include "osal/timing.h"
#include "processors.h"

namespace {

int64_t performanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// Readings "backwards": one thread's reading older than one it had seen another thread publish.
int backwardsAcrossThreads() {
    std::atomic<int64_t> latest{timingGetCounterTime()};
    std::atomic<int> backwards{0};
    std::vector<std::thread> workers;
    for (int thread = 0; thread < 4; ++thread) {
        workers.emplace_back([&] {
            int64_t previous = 0;
            for (int reading = 0; reading < 5000; ++reading) {
                int64_t seen = latest.load();
                int64_t now = timingGetCounterTime();
                if (now < seen || now < previous)
                    ++backwards;
                previous = now;
                while (seen < now && !latest.compare_exchange_weak(seen, now)) {
                }
            }
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    return backwards.load();
}

int reportClock(const CpuInfo &processor) {
    cpuIdentify();
    CpuStateSwap swap(processor);
    static TimerVars pair;
    const int64_t frequency = _timing_get_vars(&pair.frequency, &pair.nanosPerTick);
    // Counter ticks over a span of the platform's nanoseconds, in both clocks.
    const int64_t counterStart = timingGetCounterTime();
    const int64_t nanosStart = timingGetCurrentTimeNanos();
    Sleep(100);
    const int64_t counterEnd = timingGetCounterTime();
    const int64_t nanosEnd = timingGetCurrentTimeNanos();
    const double counted = static_cast<double>(counterEnd - counterStart) * pair.nanosPerTick;
    const double ratio = counted / static_cast<double>(nanosEnd - nanosStart);
    const int64_t processor1 = timingGetProcessorTime();
    const int64_t counter = timingGetCounterTime();
    const int64_t platform = timingGetPlatformCounterTime();
    printf("fast=%d paired=%d platform=%d ratio=%.3f afterProcessor=%d belowPlatform=%d backwards=%d\n",
           timingGetFastTimeEnabled(), frequency == pair.frequency && frequency > 0,
           frequency == performanceFrequency(), ratio, counter >= processor1, counter <= platform,
           backwardsAcrossThreads());
    return 0;
}

struct Report {
    int fast = -1, paired = -1, platform = -1, afterProcessor = -1, belowPlatform = -1, backwards = -1;
    double ratio = 0;
};

Report run(const char *scenario) {
    ChildResult result = runScenario(scenario);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    Report r;
    EXPECT_EQ(sscanf(result.out.c_str(),
                     "fast=%d paired=%d platform=%d ratio=%lf afterProcessor=%d belowPlatform=%d backwards=%d",
                     &r.fast, &r.paired, &r.platform, &r.ratio, &r.afterProcessor, &r.belowPlatform, &r.backwards),
              7)
        << result.out << result.err;
    return r;
}

} // namespace

CHILD_SCENARIO(clock_on_an_allowed_processor) { return reportClock(nehalem().decode()); }
CHILD_SCENARIO(clock_on_a_refused_processor) { return reportClock(harpertown().decode()); }

TEST(TimingBranches, FastTimeCountsTheTimeStampCounterAtItsMeasuredRate) {
    Report r = run("clock_on_an_allowed_processor");
    EXPECT_EQ(r.fast, 1);
    EXPECT_EQ(r.paired, 1);
    EXPECT_EQ(r.afterProcessor, 1) << "the counter is the time-stamp counter";
    // A pair with the wrong frequency is off by orders of magnitude; scheduling only by a little.
    EXPECT_GT(r.ratio, 0.5);
    EXPECT_LT(r.ratio, 2.0);
    EXPECT_EQ(r.backwards, 0);
}

TEST(TimingBranches, WithoutFastTimeTheCounterIsThePlatformCounter) {
    Report r = run("clock_on_a_refused_processor");
    EXPECT_EQ(r.fast, 0);
    EXPECT_EQ(r.paired, 1);
    EXPECT_EQ(r.platform, 1);
    EXPECT_EQ(r.belowPlatform, 1);
    EXPECT_GT(r.ratio, 0.5);
    EXPECT_LT(r.ratio, 2.0);
    EXPECT_EQ(r.backwards, 0);
}
