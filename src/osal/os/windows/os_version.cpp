#include <windows.h>

#include <string.h>

#include "../../shared/os_version.h"
#include "osal/os_info.h"

namespace {

using IsWow64ProcessFunction = BOOL(WINAPI *)(HANDLE, PBOOL);
using GetNativeSystemInfoFunction = void(WINAPI *)(LPSYSTEM_INFO);
using GetSystemMetricsFunction = int(WINAPI *)(int);

constexpr int metricServerR2 = 89;

bool runsUnderWow64() {
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    auto isWow64 =
        kernel ? reinterpret_cast<IsWow64ProcessFunction>(GetProcAddress(kernel, "IsWow64Process")) : nullptr;
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

uint16_t nativeArchitecture() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto getInfo = kernel ? reinterpret_cast<GetNativeSystemInfoFunction>(GetProcAddress(kernel, "GetNativeSystemInfo"))
                          : nullptr;
    SYSTEM_INFO info;
    memset(&info, 0, sizeof info);
    if (getInfo != nullptr)
        getInfo(&info);
    return info.wProcessorArchitecture;
}

// Only 5.2 asks; the window library is not worth loading for anything else.
int serverR2Metric() {
    HMODULE user = LoadLibraryA("user32.dll");
    if (user == nullptr)
        return 0;
    auto metric = reinterpret_cast<GetSystemMetricsFunction>(GetProcAddress(user, "GetSystemMetrics"));
    int value = metric != nullptr ? metric(metricServerR2) : 0;
    FreeLibrary(user);
    return value;
}

} // namespace

void osReadVersionFacts(OsVersionFacts *facts) {
    memset(facts, 0, sizeof *facts);
    facts->wow64 = runsUnderWow64();
    OSVERSIONINFOEXA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&version))) {
        memset(&version, 0, sizeof version);
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&version)))
            return;
    }
    facts->known = true;
    facts->platform = version.dwPlatformId;
    facts->major = version.dwMajorVersion;
    facts->minor = version.dwMinorVersion;
    facts->build = version.dwBuildNumber;
    static_assert(sizeof facts->servicePack == sizeof version.szCSDVersion);
    memcpy(facts->servicePack, version.szCSDVersion, sizeof facts->servicePack);
    facts->servicePack[sizeof facts->servicePack - 1] = '\0';
    facts->productType = version.wProductType;
    facts->nativeArchitecture = nativeArchitecture();
    if (facts->major == 5 && facts->minor == 2)
        facts->serverR2 = serverR2Metric();
}

int osGetVersionString(char *buffer, int size) {
    OsVersionFacts facts;
    osReadVersionFacts(&facts);
    osFormatVersion(&facts, buffer, size);
    return 0;
}
