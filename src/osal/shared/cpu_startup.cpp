#include "cpu_info.h"
#include "startup.h"

namespace {

// Read by exports that other libraries may call from their own start-up.
constinit CpuInfo processCpu{};
constinit bool identified = false;

} // namespace

CpuInfo *cpuState(void) { return &processCpu; }

void cpuIdentify(void) {
    if (identified)
        return;
    cpuDecode(&processCpu, cpuidInstruction, nullptr);
    identified = true;
}

void osalCpuStartup(void) { cpuIdentify(); }
