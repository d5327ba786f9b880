#include <windows.h>

#include "osal/thread.h"

void threadYield(void) {
    if (!SwitchToThread())
        Sleep(0);
}
