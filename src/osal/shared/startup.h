// The OS layer's start-up, run while the library loads.
#ifndef OSAL_STARTUP_H
#define OSAL_STARTUP_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

int osalBindLog(void);
int osalInit(void);

// Start-up steps of the families, in the order osalInit runs them.
void osalCpuStartup(void);
int timingInit(void);
int vmmStartup(void);
int msInit(void);
int threadStartup(void);
int perfStartupLocks(void);

OSAL_END_DECLS

#endif
