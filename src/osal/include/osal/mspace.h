// Memory spaces: independent heaps with their own lock, source of system memory and name.
// A null space means the C runtime's heap; the gs functions act on the global space, which is
// the runtime heap too unless USE_OS_MALLOC is false at start-up.
#ifndef OSAL_MSPACE_H
#define OSAL_MSPACE_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

typedef struct MSpaceRecord *MSpace;

// Gives the base of at least *size bytes and may enlarge *size; null (or all ones) is failure.
typedef void *(*MsAllocateFunc)(uintptr_t argument, size_t *size);
// Returns 0 when the range went back to the system.
typedef int (*MsFreeFunc)(uintptr_t argument, void *base, size_t size);

// The summary of a space in the shape of the classic mallinfo record.
typedef struct MsMallinfo {
    size_t arena;    // bytes in chunks of all segments
    size_t ordblks;  // free chunks, the top one included
    size_t smblks;
    size_t hblks;
    size_t hblkhd;   // bytes held but not in chunks
    size_t usmblks;  // highest footprint
    size_t fsmblks;
    size_t uordblks; // bytes in use
    size_t fordblks; // bytes free
    size_t keepcost; // the top chunk
} MsMallinfo;

MSpace msCreateMSpace(MsAllocateFunc allocate, MsFreeFunc release, uintptr_t argument, size_t initialSize,
                      const char *name);
MSpace msCreateMSpaceThreadUnsafe(MsAllocateFunc allocate, MsFreeFunc release, uintptr_t argument,
                                  size_t initialSize, const char *name);
MSpace msCreateMSpaceTraced(MsAllocateFunc allocate, MsFreeFunc release, uintptr_t argument, size_t initialSize,
                            const char *name);
MSpace msCreateStdMSpace(size_t initialSize, const char *name);
MSpace msCreateStdMSpaceThreadUnsafe(size_t initialSize, const char *name);
void msDestroyMSpace(MSpace space);

void *msMalloc(MSpace space, size_t size);
void *msMallocAt(MSpace space, size_t size, uintptr_t site);
void *msCalloc(MSpace space, size_t count, size_t size);
void *msCallocAt(MSpace space, size_t count, size_t size, uintptr_t site);
void *msRealloc(MSpace space, void *block, size_t size);
void *msReallocAt(MSpace space, void *block, size_t size, uintptr_t site);
void *msMemalignAt(MSpace space, size_t alignment, size_t size, uintptr_t site);
void msFree(MSpace space, void *block);
void msFreeAt(MSpace space, void *block, uintptr_t site);

void *gsMalloc(size_t size);
void *gsMallocAt(size_t size, uintptr_t site);
void *gsCalloc(size_t count, size_t size);
void *gsCallocAt(size_t count, size_t size, uintptr_t site);
void *gsRealloc(void *block, size_t size);
void *gsReallocAt(void *block, size_t size, uintptr_t site);
void gsFree(void *block);
void gsFreeAt(void *block, uintptr_t site);
MSpace globalMSpace(void);

size_t msBlockSize(MSpace space, const void *block);
size_t msFootprint(MSpace space);
size_t msMaxFootprint(MSpace space);
void msSetFootprintLimit(MSpace space, size_t bytes);
int msFootprintLimitReached(MSpace space);
const char *msName(MSpace space);
void msMSpaceStats(MSpace space, size_t *allocatedBytes, size_t *allocationCount);
void msMallinfo(MsMallinfo *out, MSpace space);
int msCheckOwnership(MSpace space, const void *address);
void msSetUnmapData(MSpace space, uintptr_t argument);
int msIsTracingAllocSites(MSpace space);
void msSetDefaultTracing(int on);
void msSetTracing(MSpace space, int on);
void msSetTracingForAll(int on);

// The usage database: what every space holds, and per allocation site in traced spaces.
typedef struct MsSiteUsage {
    uintptr_t site;
    size_t bytes;
    size_t blocks;
} MsSiteUsage;

typedef struct MsSegmentUsage {
    void *base;
    size_t size;
} MsSegmentUsage;

typedef struct MSpaceUsage {
    MSpace space;
    MsSiteUsage *sites; // sorted by site
    size_t siteCount;
    size_t siteCapacity;
    MsSegmentUsage *segments;
    size_t segmentCount;
    size_t segmentCapacity;
    char name[128];
    size_t segmentBytes;
    size_t tracedBytes;
    size_t freeBytes;
    size_t otherBytes; // segment bytes - traced bytes - free bytes
    size_t tracedBlocks;
    int tracing;
    int allTraced;
    int locked;
} MSpaceUsage;

typedef struct MSpacesUsageDatabase {
    MSpace space; // where the database itself lives
    size_t count;
    MSpaceUsage *entries; // one per space, in list order
} MSpacesUsageDatabase;

MSpacesUsageDatabase *msGatherMSpacesUsageDatabase(MSpace databaseSpace, int wait);
void msGetMSpaceDatabase(MSpace databaseSpace, MSpace space, MSpaceUsage *entry);
void msFreeMSpaceDatabase(MSpace databaseSpace, MSpaceUsage *entry);
void msFreeMSpacesUsageDatabase(MSpacesUsageDatabase *database);

OSAL_END_DECLS

#endif
