#include "../../shared/osal_log.h"
#include "osal/perf.h"
#include "perf_internal.h"

namespace {

// A format failure this soon after a collection still leaves the last rate good to report.
constexpr long rateGrace = 600;

double clamp01(double value) { return value < 0 ? 0 : value > 1 ? 1 : value; }

// The figure's counter as a double, or false when it is not set up or can't be read.
bool readDouble(PerfQuery &q, int index, DWORD format, double *value) {
    if (!q.ready.load(std::memory_order_acquire) || index < 0 || index >= q.count)
        return false;
    PDH_FMT_COUNTERVALUE counter;
    if (perfRead(q, index, format, &counter) != PERF_READ_OK)
        return false;
    *value = counter.doubleValue;
    return true;
}

// Process figures may pass 100 per processor, so they are read without the cap.
double processShare(PerfQuery &q) {
    double value;
    if (perfState.processors <= 0 || !readDouble(q, 0, PDH_FMT_DOUBLE | PDH_FMT_NOCAP100, &value))
        return 0;
    return clamp01(value / (perfState.processors * 100.0));
}

} // namespace

double perfGetCPULoad(int processor) {
    PerfQuery &q = perfState.processorLoad;
    int index = processor == -1 ? q.count - 1 : processor;
    double value;
    if (!readDouble(q, index, PDH_FMT_DOUBLE, &value))
        return 0;
    return clamp01(value / 100.0);
}

double perfGetProcessLoad(void) { return processShare(perfState.processLoad); }

double perfGetProcessLoad2(double *userLoad, double *systemLoad) {
    double system = processShare(perfState.processSystemLoad);
    double user = clamp01(perfGetProcessLoad() - system);
    double machine = perfGetCPULoad(-1);
    if (user + system > machine)
        machine = user + system;
    if (userLoad != nullptr)
        *userLoad = user;
    if (systemLoad != nullptr)
        *systemLoad = system;
    return machine > 1 ? 1 : machine;
}

int perfGetContextSwitchRate(double *rate) {
    PerfQuery &q = perfState.contextSwitches;
    if (rate != nullptr && q.ready.load(std::memory_order_acquire)) {
        PDH_FMT_COUNTERVALUE counter;
        int read = perfRead(q, 0, PDH_FMT_DOUBLE, &counter);
        if (read == PERF_READ_OK) {
            perfState.lastSwitchRate = counter.doubleValue;
            *rate = counter.doubleValue;
            return 0;
        }
        long since = perfClock() - q.lastCollection;
        if (read == PERF_FORMAT_FAILED && since >= 0 && since < rateGrace) {
            *rate = perfState.lastSwitchRate;
            return 0;
        }
    }
    OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_INFO, "Context Switch Counter failed");
    return 1;
}

double perfGetLoadAverage(void) { return -1; }

int perfGetOSThreadCPUTime(int threadId, int64_t *userTime, int64_t *systemTime) {
    HANDLE thread = GetCurrentThread();
    if (threadId != 0) {
        thread = OpenThread(THREAD_ALL_ACCESS, FALSE, static_cast<DWORD>(threadId));
        if (thread == nullptr)
            return OSAL_ERR;
    }
    FILETIME created, exited, kernel, user;
    BOOL read = GetThreadTimes(thread, &created, &exited, &kernel, &user);
    if (threadId != 0)
        CloseHandle(thread);
    if (!read)
        return OSAL_ERR;
    auto nanoseconds = [](const FILETIME &t) {
        return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100;
    };
    if (userTime != nullptr)
        *userTime = nanoseconds(user);
    if (systemTime != nullptr)
        *systemTime = nanoseconds(kernel);
    return OSAL_OK;
}
