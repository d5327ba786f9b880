// The process's clock, read from this machine's counters.
#ifndef OSAL_TIMING_PLATFORM_H
#define OSAL_TIMING_PLATFORM_H

#include "timing_clock.h"

extern constinit timing::Clock processClock;

// Exports may be called by another library's start-up before this one's: start the clock then.
void startProcessClock();

inline void ensureProcessClock() {
    if (!processClock.started) [[unlikely]]
        startProcessClock();
}

#endif
