// Loading native libraries and finding their entries.
#ifndef OSAL_SHAREDLIB_H
#define OSAL_SHAREDLIB_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

void *sharedlibLoad(const char *name, char *errorBuffer, int errorSize);
// Loads from the directory of the module that makes the call.
void *sharedlibLoadEx(const char *name, char *errorBuffer, int errorSize);
void *sharedlibSystemLoad(const char *fileName, char *errorBuffer, int errorSize);
int sharedlibUnload(void *handle);
void *sharedlibFindEntry(void *handle, const char *entryName);
int sharedLibGetDLLPath(char *buffer, int size, const void *address);
int sharedlibMapLibraryName(const char *name, char *buffer, int size);

OSAL_END_DECLS

#endif
