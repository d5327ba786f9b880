#include <windows.h>

#include "osal/thread.h"

namespace {

constexpr DWORD threadNameException = 0x406D1388;
constexpr ULONG_PTR threadNameType = 0x1000;

// Only the naming raised by the thread the handler runs on is taken: that thread named itself
// through the call below, and nobody else's exceptions are swallowed.
LONG CALLBACK continueAfterNaming(EXCEPTION_POINTERS *pointers) {
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    if (record->ExceptionCode == threadNameException && record->NumberParameters == 4 &&
        record->ExceptionInformation[0] == threadNameType &&
        record->ExceptionInformation[2] == static_cast<ULONG_PTR>(GetCurrentThreadId()))
        return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void threadSetNameInDebugger(const char *name) {
    if (name == nullptr)
        return;
    // An attached debugger sees the exception first and takes the name; without one an unhandled
    // raise would end the process, and this compiler has no structured exception blocks.
    PVOID handler = AddVectoredExceptionHandler(1, continueAfterNaming);
    if (handler == nullptr)
        return;
    const ULONG_PTR arguments[4] = {threadNameType, reinterpret_cast<ULONG_PTR>(name),
                                    static_cast<ULONG_PTR>(GetCurrentThreadId()), 0};
    RaiseException(threadNameException, 0, 4, arguments);
    RemoveVectoredExceptionHandler(handler);
}
