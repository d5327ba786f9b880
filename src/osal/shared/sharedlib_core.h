// The loader behind every way the OS layer loads a native library.
#ifndef OSAL_SHAREDLIB_CORE_H
#define OSAL_SHAREDLIB_CORE_H

#include "osal/sharedlib.h"

OSAL_BEGIN_DECLS

// A bare name has no '\' or ';' and does not end in ".dll" (any case).
int osalIsBareLibraryName(const char *name);

// Loads name (unless skipPlain), then, for a bare name, from the directory of the module holding
// address. On failure the error text goes to errorBuffer when there is one.
void *osalLoadLibraryCore(int alteredSearchPath, const void *address, const char *name, char *errorBuffer,
                          int errorSize, int skipPlain);

OSAL_END_DECLS

#endif
