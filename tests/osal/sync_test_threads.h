// Threads, clocks and bounded waiting for the tests of the locks and wait objects.
#ifndef TESTS_OSAL_SYNC_TEST_THREADS_H
#define TESTS_OSAL_SYNC_TEST_THREADS_H

#include <windows.h>

#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

// Milliseconds since construction, on a clock that never goes back.
class Millis {
public:
    Millis() { QueryPerformanceCounter(&start_); }
    double elapsed() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};

// Runs body(index) on count threads that start together and waits for all of them.
inline void runTogether(int count, const std::function<void(int)> &body) {
    volatile LONG ready = 0;
    std::vector<std::thread> threads;
    for (int index = 0; index < count; ++index) {
        threads.emplace_back([&, index] {
            InterlockedIncrement(&ready);
            while (ready < count)
                SwitchToThread();
            body(index);
        });
    }
    for (auto &thread : threads)
        thread.join();
}

// A wait may end up to one timer tick (15.6 ms on Windows) early.
constexpr double clockSlackMs = 16;
// Upper bounds only tell a wait that ran out from one that did not end when it should (a lost or
// cut timeout), and bound waits for what must come: far beyond any machine's slowness, never a
// measure of speed.
constexpr double hangBoundMs = 120000;

// Polls until condition holds or boundMs passed; the result is the condition's last answer. A
// bound that runs out says so.
inline bool eventually(const std::function<bool()> &condition, double boundMs = hangBoundMs) {
    Millis clock;
    while (!condition()) {
        if (clock.elapsed() > boundMs) {
            std::fprintf(stderr, "eventually: gave up after %.0f ms of waiting\n", boundMs);
            return condition();
        }
        Sleep(1);
    }
    return true;
}

#endif
