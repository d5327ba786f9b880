// Memory spaces: creation, the list of all spaces, per-space locking, site tracing and counters
// around the allocator.
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include "mspace_internal.h"
#include "mspace_list.h"
#include "osal/osal_assert.h"
#include "osal/vmm.h"

using namespace mspace;

// The record and the room closing its segment: a space must be given more than this.
static_assert(padRequest(sizeof(MSpaceRecord)) + topFootSize == 696);

namespace {

constinit size_t settledPageSize = 0;
constinit size_t settledGranularity = 0;
constinit int defaultTracing = 0;

constinit CRITICAL_SECTION listLock{};
constinit volatile LONG listLockState = 0; // 0 not made, 1 being made, 2 ready
constinit MSpaceRecord *spaces = nullptr;  // most recent first

bool isPowerOfTwo(size_t value) { return value != 0 && (value & (value - 1)) == 0; }

CRITICAL_SECTION *theListLock() {
    if (listLockState != 2) {
        if (InterlockedCompareExchange(&listLockState, 1, 0) == 0) {
            InitializeCriticalSectionAndSpinCount(&listLock, lockSpinCount);
            InterlockedExchange(&listLockState, 2);
        } else
            while (listLockState != 2)
                Sleep(0);
    }
    return &listLock;
}

// Takes the space's lock for the length of a scope when the space uses one.
class SpaceGuard {
public:
    explicit SpaceGuard(MSpaceRecord *m, bool always = false)
        : lock_(always || (m->allocatorFlags & useLockFlag) ? &m->lock : nullptr) {
        if (lock_ != nullptr)
            EnterCriticalSection(lock_);
    }
    ~SpaceGuard() {
        if (lock_ != nullptr)
            LeaveCriticalSection(lock_);
    }
    SpaceGuard(const SpaceGuard &) = delete;
    SpaceGuard &operator=(const SpaceGuard &) = delete;

private:
    CRITICAL_SECTION *lock_;
};

bool validSpace(MSpaceRecord *m, const char *operation) {
    if (m->magic == spaceMagic)
        return true;
    reportUsageError(m, m, operation);
    return false;
}

uintptr_t caller(void *address) { return reinterpret_cast<uintptr_t>(address); }

// Extra request for the site word, refusing what would overflow.
bool withSiteWord(MSpaceRecord *m, size_t size, size_t *request) {
    *request = size;
    if ((m->flags & tracingFlag) == 0)
        return true;
    if (size > maxRequest - sizeof(uintptr_t))
        return false;
    *request = size + sizeof(uintptr_t);
    return true;
}

void recordAllocation(MSpaceRecord *m, void *mem, size_t request, size_t size, uintptr_t site) {
    Chunk *p = memToChunk(mem);
    ++m->allocationCount;
    m->allocatedBytes += chunkSize(p);
    if (request != size) {
        *siteWordOf(p) = site;
        p->head |= carriesSite;
    }
}

void *allocateIn(MSpaceRecord *m, size_t size, uintptr_t site) {
    if (!validSpace(m, "msMalloc"))
        return nullptr;
    SpaceGuard guard(m);
    size_t request;
    if (!withSiteWord(m, size, &request))
        return nullptr;
    void *mem = mspace::allocate(m, request);
    if (mem != nullptr)
        recordAllocation(m, mem, request, size, site);
    return mem;
}

MSpace createSpace(MsAllocateFunc allocateMemory, MsFreeFunc releaseMemory, uintptr_t argument, size_t initialSize,
                   const char *name, bool locked, bool traced) {
    if (allocateMemory == nullptr || releaseMemory == nullptr)
        return nullptr;
    size_t page = pageSize();
    size_t size = initialSize < page ? page : initialSize;
    if (size > ~size_t{0} - (page - 1))
        return nullptr;
    size = (size + page - 1) & ~(page - 1);
    void *memory = allocateMemory(argument, &size);
    if (memory == nullptr || memory == reinterpret_cast<void *>(~uintptr_t{0}))
        return nullptr;

    char *base = static_cast<char *>(memory);
    Chunk *recordChunk = alignAsChunk(base);
    size_t recordSize = padRequest(sizeof(MSpaceRecord));
    size_t needed = static_cast<size_t>(reinterpret_cast<char *>(recordChunk) - base) + recordSize + topFootSize;
    if (size <= needed || size > maxRequest - needed - page) {
        releaseMemory(argument, memory, size);
        return nullptr;
    }

    auto *m = static_cast<MSpaceRecord *>(chunkToMem(recordChunk));
    memset(m, 0, sizeof *m);
    InitializeCriticalSectionAndSpinCount(&m->lock, lockSpinCount);
    if (name != nullptr) {
        strncpy(m->name, name, sizeof m->name - 1);
        m->name[sizeof m->name - 1] = '\0';
    }
    m->allocatorFlags = defaultAllocatorFlags;
    if (!locked && !traced)
        m->allocatorFlags &= ~useLockFlag;
    m->flags = traced ? tracingFlag | allTracedFlag : 0;
    initialiseState(m, base, size);
    // Every growth goes through the space's own callbacks.
    m->allocatorFlags &= ~separateLargeFlag;
    m->allocate = allocateMemory;
    m->release = releaseMemory;
    m->argument = argument;
    m->bytesObtained = size;
    m->segmentCount = 1;
    m->segmentBytes = size;

    EnterCriticalSection(theListLock());
    m->next = spaces;
    spaces = m;
    LeaveCriticalSection(theListLock());
    return m;
}

void *stdAllocate(uintptr_t argument, size_t *size) {
    if (argument != 0) {
        size_t rounded = (*size + argument - 1) / argument * argument;
        if (rounded < *size)
            return nullptr;
        *size = rounded;
    }
    return vmmAllocate(*size);
}

int stdFree(uintptr_t, void *base, size_t size) { return vmmFree(base, size) == 0 ? 0 : -1; }

} // namespace

