// The global memory space and the gs functions, which fall back on the runtime heap while there
// is no global space.
#include "global_space.h"

#include "mspace_list.h"

namespace {

constinit MSpace theGlobalSpace = nullptr;
constinit size_t growthChunkSize = mspace::defaultGlobalChunkSize;

uintptr_t caller(void *address) { return reinterpret_cast<uintptr_t>(address); }

} // namespace

namespace mspace {

void *globalAllocateCallback(uintptr_t argument, size_t *size) {
    if (*size < growthChunkSize)
        *size = growthChunkSize;
    return stdAllocateCallback(argument, size);
}

int globalFreeCallback(uintptr_t argument, void *base, size_t size) { return stdFreeCallback(argument, base, size); }

size_t globalChunkSize() { return growthChunkSize; }
void setGlobalChunkSize(size_t size) { growthChunkSize = size; }
void setGlobalSpace(MSpace space) { theGlobalSpace = space; }

} // namespace mspace

MSpace globalMSpace(void) { return theGlobalSpace; }

void *gsMalloc(size_t size) { return msMallocAt(theGlobalSpace, size, caller(__builtin_return_address(0))); }

void *gsMallocAt(size_t size, uintptr_t site) { return msMallocAt(theGlobalSpace, size, site); }

void *gsCalloc(size_t count, size_t size) {
    return msCallocAt(theGlobalSpace, count, size, caller(__builtin_return_address(0)));
}

void *gsCallocAt(size_t count, size_t size, uintptr_t site) { return msCallocAt(theGlobalSpace, count, size, site); }

void *gsRealloc(void *block, size_t size) {
    return msReallocAt(theGlobalSpace, block, size, caller(__builtin_return_address(0)));
}

void *gsReallocAt(void *block, size_t size, uintptr_t site) { return msReallocAt(theGlobalSpace, block, size, site); }

void gsFree(void *block) { msFree(theGlobalSpace, block); }

void gsFreeAt(void *block, uintptr_t site) { msFreeAt(theGlobalSpace, block, site); }
