// The decisions around large pages; the system calls come through a LargePageSystem.
#include "large_pages.h"

#include "../../shared/osal_log.h"

namespace vmm {

const char *const lockPagePrivilegeHelp =
    "Unable to set Lock Page Privilege:\n"
    "1. This setting can be changed only in Administrative mode.\n"
    "2. To make a change, go to:\n"
    "      Start->Control Panel->Administrative Tools->Local Security Policy-> ...\n"
    "      ->Local Policies->User Rights Assignments->Lock pages in memory\n"
    "3. Add the user to run Vantrel to \"Lock pages in memory\" setting.\n"
    "4. To be effective, this setting requires log off and log on.\n"
    "5. On Windows Vista, Vantrel needs to be run as Administrator.\n";

namespace {

void warn(const char *text) { OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, "%s", text); }

// A message that ends in a colon is followed by the system's text for the error.
void warnWithError(const char *text) {
    DWORD code = GetLastError();
    char reason[128];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  reason, sizeof reason, nullptr);
    while (length > 0 && (reason[length - 1] == '\n' || reason[length - 1] == '\r'))
        --length;
    reason[length] = '\0';
    OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, "%s %s (%lu)", text, reason, code);
}

bool enableLockMemoryPrivilege(const LargePageSystem &system) {
    HANDLE token = nullptr;
    if (!system.openProcessToken(&token)) {
        warnWithError("Unable to acquire process token:");
        return false;
    }
    LUID privilege{};
    bool ok = false;
    bool granted = false;
    if (!system.lookupLockMemoryPrivilege(&privilege))
        warn("Unable to acquire privilege name.");
    else if (!system.enablePrivilege(token, privilege, &granted))
        warn("Unable to enable privilege in process token.");
    else if (!granted)
        warn(lockPagePrivilegeHelp);
    else
        ok = true;
    system.closeToken(token);
    return ok;
}

} // namespace

size_t setUpLargePages(const LargePageSystem &system, size_t currentSize) {
    if (!enableLockMemoryPrivilege(system))
        return 0;
    HMODULE kernel = system.kernelModule();
    if (kernel == nullptr) {
        warnWithError("Unable to acquire DLL handle:");
        return 0;
    }
    auto largePageMinimum = system.findLargePageMinimum(kernel);
    if (largePageMinimum == nullptr) {
        warn("Unable to acquire page size function, you need to be on Windows 2003 Server or above.");
        return 0;
    }
    size_t minimum = largePageMinimum();
    // A system without large pages answers 0: nothing to divide by, nothing to use.
    if (minimum == 0 || currentSize % minimum != 0) {
        OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, "Unmatched page size LARGE_PAGE_SIZE = %d : uipMinPageSize = %d.",
                 static_cast<int>(currentSize), static_cast<int>(minimum));
        return 0;
    }
    // Whether or not a smaller maximum is set, the system's minimum is the size to use.
    return minimum;
}

bool largeCodePagesWork(const LargePageSystem &system, size_t largePageSize) {
    void *page = system.allocateLargePages(nullptr, largePageSize, PAGE_EXECUTE_READWRITE);
    bool works = page != nullptr && system.isCommittedWith(page, PAGE_EXECUTE_READWRITE);
    if (page != nullptr)
        system.release(page);
    if (!works)
        warn("Large code pages failure. You are probably running Win2003 Server and need SP1 or later!\n");
    return works;
}

} // namespace vmm
