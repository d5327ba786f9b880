// Threads, clocks and bounded waiting for the tests of the locks and wait objects.
#ifndef TESTS_OSAL_SYNC_TEST_THREADS_H
#define TESTS_OSAL_SYNC_TEST_THREADS_H

#include <windows.h>

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

// Polls until condition holds or boundMs passed; the result is the condition's last answer.
inline bool eventually(const std::function<bool()> &condition, double boundMs = 10000) {
    Millis clock;
    while (!condition()) {
        if (clock.elapsed() > boundMs)
            return condition();
        Sleep(1);
    }
    return true;
}

// A wait may end up to one timer tick (15.6 ms on Windows) early; emulated machines are slow, so
// upper bounds are generous.
constexpr double clockSlackMs = 16;
constexpr double slowMachineMs = 5000;

#endif
