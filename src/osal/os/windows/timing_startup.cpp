#include "../../shared/startup.h"

// The time source comes with its own family.
int timingInit(void) { return OSAL_OK; }
