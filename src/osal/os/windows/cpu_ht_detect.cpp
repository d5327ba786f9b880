#include <windows.h>

#include "../../shared/cpu_info.h"
#include "../../shared/osal_log.h"
#include "osal/mspace.h"
#include "osal/thread.h"

namespace {

using GetLogicalProcessorInformationFunction = BOOL(WINAPI *)(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION, PDWORD);

bool anyCoreWithSiblings(const BYTE *records, DWORD length) {
    constexpr DWORD recordSize = sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION);
    static_assert(recordSize == 24);
    for (DWORD at = 0; at + recordSize <= length; at += recordSize) {
        const auto *record = reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION *>(records + at);
        if (record->Relationship == RelationProcessorCore && record->ProcessorCore.Flags == 1)
            return true;
    }
    return false;
}

int countBits(DWORD_PTR mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}

uint32_t roundUpToPowerOfTwo(uint32_t value) {
    uint32_t power = 1;
    while (power < value && power < 0x80000000u)
        power <<= 1;
    return power;
}

} // namespace

bool cpuHtByProcessorInformation(bool *enabled) {
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto query = kernel ? reinterpret_cast<GetLogicalProcessorInformationFunction>(
                              GetProcAddress(kernel, "GetLogicalProcessorInformation"))
                        : nullptr;
    if (query == nullptr)
        return false;
    alignas(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) BYTE small[256];
    DWORD length = sizeof small;
    bool answered = false;
    if (query(reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION>(small), &length)) {
        *enabled = anyCoreWithSiblings(small, length);
        answered = true;
    } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && length > 0) {
        auto *large = static_cast<BYTE *>(gsMalloc(length));
        if (large != nullptr && query(reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION>(large), &length)) {
            *enabled = anyCoreWithSiblings(large, length);
            answered = true;
        }
        gsFree(large);
    }
    if (answered && *enabled)
        OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO, "Detected HT using GetLogicalProcessorInformation.\n");
    return answered;
}

bool cpuHtByAffinity(uint32_t logicalIdMask, CpuidFunction cpuid, void *context, bool *enabled) {
    HANDLE process = GetCurrentProcess();
    DWORD_PTR processMask, systemMask;
    if (!GetProcessAffinityMask(process, &processMask, &systemMask))
        return false;
    OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO, "Detected SMP with %d CPUs that support HT.\n", countBits(systemMask));
    bool ran = false;
    bool found = false;
    for (DWORD_PTR bit = 1; bit != 0 && !found; bit <<= 1) {
        if (!(processMask & bit) || !SetProcessAffinityMask(process, bit))
            continue;
        // The yield lets the scheduler move this thread onto the one processor left to it.
        threadYield();
        CpuidRegs regs;
        cpuid(context, 1, 0, &regs);
        uint32_t initialApicId = regs.ebx >> 24;
        found = (initialApicId & logicalIdMask) != 0;
        ran = true;
    }
    SetProcessAffinityMask(process, processMask);
    if (ran)
        *enabled = found;
    return ran;
}

bool cpuHtEnabledByOs(const CpuInfo *info, CpuidFunction cpuid, void *context) {
    bool enabled = false;
    if (cpuHtByProcessorInformation(&enabled))
        return enabled;
    uint32_t logicalIdMask = roundUpToPowerOfTwo(info->logicalPerPackage) - 1;
    if (cpuHtByAffinity(logicalIdMask, cpuid, context, &enabled))
        return enabled;
    OSAL_LOG(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO,
             "Could not properly determine HT support in OS, guessing it is enabled.\n");
    return true;
}
