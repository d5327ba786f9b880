// Hypervisor detection from the processor's hypervisor leaves and the VMware port.
#ifndef OSAL_HYPERVISOR_H
#define OSAL_HYPERVISOR_H

#include "cpu_info.h"
#include "osal/os_info.h"

struct HypervisorState {
    HypervisorType type;
    char version[512];
    int major;
    int minor;
};

// The VMware version, or -1 outside VMware.
typedef int (*VmwareProbe)(void);

OSAL_BEGIN_DECLS

HypervisorState *hypervisorState(void);
void hypervisorDetect(HypervisorState *state, bool hypervisorBit, CpuidFunction cpuid, void *context,
                      VmwareProbe probe);
// Runs the VMware get-version command on its I/O port; -1 when that faults or answers wrongly.
int vmwareProbe(void);

OSAL_END_DECLS

#endif
