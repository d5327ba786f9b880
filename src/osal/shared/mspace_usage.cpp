// The usage database: a snapshot of what every memory space holds and, in traced spaces, which
// allocation sites own how much of it.
#include <stdlib.h>
#include <string.h>

#include "mspace_list.h"
#include "osal/osal_assert.h"

using namespace mspace;

namespace {

constexpr size_t tableGrowth = 100;
constexpr size_t ownSiteCapacity = 100;
constexpr size_t ownSegmentCapacity = 1024;

// Where an entry's tables live and whether they may grow while the walk goes on.
struct Tables {
    MSpace space;
    bool canGrow;
};

template <typename T> bool growTable(const Tables &tables, T *&table, size_t &capacity) {
    if (!tables.canGrow || tables.space == nullptr)
        return false;
    if (capacity > (~size_t{0} / sizeof(T)) - tableGrowth)
        return false;
    void *grown = msRealloc(tables.space, table, (capacity + tableGrowth) * sizeof(T));
    if (grown == nullptr)
        return false;
    table = static_cast<T *>(grown);
    capacity += tableGrowth;
    return true;
}

// False only when the table had to grow and could not.
bool addSite(const Tables &tables, MSpaceUsage *entry, uintptr_t site, size_t bytes) {
    size_t low = 0;
    size_t high = entry->siteCount;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (entry->sites[middle].site < site)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < entry->siteCount && entry->sites[low].site == site) {
        entry->sites[low].bytes += bytes;
        ++entry->sites[low].blocks;
        return true;
    }
    if (entry->siteCount == entry->siteCapacity && !growTable(tables, entry->sites, entry->siteCapacity))
        return tables.space == nullptr || !tables.canGrow; // a fixed table drops the new site
    memmove(entry->sites + low + 1, entry->sites + low, (entry->siteCount - low) * sizeof *entry->sites);
    entry->sites[low] = {site, bytes, 1};
    ++entry->siteCount;
    return true;
}

bool addSegment(const Tables &tables, MSpaceUsage *entry, void *base, size_t size) {
    if (entry->segmentCount == entry->segmentCapacity &&
        !growTable(tables, entry->segments, entry->segmentCapacity))
        return tables.space == nullptr || !tables.canGrow;
    entry->segments[entry->segmentCount++] = {base, size};
    return true;
}

void walkChunks(MSpaceRecord *m, Segment *sp, const Tables &tables, MSpaceUsage *entry, bool &ok) {
    Chunk *q = alignAsChunk(sp->base);
    while (segmentHolds(sp, q) && q->head != fenceHead) {
        if (q == m->top) {
            entry->freeBytes += m->topSize;
            return;
        }
        size_t size = chunkSize(q);
        if (size == 0)
            return;
        if (!isInUse(q))
            entry->freeBytes += size;
        else if (q->head & carriesSite) {
            entry->tracedBytes += size;
            ++entry->tracedBlocks;
            if (!addSite(tables, entry, *siteWordOf(q), size))
                ok = false;
        }
        q = chunkAt(q, size);
    }
}

// Fills an entry; the caller holds the space's lock when walked is true.
bool fillEntry(MSpaceRecord *m, const Tables &tables, MSpaceUsage *entry, bool walked) {
    bool ok = true;
    entry->space = m;
    memcpy(entry->name, m->name, sizeof entry->name);
    entry->tracing = (m->flags & tracingFlag) != 0;
    entry->allTraced = (m->flags & allTracedFlag) != 0;
    entry->locked = (m->allocatorFlags & useLockFlag) != 0;
    for (Segment *sp = &m->segment; sp != nullptr; sp = sp->next) {
        if (!addSegment(tables, entry, sp->base, sp->size))
            ok = false;
        entry->segmentBytes += sp->size;
        if (walked)
            walkChunks(m, sp, tables, entry, ok);
    }
    if (!walked || !entry->tracing) {
        entry->tracedBlocks = m->allocationCount;
        entry->tracedBytes = m->allocatedBytes;
        if (!walked)
            entry->freeBytes = 0;
        entry->siteCount = 0;
        if (!addSite(tables, entry, 0, entry->tracedBytes))
            ok = false;
        if (entry->siteCount == 1)
            entry->sites[0].blocks = entry->tracedBlocks;
    }
    entry->otherBytes = entry->segmentBytes - entry->tracedBytes - entry->freeBytes;
    return ok;
}

