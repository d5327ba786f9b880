#include "osal/cpu.h"

#include "cpu_info.h"
#include "osal_log.h"

namespace {

const char *not_(bool condition) { return condition ? "" : "not "; }
const char *orUnknown(const char *name) { return name != nullptr ? name : "<unknown>"; }

bool decideHyperThreading(CpuInfo *info, int flags, bool enabledByOs, int processors) {
    const bool byCpu = info->htSupportedByCpu;
    bool enabled = (flags & CPU_HT_TRUST_CPU) ? byCpu : enabledByOs;
    if (flags & CPU_HT_FORCE_ON)
        enabled = true;
    else if (flags & CPU_HT_FORCE_OFF)
        enabled = false;
    if (processors < 2) {
        OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO, "Warning: Single CPU system, HT will now be disabled.");
        enabled = false;
    }
    OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO, "HT is: %ssupported by the CPU, %senabled by the OS, %senabled in Vantrel.",
             not_(byCpu), not_(enabledByOs), not_(enabled));
    if (enabled && !enabledByOs)
        OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO, "Warning: HT enabled even though OS does not seem to support it.");
    if (enabled && !byCpu)
        OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO, "Warning: HT enabled even though CPU does not seem to support it.");
    return enabled;
}

void logSummary(const CpuInfo *info, const char *description, const char *features) {
    constexpr int m = OSAL_LOG_CPUINFO;
    constexpr int level = OSAL_LEVEL_INFO;
    OSAL_LOG(m, level, "CPU:       %s", description);
    OSAL_LOG(m, level, "Vendor:    %s", info->vendor);
    OSAL_LOG(m, level, "Family:    %s", orUnknown(cpuFamilyName(info)));
    OSAL_LOG(m, level, "Model:     %s", orUnknown(cpuModelName(info)));
    if (info->hasBrand)
        OSAL_LOG(m, level, "Brand:     %s", info->brand);
    else
        OSAL_LOG(m, level, "Name:      %s", orUnknown(cpuBrandName(info)));
    OSAL_LOG(m, level, "Sockets:   %d", static_cast<int>(info->sockets));
    OSAL_LOG(m, level, "Cores:     %d", info->cores);
    OSAL_LOG(m, level, "HWThreads: %d", info->hwThreads);
    OSAL_LOG(m, level, "Supports:  %s", features);
    if (info->invariantTsc)
        OSAL_LOG(m, level, "Supports:  Invariant TSC");
}

void logRawIdentification(const CpuInfo *info, const char *description) {
    constexpr int m = OSAL_LOG_CPUID;
    constexpr int level = OSAL_LEVEL_INFO;
    OSAL_LOG(m, level, "CPU:          %s", description);
    OSAL_LOG(m, level, "Vendor:       %s", info->vendor);
    OSAL_LOG(m, level, "Family:       0x%x", info->family);
    OSAL_LOG(m, level, "Model:        0x%x", info->model);
    OSAL_LOG(m, level, "Stepping:     0x%x", info->stepping);
    OSAL_LOG(m, level, "Ext. Family:  0x%x", info->extFamily);
    OSAL_LOG(m, level, "Ext. Model:   0x%x", info->extModel);
    OSAL_LOG(m, level, "Type:         0x%x", info->type);
    OSAL_LOG(m, level, "Max Cores p. pack.: %i", static_cast<int>(info->coresPerPackage));
    OSAL_LOG(m, level, "Max Proc IDs:       %i", static_cast<int>(info->logicalPerPackage));
    OSAL_LOG(m, level, "Signature:    0x%8.8x", info->signature);
    OSAL_LOG(m, level, "Features ecx: 0x%8.8x", info->ecx1);
    OSAL_LOG(m, level, "Features edx: 0x%8.8x", info->edx1);
    OSAL_LOG(m, level, "Extended features eax: 0x%8.8x", info->eaxExt);
    OSAL_LOG(m, level, "Extended features ebx: 0x%8.8x", info->ebxExt);
    OSAL_LOG(m, level, "Extended features ecx: 0x%8.8x", info->ecxExt);
    OSAL_LOG(m, level, "Extended features edx: 0x%8.8x", info->edxExt);
}

} // namespace

int cpuApplyPolicy(CpuInfo *info, int flags, bool enabledByOs, int processors) {
    // The policy is Intel's; other processors never run with hyper-threading on.
    info->htEnabledByOs = info->genuineIntel && enabledByOs;
    info->htEnabled = info->genuineIntel && decideHyperThreading(info, flags, enabledByOs, processors);
    info->hwThreads = processors;
    info->cores = info->htEnabled ? processors / 2 : processors;

    const bool summary = osalLogLevel(OSAL_LOG_CPUINFO) >= OSAL_LEVEL_INFO;
    const bool raw = osalLogLevel(OSAL_LOG_CPUID) >= OSAL_LEVEL_INFO;
    if (summary || raw) {
        char description[256];
        cpuDescribeInfo(info, description, sizeof description);
        if (summary) {
            char features[2048];
            cpuFeatureList(info, features, sizeof features);
            logSummary(info, description, features);
        }
        if (raw)
            logRawIdentification(info, description);
    }
    return info->cores;
}
