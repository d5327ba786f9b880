// Timing of benchmark steps on the platform counter.
#ifndef BENCH_TIMER_H
#define BENCH_TIMER_H

#include <windows.h>

#include <stdio.h>

inline double secondsBetween(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds the step took; a step that fails ends the benchmark, since its figure would mean nothing.
template <typename Step> double timedStep(Step step) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = step();
    QueryPerformanceCounter(&end);
    if (!ok) {
        fprintf(stderr, "benchmark step failed (error %lu)\n", GetLastError());
        ExitProcess(2);
    }
    return secondsBetween(start, end);
}

#endif
