#include <windows.h>

#include "../../shared/startup.h"
#include "osal/sharedlib.h"
#include "vmm_internal.h"

namespace {

using HeapSetInformationFunc = BOOL(WINAPI *)(HANDLE, HEAP_INFORMATION_CLASS, PVOID, SIZE_T);

} // namespace

int vmmStartup(void) {
    vmm::readSystemValues();
    char error[128];
    if (void *kernel = sharedlibSystemLoad("Kernel32.dll", error, sizeof error)) {
        // The low-fragmentation heap serves the runtime heap's many small blocks better.
        if (auto setInformation =
                reinterpret_cast<HeapSetInformationFunc>(sharedlibFindEntry(kernel, "HeapSetInformation"))) {
            ULONG lowFragmentation = 2;
            setInformation(GetProcessHeap(), HeapCompatibilityInformation, &lowFragmentation,
                           sizeof lowFragmentation);
        }
    }
    return OSAL_OK;
}
