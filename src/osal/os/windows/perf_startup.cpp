#include "../../shared/startup.h"

// Performance counters come with their own family.
int perfStartupLocks(void) { return OSAL_OK; }
