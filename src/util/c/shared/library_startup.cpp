#include <windows.h>

#include "log_internal.h"
#include "osal/timing.h"
#include "sarnik/log_api.h"

namespace {

// Kept current by the OS layer for as long as the process lives.
constinit TimerVars timerVars = {0, 0.0};

} // namespace

namespace sarnik {

const TimerVars *libraryTimerVars() { return &timerVars; }

} // namespace sarnik

// The library's own logger joins the list at load; the OS layer may have registered its own
// before this runs, when it was the one that loaded this library.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        _timing_get_vars(&timerVars.frequency, &timerVars.nanosPerTick);
        _log_add_logger(sarnik::utilLogger());
    }
    return TRUE;
}