namespace mspace {

size_t pageSize() {
    if (settledPageSize == 0)
        settleParameters();
    return settledPageSize;
}

size_t granularity() {
    if (settledGranularity == 0)
        settleParameters();
    return settledGranularity;
}

void settleParameters() {
    size_t page = vmmGetPageSize();
    size_t unit = vmmGetAllocationGranularity();
    if (!isPowerOfTwo(page) || !isPowerOfTwo(unit))
        abort();
    settledPageSize = page;
    settledGranularity = unit;
}

void reportUsageError(MSpaceRecord *m, const void *mem, const char *operation) {
    assertReport("block belongs to the space", __FILE__, __LINE__, operation, "bad pointer %p for memory space %p",
                 mem, static_cast<void *>(m));
}

void *stdAllocateCallback(uintptr_t argument, size_t *size) { return stdAllocate(argument, size); }
int stdFreeCallback(uintptr_t argument, void *base, size_t size) { return stdFree(argument, base, size); }

void initialiseSpaceList() { theListLock(); }

void setDefaultTracing(bool on) { defaultTracing = on ? 1 : 0; }
bool defaultTracingOn() { return defaultTracing != 0; }

MSpaceRecord *firstSpace() { return spaces; }

CRITICAL_SECTION *spaceListLock() { return theListLock(); }

bool lockAllSpaces(MSpaceRecord *except, bool wait) {
    CRITICAL_SECTION *list = theListLock();
    if (wait)
        EnterCriticalSection(list);
    else if (!TryEnterCriticalSection(list))
        return false;
    for (MSpaceRecord *m = spaces; m != nullptr; m = m->next) {
        if (m == except || (m->allocatorFlags & useLockFlag) == 0)
            continue;
        if (wait)
            EnterCriticalSection(&m->lock);
        else if (!TryEnterCriticalSection(&m->lock)) {
            for (MSpaceRecord *held = spaces; held != m; held = held->next)
                if (held != except && (held->allocatorFlags & useLockFlag) != 0)
                    LeaveCriticalSection(&held->lock);
            LeaveCriticalSection(list);
            return false;
        }
    }
    return true;
}

void unlockAllSpaces(MSpaceRecord *except) {
    for (MSpaceRecord *m = spaces; m != nullptr; m = m->next)
        if (m != except && (m->allocatorFlags & useLockFlag) != 0)
            LeaveCriticalSection(&m->lock);
    LeaveCriticalSection(theListLock());
}

void applyTracing(MSpaceRecord *m, bool on) {
    if (on) {
        m->flags |= tracingFlag;
        if (m->allocationCount == 0)
            m->flags |= allTracedFlag;
    } else
        m->flags &= ~(tracingFlag | allTracedFlag);
}

} // namespace mspace

