#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "global_space.h"
#include "mspace_list.h"
#include "osal/osal_assert.h"
#include "startup.h"

namespace {

// Above this a chunk size can only make every growth of the global space fail.
constexpr long largestGlobalChunkSize = 0x40000000;

bool truthOf(const char *text) { return strcmp(text, "1") == 0 || _stricmp(text, "true") == 0; }

void readGlobalChunkSize(const char *text) {
    char *end = nullptr;
    long value = strtol(text, &end, 10);
    if (end == text)
        value = 0;
    if (value <= 0 || value > largestGlobalChunkSize) {
        assertReport("min_global_chunk_size != 0", __FILE__, __LINE__, "msInit",
                     "Bad value for MSMALLOC_GLOBAL_CHUNK_SIZE");
        if (value != 0)
            return; // a negative or huge size is refused: growth keeps the chunk size it had
    }
    size_t page = mspace::pageSize();
    mspace::setGlobalChunkSize((static_cast<size_t>(value) + page - 1) & ~(page - 1));
}

} // namespace

int msInit(void) {
    mspace::setDefaultTracing(false);
    mspace::initialiseSpaceList();
    bool useRuntimeHeap = true;
    if (const char *text = getenv("TRACE_ALLOC_SITES"))
        mspace::setDefaultTracing(truthOf(text));
    if (const char *text = getenv("USE_OS_MALLOC"))
        useRuntimeHeap = truthOf(text);
    mspace::settleParameters();
    if (useRuntimeHeap)
        return OSAL_OK;

    size_t chunk = mspace::globalChunkSize();
    MSpace space = msCreateMSpace(mspace::globalAllocateCallback, mspace::globalFreeCallback, 0,
                                  chunk > mspace::minimumGlobalFirstSegment ? chunk
                                                                            : mspace::minimumGlobalFirstSegment,
                                  "Vantrel malloc");
    if (space == nullptr) {
        fputs("Could not create global mspace", stderr);
        return -1;
    }
    mspace::setGlobalSpace(space);
    if (const char *text = getenv("MSMALLOC_GLOBAL_CHUNK_SIZE"))
        readGlobalChunkSize(text);
    return OSAL_OK;
}
