// Page operations on the process's address space.
#include <windows.h>

#include "../../shared/osal_log.h"
#include "osal/os_error.h"
#include "vmm_internal.h"

namespace {

constinit vmm::SystemValues values{};

bool validAddressRange(void *address, size_t size) {
    return address != nullptr && size != 0 && reinterpret_cast<uintptr_t>(address) + size > reinterpret_cast<uintptr_t>(address);
}

// The end of the allocation that begins at base, or null when base begins none.
char *allocationEnd(char *base) {
    MEMORY_BASIC_INFORMATION info;
    char *at = base;
    while (VirtualQuery(at, &info, sizeof info) == sizeof info && info.State != MEM_FREE &&
           info.AllocationBase == base) {
        char *next = static_cast<char *>(info.BaseAddress) + info.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return at == base ? nullptr : at;
}

// Walks [address, end) from its end: every allocation met must lie whole inside it.
bool releaseAllocations(char *address, char *end, bool release) {
    while (end > address) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(end - 1, &info, sizeof info) != sizeof info || info.State == MEM_FREE)
            return false;
        char *base = static_cast<char *>(info.AllocationBase);
        if (base < address || allocationEnd(base) != end)
            return false;
        if (release && !VirtualFree(base, 0, MEM_RELEASE))
            return false;
        end = base;
    }
    return true;
}

} // namespace

namespace vmm {

void readSystemValues() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    values.pageSize = info.dwPageSize;
    values.granularity = info.dwAllocationGranularity;
    values.lowest = static_cast<char *>(info.lpMinimumApplicationAddress);
    values.highest = static_cast<char *>(info.lpMaximumApplicationAddress);
}

const SystemValues &systemValues() {
    if (values.pageSize == 0)
        readSystemValues();
    return values;
}

DWORD platformProtection(int protection) {
    DWORD platform;
    switch (protection & ~VMM_PROT_GUARD) {
    case 0: platform = PAGE_NOACCESS; break;
    case 1: platform = PAGE_READONLY; break;
    case 3: platform = PAGE_READWRITE; break;
    case 5: platform = PAGE_EXECUTE_READ; break;
    case 7: platform = PAGE_EXECUTE_READWRITE; break;
    default: return 0;
    }
    if (protection & VMM_PROT_GUARD)
        platform |= PAGE_GUARD;
    return platform;
}

void reportFailure(const char *operation, const char *file, int line, const char *message) {
    DWORD code = GetLastError();
    OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_INFO, "%s Failed at %s:%d", operation, file, line);
    if (osalLogLevel(OSAL_LOG_OSAL) >= OSAL_LEVEL_INFO) {
        char text[128];
        osGetErrorString(code, text, sizeof text);
        OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_INFO, "OS message: %s (%d)", text, static_cast<int>(code));
    }
    if (message != nullptr)
        OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_ERROR, "%s", message);
    SetLastError(code);
}

} // namespace vmm

void *vmmReserve(size_t size) {
    void *base = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
    if (base == nullptr)
        VMM_REPORT("vmmReserve");
    return base;
}

void *vmmxReserveAt(void *address, size_t size) {
    void *base = VirtualAlloc(address, size, MEM_RESERVE, PAGE_NOACCESS);
    if (base == nullptr) {
        VMM_REPORT("vmmxReserveAt");
        return nullptr;
    }
    if (base != address) {
        VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    return base;
}

int vmmCommit2(void *address, size_t size, int protection) {
    DWORD platform = vmm::platformProtection(protection);
    if (platform == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        VMM_REPORT("vmmCommit");
        return OSAL_ERR;
    }
    if (VirtualAlloc(address, size, MEM_COMMIT, platform) == nullptr) {
        VMM_REPORT("vmmCommit");
        return OSAL_ERR;
    }
    return OSAL_OK;
}

int vmmCommit(void *address, size_t size) { return vmmCommit2(address, size, VMM_PROT_READ_WRITE); }

void *vmmAllocate2(size_t size, int protection) {
    DWORD platform = vmm::platformProtection(protection);
    if (platform == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        VMM_REPORT("vmmAllocate");
        return nullptr;
    }
    void *base = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, platform);
    if (base == nullptr)
        VMM_REPORT("vmmAllocate");
    return base;
}