MSpace msCreateMSpace(MsAllocateFunc allocate, MsFreeFunc release, uintptr_t argument, size_t initialSize,
                      const char *name) {
    return createSpace(allocate, release, argument, initialSize, name, true, defaultTracingOn());
}

MSpace msCreateMSpaceThreadUnsafe(MsAllocateFunc allocate, MsFreeFunc release, uintptr_t argument,
                                  size_t initialSize, const char *name) {
    return createSpace(allocate, release, argument, initialSize, name, false, defaultTracingOn());
}

MSpace msCreateMSpaceTraced(MsAllocateFunc allocate, MsFreeFunc release, uintptr_t argument, size_t initialSize,
                            const char *name) {
    return createSpace(allocate, release, argument, initialSize, name, true, true);
}

MSpace msCreateStdMSpace(size_t initialSize, const char *name) {
    return createSpace(stdAllocate, stdFree, 0, initialSize, name, true, defaultTracingOn());
}

MSpace msCreateStdMSpaceThreadUnsafe(size_t initialSize, const char *name) {
    return createSpace(stdAllocate, stdFree, 0, initialSize, name, false, defaultTracingOn());
}

void msDestroyMSpace(MSpace space) {
    if (space == nullptr || !validSpace(space, "msDestroyMSpace"))
        return;
    // Out of the list first, so that nobody who walks the list meets a lock being deleted.
    bool found = false;
    EnterCriticalSection(theListLock());
    for (MSpaceRecord **link = &spaces; *link != nullptr; link = &(*link)->next) {
        if (*link == space) {
            *link = space->next;
            found = true;
            break;
        }
    }
    LeaveCriticalSection(theListLock());
    if (!found) {
        assertReport("found", __FILE__, __LINE__, "remove_mspace", "mspace must be in list");
        return;
    }
    DeleteCriticalSection(&space->lock);
    space->magic = 0;

    MsFreeFunc releaseMemory = space->release;
    uintptr_t argument = space->argument;
    char *ownBase = nullptr;
    size_t ownSize = 0;
    // Each older segment's record lies in that segment's own tail, so next is read before it goes.
    for (Segment *sp = &space->segment; sp != nullptr;) {
        char *base = sp->base;
        size_t size = sp->size;
        Segment *next = sp->next;
        if (segmentHolds(sp, space)) {
            ownBase = base;
            ownSize = size;
        } else
            releaseMemory(argument, base, size);
        sp = next;
    }
    if (ownBase != nullptr)
        releaseMemory(argument, ownBase, ownSize);
}

void *msMalloc(MSpace space, size_t size) {
    if (space == nullptr)
        return malloc(size);
    return allocateIn(space, size, caller(__builtin_return_address(0)));
}

void *msMallocAt(MSpace space, size_t size, uintptr_t site) {
    if (space == nullptr)
        return malloc(size);
    return allocateIn(space, size, site);
}

namespace {

void *callocIn(MSpace space, size_t count, size_t size, uintptr_t site) {
    if (size != 0 && count > ~size_t{0} / size)
        return nullptr;
    if (space == nullptr)
        return calloc(count, size);
    void *mem = allocateIn(space, count * size, site);
    if (mem != nullptr)
        memset(mem, 0, usableSize(memToChunk(mem)));
    return mem;
}

void *reallocIn(MSpace space, void *block, size_t size, uintptr_t site) {
    if (space == nullptr)
        return realloc(block, size);
    if (block == nullptr)
        return allocateIn(space, size, site);
    if (!validSpace(space, "msRealloc"))
        return nullptr;
    SpaceGuard guard(space);
    if (!ownsBlock(space, block)) {
        reportUsageError(space, block, "msRealloc");
        return nullptr;
    }
    size_t request;
    if (!withSiteWord(space, size, &request))
        return nullptr;
    size_t oldSize = chunkSize(memToChunk(block));
    void *mem = mspace::reallocate(space, block, request);
    if (mem == nullptr)
        return nullptr;
    Chunk *p = memToChunk(mem);
    space->allocatedBytes += chunkSize(p) - oldSize;
    if (request != size) {
        *siteWordOf(p) = site;
        p->head |= carriesSite;
    }
    return mem;
}

void freeIn(MSpace space, void *block) {
    if (space == nullptr) {
        free(block);
        return;
    }
    if (block == nullptr || !validSpace(space, "msFree"))
        return;
    SpaceGuard guard(space);
    if (!ownsBlock(space, block)) {
        reportUsageError(space, block, "msFree");
        return;
    }
    Chunk *p = memToChunk(block);
    --space->allocationCount;
    space->allocatedBytes -= chunkSize(p);
    mspace::release(space, block);
}

} // namespace

