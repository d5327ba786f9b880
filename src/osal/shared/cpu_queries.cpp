#include "osal/cpu.h"
#include "osal/os_info.h"

#include "cpu_info.h"

namespace {

const CpuInfo &cpu() { return *cpuState(); }

int bit(uint32_t word, int index) { return (word >> index) & 1; }

} // namespace

int cpuIsGenuineIntel(void) { return cpu().genuineIntel; }
int cpuIsAuthenticAMD(void) { return cpu().authenticAmd; }
int cpuHasCoreArch(void) { return cpu().coreArch; }
int cpuHasNetBurst(void) { return cpu().netBurst; }
int cpuHasK8(void) { return cpu().k8; }
int cpuIsAMD10H(void) { return cpu().amd10h; }
int cpuIsAMD11H(void) { return cpu().amd11h; }
int cpuIsHarpertown(void) { return cpu().coreArch && cpu().model == 23; }
int cpuIsDunnington(void) { return cpu().coreArch && cpu().model == 29; }
int cpuIsNehalem(void) {
    uint32_t model = cpu().model;
    return cpu().coreArch && (model == 26 || model == 44 || model == 46);
}
int cpuHyperThreadingEnabled(void) { return cpu().htEnabled; }
int cpuHasClflush(void) { return bit(cpu().edx1, 19); }
int cpuHasSSE(void) { return bit(cpu().edx1, 25); }
int cpuHasSSE2(void) { return bit(cpu().edx1, 26); }
int cpuHasSSE3(void) { return bit(cpu().ecx1, 0); }
int cpuHasSSSE3(void) { return bit(cpu().ecx1, 9); }
int cpuHasSSE4_1(void) { return bit(cpu().ecx1, 19); }
int cpuHasSSE4_2(void) { return bit(cpu().ecx1, 20); }
int cpuHasPopCount(void) { return bit(cpu().ecx1, 23); }
int cpuIsRunningHypervisor(void) { return bit(cpu().ecx1, 31); }
int cpuHasInvariantTSC(void) { return cpu().invariantTsc; }
int cpuGetClflushSize(void) { return static_cast<int>(cpu().clflushSize); }
int cpuGetSockets(void) { return static_cast<int>(cpu().sockets); }
int cpuGetCores(void) { return cpu().cores; }
int cpuGetHWThreads(void) { return cpu().hwThreads; }

int cpuGetL1DCacheLineSize(void) {
    const CpuInfo &info = cpu();
    return info.netBurst || info.coreArch || info.k8 || info.amd10h ? 64 : 32;
}

int cpuGetSelfModifyingStoreAtomicRegionSize(void) {
    return cpu().authenticAmd && cpuHasClflush() ? 8 : cpuGetL1DCacheLineSize();
}

const char *cpuGetNotSupportedMessage(void) {
    if (!cpuHasSSE2())
        return "Your CPU does not support the SSE2 instruction set required to run Vantrel.";
    if (bit(cpu().edx1, 0) && bit(cpu().edx1, 15))
        return nullptr;
    return "Vantrel needs at least on die FPU and CMOV instructions to run.";
}

int cpuDescribe(char *buffer, int size) { return cpuDescribeInfo(&cpu(), buffer, size); }

int cpuDetails(char *buffer, int size) { return cpuDetailsInfo(&cpu(), buffer, size); }

int cpuInit(int flags) {
    CpuInfo *info = cpuState();
    bool enabledByOs = info->genuineIntel && info->htSupportedByCpu &&
                       cpuHtEnabledByOs(info, cpuidInstruction, nullptr);
    return cpuApplyPolicy(info, flags, enabledByOs, osGetNumberOfProcessors());
}
