// Loads the OS layer as the VM would and prints what it reports about this machine.
#include <windows.h>

#include <stdio.h>

#include "osal/cpu.h"
#include "osal/os_error.h"
#include "osal/os_info.h"
#include "osal/sharedlib.h"

namespace {

const char *hypervisorName(HypervisorType type) {
    switch (type) {
    case HYPERVISOR_NONE:
        return "none";
    case HYPERVISOR_UNKNOWN:
        return "unknown";
    case HYPERVISOR_XEN:
        return "Xen";
    case HYPERVISOR_VMWARE:
        return "VMware";
    case HYPERVISOR_HYPERV:
        return "Hyper-V";
    }
    return "?";
}

} // namespace

int main() {
    char path[MAX_PATH];
    // The library's own entry, not this program's import stub for it.
    const void *inside = reinterpret_cast<const void *>(GetProcAddress(GetModuleHandleA("tovane.dll"), "sharedlibLoad"));
    if (inside != nullptr && sharedLibGetDLLPath(path, sizeof path, inside) == 0)
        printf("OS layer:        %s\n", path);
    char text[256];
    // Two sample codes show the error-text lookup; nothing failed.
    printf("Error texts, looked up for two sample codes (no failure):\n");
    osGetErrorString(ERROR_FILE_NOT_FOUND, text, sizeof text);
    printf("  code 2:        %s\n", text);
    osGetErrorString(10061, text, sizeof text);
    printf("  code 10061:    %s\n", text);

    osGetVersionString(text, sizeof text);
    printf("System:          %s\n", text);
    printf("Processors:      %d\n", osGetNumberOfProcessors());

    cpuInit(0);
    cpuDescribe(text, sizeof text);
    printf("CPU:             %s\n", text);
    printf("Sockets/cores/hardware threads: %d/%d/%d\n", cpuGetSockets(), cpuGetCores(), cpuGetHWThreads());
    const char *refusal = cpuGetNotSupportedMessage();
    printf("Runtime can run: %s\n", refusal == nullptr ? "yes" : refusal);
    char details[4096];
    cpuDetails(details, sizeof details);
    printf("CPU details:\n%s\n", details);

    osDetectHypervisor();
    int major = 0, minor = 0;
    osGetHypervisorVersion(&major, &minor);
    printf("Hypervisor:      %s (type %d)", hypervisorName(osGetHypervisorType()), osGetHypervisorType());
    if (osIsHypervisorDetected())
        printf(", %s, version %d.%d", osGetHypervisorVersionString(), major, minor);
    printf("\n");
    return 0;
}
