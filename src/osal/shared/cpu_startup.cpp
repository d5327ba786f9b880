#include "startup.h"

// CPU identification comes with its own family.
void osalCpuStartup(void) {}
