#include "message_pump.h"

#include <cstdio>

int pumpMessages() {
    // Bounded: a paint that invalidates itself or a self-reposting window must not hang a test.
    constexpr int limit = 100000;
    int count = 0;
    MSG msg;
    while (count < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++count;
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return count;
}

bool pumpUntil(const std::function<bool()> &predicate, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        pumpMessages();
        if (predicate())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            if (timeoutMs >= hangBoundMs)
                std::fprintf(stderr, "pumpUntil: gave up after %lu s of waiting\n", timeoutMs / 1000);
            return false;
        }
        DWORD wait = timeoutMs - elapsed;
        // Conditions that no message announces (another thread, the X server) are polled.
        if (wait > 10)
            wait = 10;
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void pumpFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        pumpMessages();
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}
