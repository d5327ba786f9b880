// Queries about the process and the system, and hypervisor detection.
#ifndef OSAL_OS_INFO_H
#define OSAL_OS_INFO_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

typedef enum HypervisorType {
    HYPERVISOR_NONE = 0,
    HYPERVISOR_UNKNOWN = 1,
    HYPERVISOR_XEN = 2,
    HYPERVISOR_VMWARE = 3,
    HYPERVISOR_HYPERV = 4
} HypervisorType;

int osGetNumberOfProcessors(void);
int osGetProcessID(void);
int osGetPhysicalMachineID(void);
// Writes a one-line description of the system, cut to the buffer; always returns 0.
int osGetVersionString(char *buffer, int size);

// Fills the hypervisor state read by the functions below; always returns 0.
int osDetectHypervisor(void);
HypervisorType osGetHypervisorType(void);
int osIsHypervisorDetected(void);
const char *osGetHypervisorVersionString(void);
// Either pointer may be null.
void osGetHypervisorVersion(int *major, int *minor);

OSAL_END_DECLS

#endif
