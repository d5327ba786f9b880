#include <windows.h>

#include "json_abort_stack.h"
#include "log_internal.h"
#include "osal/timing.h"
#include "sarnik/log_api.h"

namespace {

// Kept current by the OS layer for as long as the process lives.
constinit TimerVars timerVars = {0, 0.0};

} // namespace

namespace sarnik {

const TimerVars *libraryTimerVars() { return &timerVars; }

int64_t libraryCounterFrequency() { return timerVars.frequency; }

} // namespace sarnik

// At load: the frequency pair, then the library's own logger (the OS layer may have registered
// its own before this runs, when it was the one that loaded this library), then the JSON
// reader's thread-local slot, without which the library does not load.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        _timing_get_vars(&timerVars.frequency, &timerVars.nanosPerTick);
        _log_add_logger(sarnik::utilLogger());
        if (!sarnik::abortStackStartup())
            return FALSE;
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        sarnik::abortStackShutdown();
    }
    return TRUE;
}