void *vmmAllocate(size_t size) { return vmmAllocate2(size, VMM_PROT_READ_WRITE); }

void *vmmxAllocateAt2(void *address, size_t size, int protection) {
    void *base = vmmxReserveAt(address, size);
    if (base == nullptr)
        return nullptr;
    if (vmmCommit2(base, size, protection) != OSAL_OK) {
        DWORD code = GetLastError();
        VirtualFree(base, 0, MEM_RELEASE);
        SetLastError(code);
        return nullptr;
    }
    return base;
}

void *vmmxAllocateAt(void *address, size_t size) { return vmmxAllocateAt2(address, size, VMM_PROT_READ_WRITE); }

int vmmProtect(void *address, size_t size, int protection) {
    DWORD platform = vmm::platformProtection(protection);
    DWORD old;
    if (platform == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        VMM_REPORT("vmmProtect");
        return OSAL_ERR;
    }
    if (!VirtualProtect(address, size, platform, &old)) {
        VMM_REPORT("vmmProtect");
        return OSAL_ERR;
    }
    return OSAL_OK;
}

int vmmDecommit(void *address, size_t size) {
    size_t page = vmm::systemValues().pageSize;
    if (!validAddressRange(address, size) || size > ~size_t{0} - page ||
        !VirtualFree(address, vmm::roundUp(size, page), MEM_DECOMMIT)) {
        if (address == nullptr || size == 0)
            SetLastError(ERROR_INVALID_PARAMETER);
        VMM_REPORT("vmmDecommit");
        return OSAL_ERR;
    }
    return OSAL_OK;
}

int vmmFree(void *address, size_t size) {
    size_t page = vmm::systemValues().pageSize;
    char *base = static_cast<char *>(address);
    char *firstEnd = address != nullptr ? allocationEnd(base) : nullptr;
    bool fits = firstEnd != nullptr && size <= ~size_t{0} - page;
    char *end = fits ? base + vmm::roundUp(size, page) : nullptr;
    // Checked whole before anything goes, so that a failure frees nothing.
    if (!fits || end < firstEnd || end < base || !releaseAllocations(base, end, false)) {
        SetLastError(ERROR_INVALID_ADDRESS);
        VMM_REPORT("vmmFree");
        return OSAL_ERR;
    }
    if (!releaseAllocations(base, end, true)) {
        VMM_REPORT("vmmFree");
        return OSAL_ERR;
    }
    return OSAL_OK;
}

size_t vmmGetPageSize(void) { return vmm::systemValues().pageSize; }

size_t vmmGetAllocationGranularity(void) { return vmm::systemValues().granularity; }

void *vmmGetLowestAccessibleAddress(void) { return vmm::systemValues().lowest; }

void *vmmGetHighestAccessibleAddress(void) { return vmm::systemValues().highest; }

void vmmFinalize(void) {}

namespace {

MEMORYSTATUSEX memoryStatus() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    return status;
}

} // namespace

uint64_t vmmGetTotalPhysicalMemory(void) { return memoryStatus().ullTotalPhys; }

uint64_t vmmGetAvailablePhysicalMemory(void) { return memoryStatus().ullAvailPhys; }

size_t vmmGetUsedVirtualMemory(void) {
    MEMORYSTATUSEX status = memoryStatus();
    return static_cast<size_t>(status.ullTotalVirtual - status.ullAvailVirtual);
}

size_t vmmGetUsableVirtualMemory(void) { return static_cast<size_t>(memoryStatus().ullAvailVirtual); }

size_t vmmGetMaximumProcessSize(void) {
    const vmm::SystemValues &v = vmm::systemValues();
    uint64_t range = static_cast<uint64_t>(v.highest - v.lowest);
    uint64_t commitLimit = memoryStatus().ullTotalPageFile;
    return static_cast<size_t>(range < commitLimit ? range : commitLimit);
}
