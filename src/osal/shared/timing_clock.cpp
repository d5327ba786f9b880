#include "timing_clock.h"

#include <math.h>

#include "osal/cpu.h"

namespace timing {

namespace {

class HighestPriority {
public:
    explicit HighestPriority(const TimeSource &source) : source_(source), saved_(source.raisePriority(source.context)) {}
    ~HighestPriority() { source_.restorePriority(source_.context, saved_); }
    HighestPriority(const HighestPriority &) = delete;
    HighestPriority &operator=(const HighestPriority &) = delete;

private:
    const TimeSource &source_;
    int saved_;
};

int64_t tsc(const Clock &clock) { return clock.source->timeStampCounter(clock.source->context); }
int64_t platformCounter(const Clock &clock) { return clock.source->performanceCounter(clock.source->context); }

} // namespace

bool fastTimeAllowed() {
    if (cpuIsHarpertown())
        return false;
    return (cpuHasCoreArch() && cpuGetSockets() <= 4) || (cpuHasInvariantTSC() && !cpuIsAMD11H());
}

int64_t platformCounterTime(const Clock &clock) { return platformCounter(clock) - clock.platformBase; }

int64_t platformNanos(const Clock &clock) {
    return static_cast<int64_t>(static_cast<double>(platformCounterTime(clock)) * clock.platformNanosPerTick);
}

int64_t counterTime(const Clock &clock) { return clock.fastTime ? tsc(clock) : platformCounterTime(clock); }

void start(Clock &clock) {
    if (clock.started)
        return;
    const TimeSource &source = *clock.source;
    clock.platformBase = source.performanceCounter(source.context);
    clock.platformFrequency = source.performanceFrequency(source.context);
    clock.platformNanosPerTick = clock.platformFrequency > 0 ? 1e9 / static_cast<double>(clock.platformFrequency) : 0.0;
    if (fastTimeAllowed()) {
        clock.fastFrequency = measureFastFrequency(clock);
        if (clock.fastFrequency >= 1.0) {
            clock.counterFrequency = static_cast<int64_t>(clock.fastFrequency);
            clock.fastTime = true;
        }
    }
    // Taken even when the rule refuses, so that forcing fast time later has a span to test.
    if (clock.platformFrequency > 0)
        takeReference(clock);
    if (clock.counterFrequency == 0) {
        clock.fastTime = false;
        clock.counterFrequency = clock.platformFrequency;
    }
    publishFrequency(clock);
    clock.started = true;
}

double measureFastFrequency(Clock &clock) {
    if (clock.platformFrequency <= 0)
        return 0.0;
    int64_t tscTicks = 0;
    int64_t platformTicks = 0;
    {
        HighestPriority priority(*clock.source);
        for (int round = 0; round < 3; ++round) {
            int64_t platformStart = platformCounter(clock);
            int64_t tscStart = tsc(clock);
            unsigned spins = 0;
            while (tsc(clock) - tscStart < measureSpinTicks) {
                // A time-stamp counter that stands still must not hold the library's load forever.
                if ((++spins & 1023) == 0 && platformCounter(clock) - platformStart > clock.platformFrequency)
                    return 0.0;
            }
            int64_t platformEnd = platformCounter(clock);
            int64_t tscEnd = tsc(clock);
            tscTicks += tscEnd - tscStart;
            platformTicks += platformEnd - platformStart;
        }
    }
    if (platformTicks <= 0 || tscTicks <= 0)
        return 0.0;
    double measured = static_cast<double>(tscTicks) / static_cast<double>(platformTicks) *
                      static_cast<double>(clock.platformFrequency);
    // The rated frequency is exact where a short measurement is not.
    int64_t rated = processorFrequency(clock);
    if (rated > 0 && fabs(measured - static_cast<double>(rated)) < sameFrequencyWithin)
        measured = static_cast<double>(rated);
    return measured;
}

int64_t processorFrequency(Clock &clock) {
    const int64_t known = clock.processorFrequency.load();
    if (known > 0)
        return known;
    if (!clock.registryTried) {
        clock.registryTried = true;
        uint32_t megahertz = clock.source->registryMegahertz(clock.source->context);
        if (megahertz != 0) {
            const int64_t rated = static_cast<int64_t>(megahertz) * 1000000;
            clock.processorFrequency.store(rated);
            return rated;
        }
    }
    // Until start-up has picked the counter its frequency is 0: time the platform counter then.
    const bool ownCounter = clock.counterFrequency > 0;
    const int64_t frequency = ownCounter ? clock.counterFrequency : clock.platformFrequency;
    if (frequency <= 0)
        return 0;
    const int64_t span = frequency >= 1000 ? frequency / 1000 : 1;
    auto now = [&] { return ownCounter ? counterTime(clock) : platformCounterTime(clock); };
    const int64_t begin = now();
    const int64_t tscBegin = tsc(clock);
    int64_t elapsed;
    while ((elapsed = now() - begin) < span) {
    }
    const int64_t ticks = tsc(clock) - tscBegin;
    // Scaled by what really elapsed: a slow counter read overshoots the millisecond.
    double hertz = static_cast<double>(ticks) * static_cast<double>(frequency) / static_cast<double>(elapsed);
    const int64_t measured = hertz > 0 ? static_cast<int64_t>(hertz) : 0;
    clock.processorFrequency.store(measured);
    return measured;
}

// Ten tries; the one whose two time-stamp readings lie closest around the platform reading wins.
Sample takeSample(Clock &clock) {
    HighestPriority priority(*clock.source);
    Sample best{0, 0};
    int64_t narrowest = INT64_MAX;
    for (int attempt = 0; attempt < 10; ++attempt) {
        int64_t before = tsc(clock);
        int64_t nanos = platformNanos(clock);
        int64_t after = tsc(clock);
        if (after - before < narrowest) {
            narrowest = after - before;
            best = {nanos, before + (after - before) / 2};
        }
    }
    return best;
}

void takeReference(Clock &clock) {
    Sample sample = takeSample(clock);
    clock.referenceNanos = sample.nanos;
    clock.referenceTsc = sample.tsc;
    clock.hasReference = true;
}

} // namespace timing
