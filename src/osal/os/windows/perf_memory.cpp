#include "perf_internal.h"

#include <psapi.h>

#include "../../shared/osal_log.h"
#include "osal/perf.h"
#include "osal/sharedlib.h"

namespace {

using MemoryInfoFn = BOOL(WINAPI *)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);

constinit std::atomic<MemoryInfoFn> memoryInfo{nullptr};
constinit bool memoryInfoTried = false;

// The process-status library is looked for once.
MemoryInfoFn memoryInfoEntry() {
    if (MemoryInfoFn entry = memoryInfo.load(std::memory_order_acquire))
        return entry;
    EnterCriticalSection(&perfInitLock);
    if (!memoryInfoTried) {
        memoryInfoTried = true;
        char error[256];
        void *library = sharedlibSystemLoad("psapi.dll", error, sizeof error);
        if (library == nullptr) {
            OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, "Could not find psapi.dll (%d)",
                     static_cast<int>(GetLastError()));
        } else if (void *entry = sharedlibFindEntry(library, "GetProcessMemoryInfo")) {
            memoryInfo.store(reinterpret_cast<MemoryInfoFn>(entry), std::memory_order_release);
        } else {
            OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, "Could not find function GetProcessMemoryInfo");
            sharedlibUnload(library);
        }
    }
    LeaveCriticalSection(&perfInitLock);
    return memoryInfo.load(std::memory_order_acquire);
}

} // namespace

int perfGetMemInfo(int64_t *virtualBytes, int64_t *physicalBytes, int64_t *pageFaults) {
    int result = OSAL_OK;
    if (virtualBytes != nullptr) {
        *virtualBytes = 0;
        PerfQuery &q = perfState.virtualSize;
        PDH_FMT_COUNTERVALUE value;
        if (q.ready.load(std::memory_order_acquire) && perfRead(q, 0, PDH_FMT_LARGE, &value) == PERF_READ_OK)
            *virtualBytes = value.largeValue;
        else
            result = OSAL_ERR;
    }
    if (physicalBytes == nullptr && pageFaults == nullptr)
        return result;
    if (physicalBytes != nullptr)
        *physicalBytes = 0;
    if (pageFaults != nullptr)
        *pageFaults = 0;
    MemoryInfoFn read = memoryInfoEntry();
    PROCESS_MEMORY_COUNTERS counters;
    if (read == nullptr)
        return OSAL_ERR;
    if (!read(GetCurrentProcess(), &counters, sizeof counters)) {
        OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_INFO, "Could not read memory info");
        return OSAL_ERR;
    }
    if (physicalBytes != nullptr)
        *physicalBytes = static_cast<int64_t>(counters.WorkingSetSize);
    if (pageFaults != nullptr)
        *pageFaults = counters.PageFaultCount;
    return result;
}

int64_t perfGetVirtualBytesUsed(void) {
    int64_t bytes = 0;
    perfGetMemInfo(&bytes, nullptr, nullptr);
    return bytes;
}

int64_t perfGetPhysicalBytesUsed(void) {
    int64_t bytes = 0;
    perfGetMemInfo(nullptr, &bytes, nullptr);
    return bytes;
}

int64_t perfGetNumberOfPageFaults(void) {
    int64_t faults = 0;
    perfGetMemInfo(nullptr, nullptr, &faults);
    return faults;
}
