// The runtime's clock: a high-resolution counter (the processor's time-stamp counter when fast
// time is on, else the platform's performance counter), nanoseconds, milliseconds and local time
// texts, and the frequency pairs that other libraries register to convert counter ticks.
#ifndef OSAL_TIMING_H
#define OSAL_TIMING_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// How many frequency pairs can be registered with _timing_get_vars.
#define MAX_EXPORTED_TIMER_COUNTERS 16

// A caller's copy of the counter frequency; its storage must live as long as the process.
typedef struct TimerVars {
    int64_t frequency;    // ticks per second of timingGetCounterTime
    double nanosPerTick;
} TimerVars;

// Ticks of the counter: the time-stamp counter with fast time on, else timingGetPlatformCounterTime.
int64_t timingGetCounterTime(void);
// The processor's time-stamp counter.
int64_t timingGetProcessorTime(void);
// The performance counter since the library started.
int64_t timingGetPlatformCounterTime(void);
int64_t timingGetCounterFreqPlatform(void);
int timingGetFastTimeEnabled(void);
// Nanoseconds since the library started, always from the performance counter.
int64_t timingGetCurrentTimeNanos(void);
// Milliseconds since 1970-01-01 00:00 UTC.
int64_t timingGetCurrentTimeMillis(void);
// Writes the local time of *seconds (since 1970) as "Wed Jan 02 02:03:55 1980" into a buffer of
// at least 30 bytes; 1 on success, 0 when the time has no such text or an argument is null.
int timingFormatTime(const int64_t *seconds, char *buffer);
int timingFormatCurrentTime(char *buffer);
// In Hz; 0 when it can't be learnt.
int64_t timingGetProcessorFrequency(void);
// Always 1; *supported tells whether this processor may use fast time at all.
int timingFastTimeSupport(int *supported);
// Decides once whether the counter is the time-stamp counter; maxDrift is in nanoseconds per day.
// 0 after deciding; 1 when already decided or no counter works.
int timingUpdateFrequency(int enable, int force, int64_t maxDrift);
// Registers the pair, fills it and keeps it current; returns the counter frequency, or 0 when
// the pair can't be registered (a null pointer, or the table is full).
int64_t _timing_get_vars(int64_t *frequency, double *nanosPerTick);

OSAL_END_DECLS

#endif
