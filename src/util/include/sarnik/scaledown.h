// Sizes and times reduced to a short number and a unit for messages.
#ifndef SARNIK_SCALEDOWN_H
#define SARNIK_SCALEDOWN_H

#include <stddef.h>
#include <stdint.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

// Divided by the largest of 2^30, 2^20, 2^10 that divides the value exactly: "G", "M", "K" or "".
uint64_t scaledownU8(uint64_t value);
const char *scaledDownU8Suffix(uint64_t value);
size_t scaledownSize(size_t value);
const char *scaledDownSizeSuffix(size_t value);
// value / divisor, halves rounded up; a divisor of 0 gives 0.
size_t scaledownSizeFixed(size_t value, size_t divisor);

// Divided by the largest of 10^9, 10^6, 10^3 that divides the value exactly: "s", "ms", "us" or
// "ns". Zero is 0 "s"; a negative value stays as it is with "ns".
int64_t scaledownNanotime(int64_t value);
const char *scaledDownNanotimeSuffix(int64_t value);

SARNIK_END_DECLS

#endif
