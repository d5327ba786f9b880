#include "../../shared/startup.h"

// Page memory comes with its own family.
int vmmStartup(void) { return OSAL_OK; }
