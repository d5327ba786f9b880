// Error codes of the calling thread and their texts.
#ifndef OSAL_OS_ERROR_H
#define OSAL_OS_ERROR_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

int osGetErrorString(unsigned int code, char *buffer, int size);
int osGetLastError(void);
void osSetLastError(int code);
int osGetLastErrorString(char *buffer, int size);

OSAL_END_DECLS

#endif
