#include "startup.h"

// Memory spaces come with their own family.
int msInit(void) { return OSAL_OK; }
