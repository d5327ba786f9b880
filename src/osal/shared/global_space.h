// The global memory space's settings, set once at start-up.
#ifndef OSAL_GLOBAL_SPACE_H
#define OSAL_GLOBAL_SPACE_H

#include "osal/mspace.h"

namespace mspace {

constexpr size_t defaultGlobalChunkSize = 0x800000;
constexpr size_t minimumGlobalFirstSegment = 0x100000;

// As the standard callbacks, but every growth asks for at least the global chunk size.
void *globalAllocateCallback(uintptr_t argument, size_t *size);
int globalFreeCallback(uintptr_t argument, void *base, size_t size);

size_t globalChunkSize();
void setGlobalChunkSize(size_t size);
void setGlobalSpace(MSpace space);

} // namespace mspace

#endif
