#include <windows.h>

#include <string.h>

#include "../../shared/hypervisor.h"

namespace {

// push ebx; eax = magic; ebx = 0; ecx = 10 (get version); edx = port; in eax, dx;
// unless ebx came back as the magic, eax = -1; pop ebx; ret.
constexpr unsigned char probeCode[] = {
    0x53,                               // push ebx
    0xB8, 0x68, 0x58, 0x4D, 0x56,       // mov eax, 0x564D5868
    0xBB, 0x00, 0x00, 0x00, 0x00,       // mov ebx, 0
    0xB9, 0x0A, 0x00, 0x00, 0x00,       // mov ecx, 10
    0xBA, 0x58, 0x56, 0x00, 0x00,       // mov edx, 0x5658
    0xED,                               // in eax, dx
    0x81, 0xFB, 0x68, 0x58, 0x4D, 0x56, // cmp ebx, 0x564D5868
    0x74, 0x05,                         // je done
    0xB8, 0xFF, 0xFF, 0xFF, 0xFF,       // mov eax, -1
    0x5B,                               // done: pop ebx
    0xC3,                               // ret
};
constexpr DWORD failPathOffset = 30;
static_assert(probeCode[failPathOffset] == 0xB8 && probeCode[failPathOffset + 5] == 0x5B);

// One probe at a time: the handler must know which block and which thread it guards.
constinit void *volatile activeBlock = nullptr;
constinit volatile DWORD activeThread = 0;

// Outside VMware the port access faults; which exception arrives depends on the system (a
// privileged instruction on Windows, whatever an emulator makes of it elsewhere), so any
// exception raised inside the block takes the failure path.
LONG CALLBACK leaveProbeOnFault(EXCEPTION_POINTERS *pointers) {
    const DWORD_PTR block = reinterpret_cast<DWORD_PTR>(activeBlock);
    const DWORD_PTR at = pointers->ContextRecord->Eip;
    if (block == 0 || GetCurrentThreadId() != activeThread || at < block || at >= block + sizeof probeCode)
        return EXCEPTION_CONTINUE_SEARCH;
    pointers->ContextRecord->Eip = static_cast<DWORD>(block + failPathOffset);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void *executableProbe() {
    void *block = VirtualAlloc(nullptr, sizeof probeCode, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (block == nullptr)
        return nullptr;
    memcpy(block, probeCode, sizeof probeCode);
    DWORD previous;
    if (!VirtualProtect(block, sizeof probeCode, PAGE_EXECUTE_READ, &previous)) {
        VirtualFree(block, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), block, sizeof probeCode);
    return block;
}

} // namespace

int vmwareProbe(void) {
    void *block = executableProbe();
    if (block == nullptr)
        return -1;
    while (InterlockedCompareExchangePointer(&activeBlock, block, nullptr) != nullptr)
        Sleep(0);
    activeThread = GetCurrentThreadId();
    int result = -1;
    if (PVOID handler = AddVectoredExceptionHandler(1, leaveProbeOnFault)) {
        result = reinterpret_cast<int (*)(void)>(block)();
        RemoveVectoredExceptionHandler(handler);
    }
    activeThread = 0;
    InterlockedExchangePointer(&activeBlock, nullptr);
    VirtualFree(block, 0, MEM_RELEASE);
    return result;
}
