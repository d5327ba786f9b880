#include "../../shared/startup.h"
#include "timing_platform.h"

int timingInit(void) {
    startProcessClock();
    return OSAL_OK;
}
