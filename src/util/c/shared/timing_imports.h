// The OS layer's clock, as far as this library reads it.
#ifndef SARNIK_TIMING_IMPORTS_H
#define SARNIK_TIMING_IMPORTS_H

#include <stdint.h>

extern "C" {

// Local time as "Wed Jan 02 02:03:55 1980" into at least 30 bytes; 0 when there is no such text.
int timingFormatCurrentTime(char *buffer);
int64_t timingGetCurrentTimeMillis(void);
int64_t timingGetCurrentTimeNanos(void);
// Registers a pair that the OS layer keeps current; returns the counter frequency.
int64_t _timing_get_vars(int64_t *frequency, double *nanosPerTick);
}

#endif
