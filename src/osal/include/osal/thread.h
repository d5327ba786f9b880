// Threads and thread-local storage.
#ifndef OSAL_THREAD_H
#define OSAL_THREAD_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

void threadYield(void);

OSAL_END_DECLS

#endif