void freeTables(MSpace space, MSpaceUsage *entry) {
    msFree(space, entry->sites);
    msFree(space, entry->segments);
    entry->sites = nullptr;
    entry->segments = nullptr;
    entry->siteCount = entry->siteCapacity = 0;
    entry->segmentCount = entry->segmentCapacity = 0;
}

// Tables made up front for a space whose own walk must not allocate in it.
bool presize(MSpace space, MSpaceUsage *entry) {
    entry->sites = static_cast<MsSiteUsage *>(msCalloc(space, ownSiteCapacity, sizeof(MsSiteUsage)));
    entry->segments = static_cast<MsSegmentUsage *>(msMalloc(space, ownSegmentCapacity * sizeof(MsSegmentUsage)));
    if (entry->sites == nullptr || entry->segments == nullptr) {
        freeTables(space, entry);
        return false;
    }
    entry->siteCapacity = ownSiteCapacity;
    entry->segmentCapacity = ownSegmentCapacity;
    return true;
}

void freeDatabase(MSpacesUsageDatabase *database) {
    MSpace space = database->space;
    if (database->entries != nullptr) {
        for (size_t i = 0; i < database->count; ++i)
            freeTables(space, &database->entries[i]);
        msFree(space, database->entries);
    }
    msFree(space, database);
}

MSpacesUsageDatabase *gather(MSpace databaseSpace) {
    auto *database = static_cast<MSpacesUsageDatabase *>(msCalloc(databaseSpace, 1, sizeof(MSpacesUsageDatabase)));
    if (database == nullptr)
        return nullptr;
    database->space = databaseSpace;
    size_t count = 0;
    for (MSpaceRecord *m = firstSpace(); m != nullptr; m = m->next)
        ++count;
    database->entries = static_cast<MSpaceUsage *>(msCalloc(databaseSpace, count == 0 ? 1 : count, sizeof(MSpaceUsage)));
    if (database->entries == nullptr) {
        freeDatabase(database);
        return nullptr;
    }
    database->count = count;

    long ownIndex = -1;
    size_t i = 0;
    for (MSpaceRecord *m = firstSpace(); m != nullptr; m = m->next, ++i) {
        if (m == databaseSpace) {
            ownIndex = static_cast<long>(i);
            continue;
        }
        bool walked = (m->allocatorFlags & useLockFlag) != 0;
        if (!fillEntry(m, {databaseSpace, true}, &database->entries[i], walked)) {
            freeDatabase(database);
            return nullptr;
        }
    }
    long alloc_i = ownIndex;
    if (alloc_i == -1) {
        assertReport("alloc_i != -1", __FILE__, __LINE__, "msGatherMSpacesUsageDatabase", nullptr);
        freeDatabase(database);
        return nullptr;
    }
    MSpaceUsage *own = &database->entries[ownIndex];
    if (!presize(databaseSpace, own)) {
        freeDatabase(database);
        return nullptr;
    }
    {
        EnterCriticalSection(&databaseSpace->lock);
        fillEntry(databaseSpace, {databaseSpace, false}, own, true);
        LeaveCriticalSection(&databaseSpace->lock);
    }
    return database;
}

} // namespace

MSpacesUsageDatabase *msGatherMSpacesUsageDatabase(MSpace databaseSpace, int wait) {
    if (!lockAllSpaces(databaseSpace, wait != 0))
        return nullptr;
    MSpacesUsageDatabase *database = gather(databaseSpace);
    unlockAllSpaces(databaseSpace);
    return database;
}

void msGetMSpaceDatabase(MSpace databaseSpace, MSpace space, MSpaceUsage *entry) {
    if (entry == nullptr)
        return;
    memset(entry, 0, sizeof *entry);
    if (space == nullptr)
        return;
    bool own = space == databaseSpace;
    if (own && !presize(databaseSpace, entry))
        return;
    EnterCriticalSection(&space->lock);
    fillEntry(space, {databaseSpace, !own}, entry, true);
    LeaveCriticalSection(&space->lock);
}

void msFreeMSpaceDatabase(MSpace databaseSpace, MSpaceUsage *entry) {
    if (entry != nullptr)
        freeTables(databaseSpace, entry);
}

void msFreeMSpacesUsageDatabase(MSpacesUsageDatabase *database) {
    if (database != nullptr)
        freeDatabase(database);
}
