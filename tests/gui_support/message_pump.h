// Message pumping for tests of real windows: every wait is bounded.
#ifndef GUI_SUPPORT_MESSAGE_PUMP_H
#define GUI_SUPPORT_MESSAGE_PUMP_H

#include <windows.h>

#include <functional>

// Dispatches every message waiting for this thread (sent, posted, input, paint, timers) and
// returns how many it dispatched. A window that keeps posting to itself cannot hold it forever:
// it stops after a generous number of messages. WM_QUIT is dropped.
int pumpMessages();

// The bound of a wait for what must come: only a guard against a hang, far beyond what any
// machine, however slow or loaded, needs. A wait that reaches it says so on the error output.
constexpr DWORD hangBoundMs = 120000;

// Pumps until predicate() holds or timeoutMs passed; true when it held. The predicate is asked
// after every round of messages and at least every 10 ms, so waits end as soon as they can.
bool pumpUntil(const std::function<bool()> &predicate, DWORD timeoutMs = hangBoundMs);

// Pumps for the given time, for the rare case where nothing can be waited for (prefer pumpUntil).
void pumpFor(DWORD milliseconds);

#endif
