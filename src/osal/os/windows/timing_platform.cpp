#include "timing_platform.h"

#include <windows.h>
#include <x86intrin.h>

#include "cpu_info.h"
#include "osal/os_info.h"

namespace {

int64_t timeStampCounter(void *) { return static_cast<int64_t>(__rdtsc()); }

int64_t performanceCounter(void *) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t performanceFrequency(void *) {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency))
        return 0;
    return frequency.QuadPart;
}

uint32_t registryMegahertz(void *) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return 0;
    DWORD megahertz = 0;
    DWORD type = 0;
    DWORD size = sizeof megahertz;
    LONG result = RegQueryValueExA(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE *>(&megahertz), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof megahertz)
        return 0;
    return megahertz;
}

int raisePriority(void *) {
    HANDLE thread = GetCurrentThread();
    int saved = GetThreadPriority(thread);
    SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    return saved;
}

void restorePriority(void *, int saved) {
    if (saved != THREAD_PRIORITY_ERROR_RETURN)
        SetThreadPriority(GetCurrentThread(), saved);
}

bool hypervisor(void *, const char **version) {
    osDetectHypervisor();
    if (!osIsHypervisorDetected())
        return false;
    *version = osGetHypervisorVersionString();
    return true;
}

constexpr timing::TimeSource machine = {
    nullptr, timeStampCounter, performanceCounter, performanceFrequency, registryMegahertz,
    raisePriority, restorePriority, hypervisor,
};

} // namespace

constinit timing::Clock processClock(&machine);

void startProcessClock() {
    cpuIdentify();
    timing::start(processClock);
}
