// The clock behind the timing exports: its state, the readings it is built from, and the
// decisions taken on them. The readings come through a table so that any machine can be fed in.
#ifndef OSAL_TIMING_CLOCK_H
#define OSAL_TIMING_CLOCK_H

#include <atomic>

#include "osal/rwlock.h"
#include "osal/timing.h"

namespace timing {

struct TimeSource {
    void *context;
    int64_t (*timeStampCounter)(void *context);
    int64_t (*performanceCounter)(void *context);
    // Ticks per second; 0 when the platform has no such counter.
    int64_t (*performanceFrequency)(void *context);
    // The "~MHz" value of the first processor; 0 when it is missing.
    uint32_t (*registryMegahertz)(void *context);
    // Raises the calling thread to the highest priority; the result goes to restorePriority.
    int (*raisePriority)(void *context);
    void (*restorePriority)(void *context, int saved);
    // Whether a hypervisor runs; when one does, *version names it.
    bool (*hypervisor)(void *context, const char **version);
};

struct RegisteredPair {
    int64_t *frequency;
    double *nanosPerTick;
};

struct Clock {
    explicit constexpr Clock(const TimeSource *readings) : source(readings) {}

    const TimeSource *source;
    bool started = false;
    bool decided = false;
    bool fastTime = false;
    bool registryTried = false;
    bool hasReference = false;
    int64_t platformBase = 0;
    int64_t platformFrequency = 0;
    double platformNanosPerTick = 0.0;
    int64_t counterFrequency = 0;
    double fastNanosPerTick = 0.0;
    double fastFrequency = 0.0;
    // Learnt on first use, from any thread.
    std::atomic<int64_t> processorFrequency{0};
    // A platform nanosecond time and the time-stamp counter at the same moment.
    int64_t referenceNanos = 0;
    int64_t referenceTsc = 0;
    RwLock pairsLock = 0;
    int registeredPairs = 0;
    RegisteredPair pairs[MAX_EXPORTED_TIMER_COUNTERS] = {};
};

static_assert(std::atomic<int64_t>::is_always_lock_free);

constexpr int64_t measureSpinTicks = 500000;
constexpr double sameFrequencyWithin = 50e6;
constexpr double lowestFastFrequency = 1e9;
constexpr double correctAboveSecondsPerDay = 120.0;

// Whether the identified processor may use its time-stamp counter as the clock.
bool fastTimeAllowed();

// Takes the platform base and picks the counter; runs once per clock.
void start(Clock &clock);
int64_t platformCounterTime(const Clock &clock);
int64_t platformNanos(const Clock &clock);
int64_t counterTime(const Clock &clock);
// The time-stamp counter's ticks per second against the platform counter; 0 when it can't be told.
double measureFastFrequency(Clock &clock);
int64_t processorFrequency(Clock &clock);
struct Sample {
    int64_t nanos;
    int64_t tsc;
};

// A platform nanosecond time and the time-stamp counter at the same moment.
Sample takeSample(Clock &clock);
void takeReference(Clock &clock);
// Whether the time-stamp counter kept time with the platform since the reference sample.
bool driftTest(Clock &clock, int64_t maxDriftNanosPerDay);
int updateFrequency(Clock &clock, bool enable, bool force, int64_t maxDriftNanosPerDay);

// Recomputes the nanoseconds per tick from the counter frequency and rewrites every pair.
void publishFrequency(Clock &clock);
int64_t registerPair(Clock &clock, int64_t *frequency, double *nanosPerTick);

} // namespace timing

#endif
