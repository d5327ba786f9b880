// The decoded processor identification and the pieces that build and read it.
#ifndef OSAL_CPU_INFO_H
#define OSAL_CPU_INFO_H

#include "osal/osal_types.h"

struct CpuidRegs {
    uint32_t eax, ebx, ecx, edx;
};

// Answers one leaf (and sub-leaf) of the identification instruction.
typedef void (*CpuidFunction)(void *context, uint32_t leaf, uint32_t subleaf, CpuidRegs *regs);

struct CpuInfo {
    char vendor[13];
    uint32_t maxBasicLeaf;
    uint32_t maxExtendedLeaf;

    // Leaf 1.
    uint32_t signature;
    uint32_t ebx1, ecx1, edx1;
    uint32_t stepping, type, model, family, extFamily, extModel;
    uint32_t clflushSize; // in units of 8 bytes

    // Leaf 0x80000001.
    uint32_t eaxExt, ebxExt, ecxExt, edxExt;

    char brand[49]; // leaves 0x80000002 to 0x80000004, leading blanks skipped
    bool hasBrand;

    uint32_t logicalPerPackage;
    uint32_t coresPerPackage;
    bool genuineIntel, authenticAmd;
    bool coreArch, netBurst, k8, amd10h, amd11h;
    uint32_t sockets;
    bool invariantTsc;

    bool htSupportedByCpu;
    bool htEnabledByOs;
    bool htEnabled;
    int hwThreads;
    int cores;
};

OSAL_BEGIN_DECLS

// The processor's own answer.
void cpuidInstruction(void *context, uint32_t leaf, uint32_t subleaf, CpuidRegs *regs);

// Fills info from the leaves cpuid gives; the hyper-threading decision and counts stay 0.
void cpuDecode(CpuInfo *info, CpuidFunction cpuid, void *context);

// The process-wide record that the exported queries answer from.
CpuInfo *cpuState(void);
// Identifies the processor into that record once; later calls do nothing.
void cpuIdentify(void);

// Name look-ups; null when a table has no name for the index.
const char *cpuFamilyOrModelName(const CpuInfo *info);
const char *cpuFamilyName(const CpuInfo *info);
const char *cpuModelName(const CpuInfo *info);
const char *cpuBrandName(const CpuInfo *info);
// Names of the feature bits, four groups of 32: leaf 1 edx, leaf 1 ecx, extended ecx, extended edx.
const char *cpuFeatureName(int group, int bit);

int cpuDescribeInfo(const CpuInfo *info, char *buffer, int size);
int cpuDetailsInfo(const CpuInfo *info, char *buffer, int size);
// All set feature bits by name, separated by ", "; cut to the buffer.
int cpuFeatureList(const CpuInfo *info, char *buffer, int size);

// Asks the system whether hyper-threading is on; meant for Intel processors that support it.
// When the system can't tell, the guess is yes.
bool cpuHtEnabledByOs(const CpuInfo *info, CpuidFunction cpuid, void *context);
// The two ways of asking; each returns false when it could not run, else stores its answer.
bool cpuHtByProcessorInformation(bool *enabled);
bool cpuHtByAffinity(uint32_t logicalIdMask, CpuidFunction cpuid, void *context, bool *enabled);
// The hyper-threading policy and counts of cpuInit, given the system's answers; returns the cores.
int cpuApplyPolicy(CpuInfo *info, int flags, bool enabledByOs, int processors);

OSAL_END_DECLS

#endif
