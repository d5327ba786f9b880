// What the performance-counter functions share: the performance-data entry points, one query
// record per figure, the locks, and the seam through which tests feed counter values.
#ifndef OSAL_PERF_INTERNAL_H
#define OSAL_PERF_INTERNAL_H

#include <windows.h>

#include <pdh.h>

#include <atomic>
#include <initializer_list>

struct PerfPdhApi {
    PDH_STATUS(WINAPI *addCounter)(PDH_HQUERY, LPCSTR, DWORD_PTR, PDH_HCOUNTER *);
    PDH_STATUS(WINAPI *openQuery)(LPCSTR, DWORD_PTR, PDH_HQUERY *);
    PDH_STATUS(WINAPI *closeQuery)(PDH_HQUERY);
    PDH_STATUS(WINAPI *collectQueryData)(PDH_HQUERY);
    PDH_STATUS(WINAPI *getFormattedCounterValue)(PDH_HCOUNTER, DWORD, LPDWORD, PPDH_FMT_COUNTERVALUE);
    PDH_STATUS(WINAPI *enumObjectItems)(LPCSTR, LPCSTR, LPCSTR, LPSTR, LPDWORD, LPSTR, LPDWORD, DWORD, DWORD);
    PDH_STATUS(WINAPI *removeCounter)(PDH_HCOUNTER);
    PDH_STATUS(WINAPI *lookupPerfNameByIndex)(LPCSTR, DWORD, LPSTR, LPDWORD);
    PDH_STATUS(WINAPI *makeCounterPath)(PPDH_COUNTER_PATH_ELEMENTS_A, LPSTR, LPDWORD, DWORD);
};

// The counters of one figure and when their data was last collected (runtime clock ticks).
struct PerfQuery {
    PDH_HQUERY query;
    PDH_HCOUNTER *counters; // one, or one per instance
    int count;
    long lastCollection;
    bool collected;
    std::atomic<bool> ready; // set once the record is complete, read without a lock
};

struct PerfState {
    PerfPdhApi pdh;
    HMODULE library;
    bool bound;
    bool initialised;
    int processors;
    PerfQuery virtualSize;
    PerfQuery processorLoad;
    PerfQuery processLoad;
    PerfQuery processSystemLoad;
    PerfQuery contextSwitches;
    double lastSwitchRate;
    bool processPathMade;
    char processPath[600]; // "\object(instance#n)"
};

extern PerfState perfState;
extern CRITICAL_SECTION perfPathLock; // guards the process instance path
extern CRITICAL_SECTION perfInitLock; // makes perfInit run once

enum PerfReadResult { PERF_READ_OK = 0, PERF_COLLECT_FAILED = -1, PERF_FORMAT_FAILED = -2 };

long perfClock(void);
// Collects again when the data is older than 500 ticks, then formats counter index of q.
int perfRead(PerfQuery &q, int index, DWORD format, PDH_FMT_COUNTERVALUE *value);

// Tests: use these entry points instead of the library's and this clock (null: the real ones).
// Set before perfInit; perfResetForTesting forgets every counter set up so far.
void perfUseForTesting(const PerfPdhApi *api, long (*clock)(void));
void perfResetForTesting(void);

#endif
