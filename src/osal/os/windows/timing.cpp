#include "osal/timing.h"

#include <windows.h>
#include <x86intrin.h>

#include "../../shared/startup.h"
#include "cpu_info.h"
#include "osal/osal_assert.h"
#include "timing_platform.h"

namespace {

// 1970-01-01 00:00 UTC as a file time.
constexpr int64_t unixEpochFileTime = 116444736000000000LL;

// Held while the processor frequency is learnt or the counter decided: one thread measures.
constinit RwLock measuringLock = 0;

int64_t platformCounterTime() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart - processClock.platformBase;
}

} // namespace

int64_t timingGetCounterTime(void) {
    ensureProcessClock();
    if (processClock.fastTime) {
        // The time-stamp counter is read out of order; the fence keeps it after the caller's earlier
        // loads, so a time read after seeing another thread's time is never older than that one.
        asm volatile("lfence" ::: "memory"); // fast time implies SSE2
        return static_cast<int64_t>(__rdtsc());
    }
    return platformCounterTime();
}

int64_t timingGetProcessorTime(void) { return static_cast<int64_t>(__rdtsc()); }

int64_t timingGetPlatformCounterTime(void) {
    ensureProcessClock();
    return platformCounterTime();
}

int64_t timingGetCounterFreqPlatform(void) {
    ensureProcessClock();
    return processClock.platformFrequency;
}

int timingGetFastTimeEnabled(void) {
    ensureProcessClock();
    return processClock.fastTime ? 1 : 0;
}

int64_t timingGetCurrentTimeNanos(void) {
    ensureProcessClock();
    return static_cast<int64_t>(static_cast<double>(platformCounterTime()) * processClock.platformNanosPerTick);
}

int64_t timingGetCurrentTimeMillis(void) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    return (static_cast<int64_t>(value.QuadPart) - unixEpochFileTime) / 10000;
}

int64_t timingGetProcessorFrequency(void) {
    ensureProcessClock();
    int64_t known = processClock.processorFrequency.load();
    if (known > 0)
        return known;
    rwWriteLock(&measuringLock);
    known = timing::processorFrequency(processClock);
    rwWriteUnlock(&measuringLock);
    return known;
}

int timingFastTimeSupport(int *supported) {
    cpuIdentify();
    if (supported != nullptr)
        *supported = timing::fastTimeAllowed() ? 1 : 0;
    return 1;
}

int timingUpdateFrequency(int enable, int force, int64_t maxDrift) {
    ensureProcessClock();
    rwWriteLock(&measuringLock);
    int result = timing::updateFrequency(processClock, enable != 0, force != 0, maxDrift);
    rwWriteUnlock(&measuringLock);
    return result;
}

int64_t _timing_get_vars(int64_t *frequency, double *nanosPerTick) {
    cpuIdentify();
    if (timingInit() != OSAL_OK)
        assertReport("timingInit() == OSAL_OK", __FILE__, __LINE__, "_timing_get_vars", nullptr);
    return timing::registerPair(processClock, frequency, nanosPerTick);
}
