// Large pages: the once-per-process set-up and the checks behind a reserved space's use of them.
// The system calls come through a table so that the decisions can be tried against any answer.
#ifndef OSAL_LARGE_PAGES_H
#define OSAL_LARGE_PAGES_H

#include <windows.h>

namespace vmm {

struct LargePageSystem {
    // Each returns false on failure and leaves the OS error behind.
    bool (*openProcessToken)(HANDLE *token);
    bool (*lookupLockMemoryPrivilege)(LUID *privilege);
    // Sets granted to whether the token really holds the privilege afterwards.
    bool (*enablePrivilege)(HANDLE token, const LUID &privilege, bool *granted);
    void (*closeToken)(HANDLE token);
    HMODULE (*kernelModule)();
    // GetLargePageMinimum of the module, or null when it lacks it.
    SIZE_T(WINAPI *(*findLargePageMinimum)(HMODULE module))();
    // Commits size bytes of large pages with a protection, null on failure.
    void *(*allocateLargePages)(void *address, size_t size, DWORD protection);
    // Whether the range is committed with exactly that protection.
    bool (*isCommittedWith)(void *address, DWORD protection);
    void (*release)(void *address);
};

const LargePageSystem &platformLargePageSystem();

// Enables the lock-memory privilege and learns the large page size. Returns the new large page
// size, or 0 after logging why large pages can't be had.
size_t setUpLargePages(const LargePageSystem &system, size_t currentSize);

// Whether a committed large page with execute rights reads back as such.
bool largeCodePagesWork(const LargePageSystem &system, size_t largePageSize);

// The once-per-process form on the platform; the result is kept.
size_t largePagesOnce();

extern const char *const lockPagePrivilegeHelp;

} // namespace vmm

#endif