void *msCalloc(MSpace space, size_t count, size_t size) {
    return callocIn(space, count, size, caller(__builtin_return_address(0)));
}

void *msCallocAt(MSpace space, size_t count, size_t size, uintptr_t site) { return callocIn(space, count, size, site); }

void *msRealloc(MSpace space, void *block, size_t size) {
    return reallocIn(space, block, size, caller(__builtin_return_address(0)));
}

void *msReallocAt(MSpace space, void *block, size_t size, uintptr_t site) {
    return reallocIn(space, block, size, site);
}

void *msMemalignAt(MSpace space, size_t wanted, size_t size, uintptr_t site) {
    if (space == nullptr)
        return wanted <= alignment ? malloc(size) : nullptr; // the runtime heap has no aligned form free() takes
    if (!validSpace(space, "msMemalignAt"))
        return nullptr;
    SpaceGuard guard(space);
    size_t request;
    if (!withSiteWord(space, size, &request))
        return nullptr;
    void *mem = allocateAligned(space, wanted, request);
    if (mem != nullptr)
        recordAllocation(space, mem, request, size, site);
    return mem;
}

void msFree(MSpace space, void *block) { freeIn(space, block); }

void msFreeAt(MSpace space, void *block, uintptr_t) { freeIn(space, block); }

size_t msBlockSize(MSpace space, const void *block) {
    if (block == nullptr)
        return 0;
    if (space == nullptr)
        return _msize(const_cast<void *>(block));
    return usableSize(memToChunk(block));
}

size_t msFootprint(MSpace space) { return space == nullptr ? 0 : space->footprint; }

size_t msMaxFootprint(MSpace space) { return space == nullptr ? 0 : space->maxFootprint; }

void msSetFootprintLimit(MSpace space, size_t bytes) {
    if (space == nullptr)
        return;
    SpaceGuard guard(space, true);
    space->footprintLimit = bytes;
}

int msFootprintLimitReached(MSpace space) {
    return space != nullptr && (space->flags & limitReachedFlag) != 0 ? 1 : 0;
}

const char *msName(MSpace space) { return space == nullptr ? "" : space->name; }

void msMSpaceStats(MSpace space, size_t *allocatedBytes, size_t *allocationCount) {
    size_t bytes = 0;
    size_t count = 0;
    if (space != nullptr) {
        SpaceGuard guard(space, true);
        bytes = space->allocatedBytes;
        count = space->allocationCount;
    }
    if (allocatedBytes != nullptr)
        *allocatedBytes = bytes;
    if (allocationCount != nullptr)
        *allocationCount = count;
}

void msMallinfo(MsMallinfo *out, MSpace space) {
    if (out == nullptr)
        return;
    if (space == nullptr) {
        memset(out, 0, sizeof *out);
        return;
    }
    SpaceGuard guard(space, true);
    summarise(space, out);
}

int msCheckOwnership(MSpace space, const void *address) {
    if (space == nullptr)
        return 0;
    SpaceGuard guard(space, true);
    return segmentHolding(space, address) != nullptr ? 1 : 0;
}

void msSetUnmapData(MSpace space, uintptr_t argument) {
    if (space == nullptr)
        return;
    SpaceGuard guard(space, true);
    space->argument = argument;
}

int msIsTracingAllocSites(MSpace space) { return space != nullptr && (space->flags & tracingFlag) != 0 ? 1 : 0; }

void msSetDefaultTracing(int on) { setDefaultTracing(on != 0); }

void msSetTracing(MSpace space, int on) {
    if (space == nullptr)
        return;
    SpaceGuard guard(space, true);
    applyTracing(space, on != 0);
}

void msSetTracingForAll(int on) {
    lockAllSpaces(nullptr, true);
    setDefaultTracing(on != 0);
    for (MSpaceRecord *m = firstSpace(); m != nullptr; m = m->next) {
        if ((m->allocatorFlags & useLockFlag) == 0)
            continue;
        if (on && (m->flags & tracingFlag) != 0)
            continue;
        applyTracing(m, on != 0);
    }
    unlockAllSpaces(nullptr);
}
