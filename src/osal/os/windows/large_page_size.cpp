// The process's large page size, learnt once.
#include <windows.h>

#include "large_pages.h"
#include "osal/vmm.h"

namespace {

constinit size_t largePageSize = 0;
constinit size_t maxLargePageSize = 0;
constinit INIT_ONCE largePagesSetUp = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK setUpOnce(PINIT_ONCE, PVOID, PVOID *) {
    largePageSize = vmm::setUpLargePages(vmm::platformLargePageSystem(), largePageSize);
    return TRUE;
}

} // namespace

namespace vmm {

size_t largePagesOnce() {
    InitOnceExecuteOnce(&largePagesSetUp, setUpOnce, nullptr, nullptr);
    return largePageSize;
}

} // namespace vmm

size_t vmmGetMaxPossiblePageSize(void) { return largePageSize; }

void vmmSetMaxLargePageSize(size_t size) { maxLargePageSize = size; }
