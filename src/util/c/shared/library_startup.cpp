#include <windows.h>

#include "log_internal.h"
#include "sarnik/log_api.h"

// The library's own logger joins the list at load; the OS layer may have registered its own
// before this runs, when it was the one that loaded this library.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        _log_add_logger(sarnik::utilLogger());
    return TRUE;
}
