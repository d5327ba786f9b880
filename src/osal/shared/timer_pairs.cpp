#include "osal/osal_assert.h"
#include "timing_clock.h"

namespace timing {

namespace {

void fill(const Clock &clock, const RegisteredPair &pair) {
    *pair.frequency = clock.counterFrequency;
    *pair.nanosPerTick = clock.fastNanosPerTick;
}

} // namespace

// The lock keeps a pair that registers while the frequency changes from missing the change.
void publishFrequency(Clock &clock) {
    rwWriteLock(&clock.pairsLock);
    clock.fastNanosPerTick =
        clock.counterFrequency > 0 ? 1e9 / static_cast<double>(clock.counterFrequency) : 0.0;
    for (int index = 0; index < clock.registeredPairs; ++index)
        fill(clock, clock.pairs[index]);
    rwWriteUnlock(&clock.pairsLock);
}

int64_t registerPair(Clock &clock, int64_t *frequency, double *nanosPerTick) {
    if (frequency == nullptr || nanosPerTick == nullptr)
        return 0;
    rwWriteLock(&clock.pairsLock);
    if (clock.registeredPairs >= MAX_EXPORTED_TIMER_COUNTERS) {
        rwWriteUnlock(&clock.pairsLock);
        // A hook that carries on gets a refusal; the table stays as it was.
        assertReport("exportedCurrent < MAX_EXPORTED_TIMER_COUNTERS", __FILE__, __LINE__, "_timing_get_vars",
                     nullptr);
        return 0;
    }
    RegisteredPair &pair = clock.pairs[clock.registeredPairs++];
    pair = {frequency, nanosPerTick};
    fill(clock, pair);
    const int64_t counterFrequency = clock.counterFrequency;
    rwWriteUnlock(&clock.pairsLock);
    return counterFrequency;
}

} // namespace timing
