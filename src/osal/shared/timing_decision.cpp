#include <math.h>

#include "osal_log.h"
#include "timing_clock.h"

namespace timing {

namespace {

constexpr int m = OSAL_LOG_TIMING;

void platformOnly(Clock &clock) {
    clock.fastTime = false;
    clock.counterFrequency = clock.platformFrequency;
}

// The support rule, a forced measurement, the lowest usable frequency and the drift test, in turn.
bool fastTimeHolds(Clock &clock, bool force, int64_t maxDriftNanosPerDay) {
    const bool allowed = fastTimeAllowed();
    if (!force && !allowed)
        return false;
    if (force) {
        if (!allowed)
            OSAL_LOG(m, OSAL_LEVEL_WARNING, "Forcing usage of fast timers and therefore clock will probably be scewed");
        // The reference comes first so that the measurement's own time lies between it and the test.
        if (!clock.hasReference)
            takeReference(clock);
        clock.fastFrequency = measureFastFrequency(clock);
        if (clock.fastFrequency == 0.0) {
            OSAL_LOG(m, OSAL_LEVEL_WARNING, "Failed to initialize fast time frequency");
            return false;
        }
    }
    if (clock.fastFrequency < lowestFastFrequency) {
        OSAL_LOG(m, OSAL_LEVEL_WARNING, "Fast time frequency is to low to be used for clock (freq is %I64dhz)",
                 static_cast<int64_t>(clock.fastFrequency));
        return false;
    }
    clock.counterFrequency = static_cast<int64_t>(clock.fastFrequency);
    clock.fastNanosPerTick = 1e9 / clock.fastFrequency;
    return driftTest(clock, maxDriftNanosPerDay);
}

} // namespace

bool driftTest(Clock &clock, int64_t maxDriftNanosPerDay) {
    if (!clock.hasReference || clock.counterFrequency <= 0)
        return false;
    const Sample now = takeSample(clock);
    const int64_t elapsedPlatform = now.nanos - clock.referenceNanos;
    const int64_t elapsedFast =
        static_cast<int64_t>(static_cast<double>(now.tsc - clock.referenceTsc) * clock.fastNanosPerTick);
    const int64_t signedDifference = elapsedFast - elapsedPlatform;
    const int64_t difference = signedDifference < 0 ? -signedDifference : signedDifference;
    OSAL_LOG(m, OSAL_LEVEL_INFO, "Fast time frequency is %I64dhz ", static_cast<int64_t>(clock.fastFrequency));
    OSAL_LOG(m, OSAL_LEVEL_DEBUG, "Diff is %I64dns (elapsed %I64d)", difference, elapsedPlatform);

    double drift;
    if (elapsedPlatform > 0)
        drift = static_cast<double>(difference) / static_cast<double>(elapsedPlatform);
    else
        drift = difference == 0 ? 0.0 : HUGE_VAL;
    const double perDay = drift * 86400.0;
    OSAL_LOG(m, OSAL_LEVEL_INFO, "Drift is %.8f = per day %.3fsecs (max %.3f)", drift, perDay,
             static_cast<double>(maxDriftNanosPerDay) / 1e9);
    if (perDay > static_cast<double>(maxDriftNanosPerDay / 1000000000)) {
        OSAL_LOG(m, OSAL_LEVEL_INFO,
                 "Fast time support disabled because day drift is higher than allowed value. (%.3fsecs/day)", perDay);
        return false;
    }

    if (processorFrequency(clock) != static_cast<int64_t>(clock.fastFrequency)) {
        OSAL_LOG(m, OSAL_LEVEL_INFO,
                 "Machine is probably using power save functionality therefore performance may be lower than expected.");
        if (perDay > correctAboveSecondsPerDay) {
            // A counter that ran ahead of the platform ticks faster than assumed, one behind slower.
            const double factor = signedDifference > 0 ? 1.0 + drift : 1.0 - drift;
            clock.counterFrequency = static_cast<int64_t>(factor * static_cast<double>(clock.counterFrequency));
            OSAL_LOG(m, OSAL_LEVEL_INFO, "Correcting frequency to %I64dhz", clock.counterFrequency);
        }
    }
    publishFrequency(clock);
    return true;
}

int updateFrequency(Clock &clock, bool enable, bool force, int64_t maxDriftNanosPerDay) {
    if (clock.decided)
        return 1;
    const char *hypervisor = nullptr;
    if (!enable) {
        platformOnly(clock);
    } else if (clock.source->hypervisor(clock.source->context, &hypervisor)) {
        platformOnly(clock);
        OSAL_LOG(m, OSAL_LEVEL_INFO, "Fast time disabled due to running hypervisor %s",
                 hypervisor != nullptr ? hypervisor : "");
    } else if (fastTimeHolds(clock, force, maxDriftNanosPerDay)) {
        clock.fastTime = true;
        OSAL_LOG(m, OSAL_LEVEL_INFO, "Hardware fast time enabled");
    } else {
        platformOnly(clock);
    }
    if (clock.counterFrequency == 0) {
        OSAL_LOG(m, OSAL_LEVEL_ERROR, "Failed to initialize time sub-system");
        return 1;
    }
    publishFrequency(clock);
    OSAL_LOG(m, OSAL_LEVEL_INFO, "Counter timer using resolution of %I64dMHz", clock.counterFrequency / 1000000);
    OSAL_LOG(m, OSAL_LEVEL_INFO, "System timer using resolution of %I64dMHz", clock.platformFrequency / 1000000);
    clock.decided = true;
    return 0;
}

} // namespace timing
