// Cost of reading the OS layer's counters against a raw performance-counter call, in one run.
#include <windows.h>

#include <stdio.h>

#include <algorithm>

#include "osal/timing.h"

namespace {

constexpr int runs = 5;
constexpr int readings = 200000;

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int64_t rawPerformanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Nanoseconds per reading, best of a few runs; the sum keeps the readings from being dropped.
template <typename Read> double cost(Read read) {
    double best = 1e30;
    volatile int64_t sink = 0;
    for (int run = 0; run < runs; ++run) {
        int64_t sum = 0;
        double start = seconds();
        for (int index = 0; index < readings; ++index)
            sum += read();
        best = std::min(best, (seconds() - start) * 1e9 / readings);
        sink = sink + sum;
    }
    return best;
}

} // namespace

int main() {
    const double raw = cost(rawPerformanceCounter);
    const double counter = cost(timingGetCounterTime);
    const double fast = cost(timingGetProcessorTime);
    const double nanos = cost(timingGetCurrentTimeNanos);
    printf("fast time is %s; ns per reading and ratio against QueryPerformanceCounter (%.1f ns)\n",
           timingGetFastTimeEnabled() ? "on" : "off", raw);
    printf("  %-28s %8.1f   %6.2f\n", "timingGetCounterTime", counter, counter / raw);
    printf("  %-28s %8.1f   %6.2f\n", "timingGetProcessorTime", fast, fast / raw);
    printf("  %-28s %8.1f   %6.2f\n", "timingGetCurrentTimeNanos", nanos, nanos / raw);
    return 0;
}
