// Processor identification: features, families, topology and descriptions.
#ifndef OSAL_CPU_H
#define OSAL_CPU_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// Flags of cpuInit.
enum CpuInitFlags {
    CPU_HT_FORCE_ON = 1,
    CPU_HT_FORCE_OFF = 2,
    CPU_HT_TRUST_CPU = 8 // take the processor's answer instead of the system's
};

int cpuIsGenuineIntel(void);
int cpuIsAuthenticAMD(void);
int cpuHasCoreArch(void);
int cpuHasNetBurst(void);
int cpuHasK8(void);
int cpuIsAMD10H(void);
int cpuIsAMD11H(void);
int cpuIsHarpertown(void);
int cpuIsDunnington(void);
int cpuIsNehalem(void);
int cpuHyperThreadingEnabled(void);
int cpuHasClflush(void);
int cpuHasSSE(void);
int cpuHasSSE2(void);
int cpuHasSSE3(void);
int cpuHasSSSE3(void);
int cpuHasSSE4_1(void);
int cpuHasSSE4_2(void);
int cpuHasPopCount(void);
int cpuIsRunningHypervisor(void);
int cpuHasInvariantTSC(void);
// In units of 8 bytes, as the processor reports it.
int cpuGetClflushSize(void);
int cpuGetSockets(void);
int cpuGetCores(void);
int cpuGetHWThreads(void);
int cpuGetL1DCacheLineSize(void);
int cpuGetSelfModifyingStoreAtomicRegionSize(void);
// Why the runtime can't run on this processor, or null when it can.
const char *cpuGetNotSupportedMessage(void);
// Both write a text cut to the buffer and return the number of characters written.
int cpuDescribe(char *buffer, int size);
int cpuDetails(char *buffer, int size);
// Decides hyper-threading and counts cores and hardware threads; returns the core count.
int cpuInit(int flags);

OSAL_END_DECLS

#endif
