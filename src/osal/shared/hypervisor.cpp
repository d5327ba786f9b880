#include "hypervisor.h"

#include <string.h>

#include "bounded_format.h"

namespace {

constinit HypervisorState detected{};

bool sameIgnoringCase(const char *a, const char *b) {
    for (;; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

void fromHypervisorLeaves(HypervisorState &state, CpuidFunction cpuid, void *context) {
    CpuidRegs regs;
    cpuid(context, 0x40000000, 0, &regs);
    char vendor[13];
    memcpy(vendor, &regs.ebx, 4);
    memcpy(vendor + 4, &regs.ecx, 4);
    memcpy(vendor + 8, &regs.edx, 4);
    vendor[12] = '\0';
    char *text = state.version;
    const int room = sizeof state.version;
    if (sameIgnoringCase(vendor, "Microsoft Hv")) {
        cpuid(context, 0x40000002, 0, &regs);
        state.type = HYPERVISOR_HYPERV;
        state.major = static_cast<int>(regs.ebx >> 16);
        state.minor = static_cast<int>(regs.ebx & 0xffff);
        osalFormat(text, room, "Microsoft Hyper-V %u.%u.build-%u (%u.%u.%u)", regs.ebx >> 16, regs.ebx & 0xffff,
                   regs.eax, regs.edx & 0xffffff, regs.edx >> 24, regs.ecx);
    } else if (sameIgnoringCase(vendor, "XenVMMXenVMM")) {
        cpuid(context, 0x40000001, 0, &regs);
        state.type = HYPERVISOR_XEN;
        state.major = static_cast<int>(regs.eax >> 16);
        state.minor = static_cast<int>(regs.eax & 0xffff);
        osalFormat(text, room, "Xen v%u.%u (HVM)", regs.eax >> 16, regs.eax & 0xffff);
    } else {
        state.type = HYPERVISOR_UNKNOWN;
        osalFormat(text, room, "Unknown (but probably running on a hypervisor)");
    }
}

} // namespace

HypervisorState *hypervisorState(void) { return &detected; }

void hypervisorDetect(HypervisorState *state, bool hypervisorBit, CpuidFunction cpuid, void *context,
                      VmwareProbe probe) {
    HypervisorState found{};
    if (hypervisorBit) {
        fromHypervisorLeaves(found, cpuid, context);
    } else {
        int version = probe();
        if (version != -1) {
            found.type = HYPERVISOR_VMWARE;
            found.major = version;
            osalFormat(found.version, sizeof found.version, "VMWare v%u", static_cast<unsigned>(version));
        }
    }
    *state = found;
}

int osDetectHypervisor(void) {
    cpuIdentify();
    hypervisorDetect(&detected, (cpuState()->ecx1 >> 31) & 1, cpuidInstruction, nullptr, vmwareProbe);
    return 0;
}

HypervisorType osGetHypervisorType(void) { return detected.type; }

int osIsHypervisorDetected(void) { return detected.type != HYPERVISOR_NONE; }

const char *osGetHypervisorVersionString(void) { return detected.version; }

void osGetHypervisorVersion(int *major, int *minor) {
    if (major != nullptr)
        *major = detected.major;
    if (minor != nullptr)
        *minor = detected.minor;
}
