#include <windows.h>

#include "../../shared/startup.h"

// The C runtime's initialiser results are ignored by this toolchain, so start-up that may fail
// the load runs here.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    try {
        if (osalBindLog() != 0)
            return FALSE;
        if (osalInit() != 0)
            return FALSE;
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}
