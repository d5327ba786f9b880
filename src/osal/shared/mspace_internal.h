// The inside of a memory space: boundary-tagged chunks in segments, 32 small bins of exact sizes,
// 32 bitwise trees of larger free chunks, a designated victim and a top chunk per space.
#ifndef OSAL_MSPACE_INTERNAL_H
#define OSAL_MSPACE_INTERNAL_H

#include <windows.h>

#include "osal/mspace.h"

namespace mspace {

constexpr size_t wordSize = sizeof(size_t);
constexpr size_t alignment = 8;
constexpr size_t alignMask = alignment - 1;
constexpr size_t chunkOverhead = wordSize; // an in-use chunk lends its successor's first word
constexpr size_t minChunkSize = 16;
constexpr size_t memOffset = 2 * wordSize;
constexpr size_t maxRequest = static_cast<size_t>(-static_cast<ptrdiff_t>(minChunkSize)) << 2;
constexpr size_t minRequest = minChunkSize - chunkOverhead - 1;

constexpr unsigned smallBinCount = 32;
constexpr unsigned treeBinCount = 32;
constexpr unsigned smallBinShift = 3;
constexpr unsigned treeBinShift = 8;
constexpr size_t minLargeSize = size_t{1} << treeBinShift;
constexpr size_t maxSmallSize = minLargeSize - 1;
constexpr size_t maxSmallRequest = maxSmallSize - alignMask - chunkOverhead;

// Header bits of a chunk.
constexpr size_t prevInUse = 1;
constexpr size_t thisInUse = 2;
constexpr size_t carriesSite = 4; // the block's last word holds its allocation site
constexpr size_t inUseBits = prevInUse | thisInUse;
constexpr size_t flagBits = 7;
constexpr size_t fenceHead = inUseBits | wordSize;

// Allocator flags.
constexpr unsigned useLockFlag = 1;
constexpr unsigned separateLargeFlag = 2;
constexpr unsigned nonContiguousFlag = 4;
constexpr unsigned defaultAllocatorFlags = useLockFlag | separateLargeFlag | nonContiguousFlag;

// Space flags.
constexpr unsigned tracingFlag = 1;
constexpr unsigned allTracedFlag = 2;
constexpr unsigned limitReachedFlag = 4;

constexpr size_t spaceMagic = 0x58585858;
constexpr size_t separateLargeThreshold = 0x40000;
constexpr size_t trimThreshold = 0x200000;
constexpr DWORD lockSpinCount = 4000;

struct __attribute__((may_alias)) Chunk {
    size_t prevFoot; // size of the previous chunk when it is free
    size_t head;     // size and header bits
    Chunk *fd;       // free chunks only
    Chunk *bk;
};

struct __attribute__((may_alias)) TreeChunk {
    size_t prevFoot;
    size_t head;
    TreeChunk *fd;
    TreeChunk *bk;
    TreeChunk *child[2];
    TreeChunk *parent; // null for a chunk that waits in the ring of an equal-sized tree node
    unsigned index;
};

struct Segment {
    char *base;
    size_t size;
    Segment *next;
    unsigned flags;
};

constexpr size_t padRequest(size_t request) { return (request + chunkOverhead + alignMask) & ~alignMask; }
constexpr size_t requestToSize(size_t request) { return request < minRequest ? minChunkSize : padRequest(request); }

// Room kept at the end of a segment for the record of another segment and fence headers.
constexpr size_t topFootSize = padRequest(sizeof(Segment)) + minChunkSize;
static_assert(topFootSize == 40);

struct BinHeader {
    Chunk *fd;
    Chunk *bk;
};

} // namespace mspace

struct MSpaceRecord {
    // The allocator's own state.
    unsigned smallMap;
    unsigned treeMap;
    size_t dvSize;
    size_t topSize;
    char *leastAddress;
    mspace::Chunk *dv; // the designated victim: the last remainder of a small split
    mspace::Chunk *top;
    size_t trimCheck;
    size_t magic;
    mspace::BinHeader smallBins[mspace::smallBinCount + 1];
    mspace::TreeChunk *treeBins[mspace::treeBinCount];
    size_t footprint;
    size_t maxFootprint;
    unsigned allocatorFlags;
    mspace::Segment segment; // the newest segment; older ones chain from it

    CRITICAL_SECTION lock;
    MsAllocateFunc allocate;
    MsFreeFunc release;
    uintptr_t argument;
    size_t bytesObtained;
    char name[128];
    size_t allocationCount;
    size_t allocatedBytes;
    size_t segmentCount;
    size_t segmentBytes;
    size_t footprintLimit;
    MSpaceRecord *next;
    unsigned flags;
};

namespace mspace {

inline Chunk *memToChunk(const void *mem) {
    return reinterpret_cast<Chunk *>(const_cast<char *>(static_cast<const char *>(mem)) - memOffset);
}
inline void *chunkToMem(const void *chunk) {
    return const_cast<char *>(static_cast<const char *>(chunk)) + memOffset;
}
inline size_t chunkSize(const Chunk *chunk) { return chunk->head & ~flagBits; }
inline Chunk *chunkAt(const void *base, size_t offset) {
    return reinterpret_cast<Chunk *>(const_cast<char *>(static_cast<const char *>(base)) + offset);
}
inline Chunk *nextChunk(const Chunk *chunk) { return chunkAt(chunk, chunkSize(chunk)); }
inline bool isInUse(const Chunk *chunk) { return (chunk->head & thisInUse) != 0; }
inline bool isPrevInUse(const Chunk *chunk) { return (chunk->head & prevInUse) != 0; }
inline size_t alignOffset(const void *address) {
    size_t a = reinterpret_cast<uintptr_t>(address) & alignMask;
    return a == 0 ? 0 : (alignment - a) & alignMask;
}
inline Chunk *alignAsChunk(const void *base) {
    return chunkAt(base, alignOffset(static_cast<const char *>(base) + memOffset));
}
// Where the site word of an in-use chunk lies: its last usable word.
inline uintptr_t *siteWordOf(const Chunk *chunk) {
    return reinterpret_cast<uintptr_t *>(reinterpret_cast<char *>(const_cast<Chunk *>(chunk)) + chunkSize(chunk));
}
inline bool segmentHolds(const Segment *segment, const void *address) {
    const char *a = static_cast<const char *>(address);
    return a >= segment->base && a < segment->base + segment->size;
}

// Usable bytes of an in-use chunk, without its site word.
inline size_t usableSize(const Chunk *chunk) {
    return chunkSize(chunk) - chunkOverhead - ((chunk->head & carriesSite) ? sizeof(uintptr_t) : 0);
}

// The allocator proper, called with the space's lock held where the space uses one.
void initialiseState(MSpaceRecord *m, char *base, size_t size);
void *allocate(MSpaceRecord *m, size_t bytes);
void release(MSpaceRecord *m, void *mem);
void *reallocate(MSpaceRecord *m, void *mem, size_t bytes);
void *allocateAligned(MSpaceRecord *m, size_t alignment, size_t bytes);
bool ownsBlock(MSpaceRecord *m, const void *mem);
void summarise(MSpaceRecord *m, MsMallinfo *out);
Segment *segmentHolding(MSpaceRecord *m, const void *address);

// Page size and allocation granularity, settled once (both powers of two).
size_t pageSize();
size_t granularity();
void settleParameters();

void reportUsageError(MSpaceRecord *m, const void *mem, const char *operation);

// Checks every invariant of the space; returns a description of the first fault found, or null.
const char *checkConsistency(MSpaceRecord *m);

} // namespace mspace

#endif
