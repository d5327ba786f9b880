// Cost of the OS layer's mutex and read-write lock against the platform's critical section and
// slim reader-writer lock, on one thread and with several threads contending, in one run.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "osal/sync.h"

namespace {

constexpr int runs = 5;
constexpr int contenders = 4;
constexpr int uncontendedPairs = 4000000;
constexpr int contendedPairsEach = 400000;

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool countsWrong = false;

void checkCount(const char *name, long long counted, long long expected) {
    if (counted != expected) {
        printf("%s: counted %s of %s: the lock let threads in together\n", name, std::to_string(counted).c_str(),
               std::to_string(expected).c_str());
        countsWrong = true;
    }
}

struct Locks {
    OsMutex mutex;
    CRITICAL_SECTION section;
    SRWLOCK srw = SRWLOCK_INIT;
    RwLock rw = 0;
};

// How the benchmark takes and releases one lock, on one side.
template <typename Take, typename Release> struct Pair {
    Take take;
    Release release;
};
template <typename Take, typename Release> Pair<Take, Release> pair(Take take, Release release) {
    return {take, release};
}

// Nanoseconds per pair, best of a few runs; the guarded counter proves the lock excluded.
template <typename P> double alone(const char *name, P lock) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        volatile long long counter = 0;
        double start = seconds();
        for (int index = 0; index < uncontendedPairs; ++index) {
            lock.take();
            counter = counter + 1;
            lock.release();
        }
        best = std::min(best, (seconds() - start) * 1e9 / uncontendedPairs);
        checkCount(name, counter, uncontendedPairs);
    }
    return best;
}

// Nanoseconds of wall time per pair with every thread taking the lock in a tight loop; with
// writeEvery above 0 one pair in writeEvery takes the write side and the rest the read side.
template <typename W, typename R> double together(const char *name, W write, R read, int writeEvery) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        volatile long long counter = 0;
        std::atomic<long long> reads{0};
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int thread = 0; thread < contenders; ++thread) {
            threads.emplace_back([&] {
                ++ready;
                while (!go.load())
                    SwitchToThread();
                long long myReads = 0;
                for (int index = 0; index < contendedPairsEach; ++index) {
                    if (writeEvery == 0 || index % writeEvery == 0) {
                        write.take();
                        counter = counter + 1;
                        write.release();
                    } else {
                        read.take();
                        myReads += counter >= 0;
                        read.release();
                    }
                }
                reads += myReads;
            });
        }
        while (ready.load() < contenders)
            SwitchToThread();
        double start = seconds();
        go = true;
        for (auto &thread : threads)
            thread.join();
        best = std::min(best, (seconds() - start) * 1e9 / (contenders * contendedPairsEach));
        checkCount(name, counter + reads.load(), 1LL * contenders * contendedPairsEach);
    }
    return best;
}

void report(const char *ours, double oursNs, const char *baseline, double baselineNs) {
    printf("  %-28s %8.1f   %-26s %8.1f   %6.2f\n", ours, oursNs, baseline, baselineNs, oursNs / baselineNs);
}

} // namespace

int main() {
    static Locks locks;
    if (!osMutexInit(&locks.mutex))
        return 2;
    InitializeCriticalSection(&locks.section);

    auto mutex = pair([] { osMutexLock(&locks.mutex); }, [] { osMutexUnlock(&locks.mutex); });
    auto section = pair([] { EnterCriticalSection(&locks.section); }, [] { LeaveCriticalSection(&locks.section); });
    auto srwExclusive = pair([] { AcquireSRWLockExclusive(&locks.srw); }, [] { ReleaseSRWLockExclusive(&locks.srw); });
    auto srwShared = pair([] { AcquireSRWLockShared(&locks.srw); }, [] { ReleaseSRWLockShared(&locks.srw); });
    auto rwWrite = pair([] { rwWriteLock(&locks.rw); }, [] { rwWriteUnlock(&locks.rw); });
    auto rwRead = pair([] { rwReadLock(&locks.rw); }, [] { rwReadUnlock(&locks.rw); });

    printf("Locks: ns per take-and-release pair (best of %d runs); ratio = ours / baseline, lower is better\n",
           runs);
    printf("  %-28s %8s   %-26s %8s   %6s\n", "ours", "ns", "baseline", "ns", "ratio");

    printf("Uncontended, one thread, %d pairs\n", uncontendedPairs);
    double sectionAlone = alone("critical section", section);
    double srwExclusiveAlone = alone("SRW exclusive", srwExclusive);
    double srwSharedAlone = alone("SRW shared", srwShared);
    double mutexAlone = alone("osMutex", mutex);
    report("osMutex", mutexAlone, "critical section", sectionAlone);
    report("osMutex", mutexAlone, "SRW exclusive", srwExclusiveAlone);
    double writeAlone = alone("RwLock write", rwWrite);
    report("RwLock write", writeAlone, "critical section", sectionAlone);
    report("RwLock write", writeAlone, "SRW exclusive", srwExclusiveAlone);
    report("RwLock read", alone("RwLock read", rwRead), "SRW shared", srwSharedAlone);

    printf("Contended, %d threads, %d pairs each\n", contenders, contendedPairsEach);
    double sectionTogether = together("critical section", section, section, 0);
    double srwExclusiveTogether = together("SRW exclusive", srwExclusive, srwExclusive, 0);
    double mutexTogether = together("osMutex", mutex, mutex, 0);
    report("osMutex", mutexTogether, "critical section", sectionTogether);
    report("osMutex", mutexTogether, "SRW exclusive", srwExclusiveTogether);
    double writeTogether = together("RwLock write", rwWrite, rwWrite, 0);
    report("RwLock write", writeTogether, "critical section", sectionTogether);
    report("RwLock write", writeTogether, "SRW exclusive", srwExclusiveTogether);
    // Readers only: the write side is taken once per thread so the count still checks out.
    report("RwLock read", together("RwLock read", rwWrite, rwRead, contendedPairsEach), "SRW shared",
           together("SRW shared", srwExclusive, srwShared, contendedPairsEach));
    report("RwLock 1 write in 8", together("RwLock mixed", rwWrite, rwRead, 8), "SRW 1 exclusive in 8",
           together("SRW mixed", srwExclusive, srwShared, 8));

    DeleteCriticalSection(&locks.section);
    osMutexDestroy(&locks.mutex);
    return countsWrong ? 1 : 0;
}
