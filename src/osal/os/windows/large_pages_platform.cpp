// Large pages on the platform: the privilege, the system's large page size, committing them.
#include <windows.h>

#include "large_pages.h"

namespace {

bool openProcessToken(HANDLE *token) {
    return OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token) != 0;
}

bool lookupLockMemoryPrivilege(LUID *privilege) {
    return LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", privilege) != 0;
}

bool enablePrivilege(HANDLE token, const LUID &privilege, bool *granted) {
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = privilege;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr))
        return false;
    // Success with ERROR_NOT_ALL_ASSIGNED means the account doesn't hold the privilege.
    *granted = GetLastError() == ERROR_SUCCESS;
    return true;
}

void closeToken(HANDLE token) { CloseHandle(token); }

HMODULE kernelModule() { return GetModuleHandleA("kernel32.dll"); }

SIZE_T(WINAPI *findLargePageMinimum(HMODULE module))() {
    return reinterpret_cast<SIZE_T(WINAPI *)()>(GetProcAddress(module, "GetLargePageMinimum"));
}

void *allocateLargePages(void *address, size_t size, DWORD protection) {
    return VirtualAlloc(address, size, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, protection);
}

bool isCommittedWith(void *address, DWORD protection) {
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(address, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT &&
           info.Protect == protection;
}

void release(void *address) { VirtualFree(address, 0, MEM_RELEASE); }

constexpr vmm::LargePageSystem platform = {
    openProcessToken, lookupLockMemoryPrivilege, enablePrivilege, closeToken, kernelModule,
    findLargePageMinimum, allocateLargePages, isCommittedWith, release,
};

} // namespace

namespace vmm {

const LargePageSystem &platformLargePageSystem() { return platform; }

} // namespace vmm
