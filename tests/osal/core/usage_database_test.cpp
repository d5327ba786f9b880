// The usage database: every space's holdings, its sites, and the locking around the gathering.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "mspace_support.h"
#include "osal/mspace.h"

namespace {

const MSpaceUsage *entryFor(const MSpacesUsageDatabase *database, MSpace space) {
    for (size_t i = 0; i < database->count; ++i)
        if (database->entries[i].space == space)
            return &database->entries[i];
    return nullptr;
}

// Growth callbacks that hold the growing thread, and with it the space's lock, until let go.
HANDLE growing = nullptr;
HANDLE letGo = nullptr;

void *stallingAllocate(uintptr_t argument, size_t *size) {
    if (argument != 0) {
        SetEvent(growing);
        WaitForSingleObject(letGo, INFINITE);
    }
    return vmmAllocate(*size);
}

} // namespace

TEST(UsageDatabase, EverySpaceIsListedWithItsHoldings) {
    MSpace database = msCreateStdMSpace(0, "database");
    MSpace plain = msCreateStdMSpace(0, "plain space");
    MSpace traced = msCreateMSpaceTraced(pagesAllocate, pagesFree, 0, 0, "traced space");
    MSpace unsafe = msCreateStdMSpaceThreadUnsafe(0, "unsafe space");
    void *a = msMalloc(plain, 1000);
    void *b = msMallocAt(traced, 100, 0x3000);
    void *c = msMallocAt(traced, 200, 0x1000);
    void *d = msMallocAt(traced, 300, 0x3000);
    void *e = msMalloc(unsafe, 500);
    msFree(traced, msMallocAt(traced, 5000, 0x2000)); // leaves a free chunk

    MSpacesUsageDatabase *db = msGatherMSpacesUsageDatabase(database, 1);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->space, database);
    ASSERT_GE(db->count, 4u);
    EXPECT_EQ(db->entries[0].space, unsafe) << "most recent first";
    for (size_t i = 0; i < db->count; ++i) {
        const MSpaceUsage &entry = db->entries[i];
        EXPECT_EQ(entry.segmentBytes, entry.tracedBytes + entry.freeBytes + entry.otherBytes) << entry.name;
        EXPECT_EQ(entry.segmentBytes, msFootprint(entry.space)) << entry.name;
        ASSERT_GE(entry.segmentCount, 1u);
        EXPECT_STREQ(entry.name, msName(entry.space));
    }

    const MSpaceUsage *p = entryFor(db, plain);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->tracing, 0);
    EXPECT_EQ(p->locked, 1);
    ASSERT_EQ(p->siteCount, 1u) << "one record for a space that never traced";
    EXPECT_EQ(p->sites[0].site, 0u);
    EXPECT_EQ(p->sites[0].bytes, 1008u);
    EXPECT_EQ(p->sites[0].blocks, 1u);
    EXPECT_GT(p->freeBytes, 0u);

    const MSpaceUsage *t = entryFor(db, traced);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->tracing, 1);
    EXPECT_EQ(t->allTraced, 1);
    ASSERT_EQ(t->siteCount, 2u);
    EXPECT_EQ(t->sites[0].site, 0x1000u) << "sorted by site";
    EXPECT_EQ(t->sites[0].blocks, 1u);
    EXPECT_EQ(t->sites[0].bytes, 208u);
    EXPECT_EQ(t->sites[1].site, 0x3000u);
    EXPECT_EQ(t->sites[1].blocks, 2u);
    EXPECT_EQ(t->sites[1].bytes, 112u + 312u);
    EXPECT_EQ(t->tracedBlocks, 3u);

    const MSpaceUsage *u = entryFor(db, unsafe);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->locked, 0);
    EXPECT_EQ(u->freeBytes, 0u) << "a space without a lock is not walked";
    EXPECT_EQ(u->tracedBytes, 504u);

    const MSpaceUsage *own = entryFor(db, database);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->siteCapacity, 100u);
    EXPECT_EQ(own->segmentCapacity, 1024u);
    msFreeMSpacesUsageDatabase(db);
    size_t bytes = 1, count = 1;
    msMSpaceStats(database, &bytes, &count);
    EXPECT_EQ(count, 0u) << "the database goes back whole";
    EXPECT_SPACE_SOUND(database);

    msFree(plain, a);
    msFree(traced, b);
    msFree(traced, c);
    msFree(traced, d);
    msFree(unsafe, e);
    for (MSpace space : {unsafe, traced, plain, database})
        msDestroyMSpace(space);
}

TEST(UsageDatabase, ADatabaseOutsideTheListIsRefused) {
    AssertCatcher catcher;
    EXPECT_EQ(msGatherMSpacesUsageDatabase(nullptr, 1), nullptr);
    EXPECT_EQ(AssertCatcher::reports, 1);
    EXPECT_EQ(AssertCatcher::lastExpression, "alloc_i != -1");
    EXPECT_EQ(AssertCatcher::lastFunction, "msGatherMSpacesUsageDatabase");
    MSpace space = msCreateStdMSpace(0, "after refusal");
    EXPECT_NE(space, nullptr) << "the list lock was let go";
    msDestroyMSpace(space);
}

TEST(UsageDatabase, GatheringWithoutWaitingGivesUpOnABusySpace) {
    growing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    MSpace database = msCreateStdMSpace(0, "database");
    MSpace busy = msCreateMSpace(stallingAllocate, pagesFree, 0, 0, "busy");
    MSpace other = msCreateStdMSpace(0, "other");
    msSetUnmapData(busy, 1); // from now on growth stalls
    std::thread holder([&] { msFree(busy, msMalloc(busy, 1000000)); });
    ASSERT_EQ(WaitForSingleObject(growing, 10000), WAIT_OBJECT_0);

    EXPECT_EQ(msGatherMSpacesUsageDatabase(database, 0), nullptr);
    // Nothing taken on the way stays taken.
    void *block = msMalloc(other, 100);
    EXPECT_NE(block, nullptr);
    msFree(other, block);
    MSpace created = msCreateStdMSpace(0, "created meanwhile");
    EXPECT_NE(created, nullptr);
    msDestroyMSpace(created);

    SetEvent(letGo);
    holder.join();
    msSetUnmapData(busy, 0);
    MSpacesUsageDatabase *db = msGatherMSpacesUsageDatabase(database, 0);
    ASSERT_NE(db, nullptr);
    msFreeMSpacesUsageDatabase(db);
    for (MSpace space : {other, busy, database})
        msDestroyMSpace(space);
    CloseHandle(growing);
    CloseHandle(letGo);
}

TEST(UsageDatabase, TracingForAllReachesEveryLockedSpace) {
    MSpace locked = msCreateStdMSpace(0, "locked");
    MSpace unsafe = msCreateStdMSpaceThreadUnsafe(0, "unsafe");
    void *block = msMalloc(locked, 10);
    msSetTracingForAll(1);
    EXPECT_EQ(msIsTracingAllocSites(locked), 1);
    EXPECT_EQ(msIsTracingAllocSites(unsafe), 0) << "only spaces that use their lock";
    MSpace later = msCreateStdMSpace(0, "later");
    EXPECT_EQ(msIsTracingAllocSites(later), 1) << "the default changes too";
    MSpaceUsage entry;
    msGetMSpaceDatabase(nullptr, locked, &entry);
    EXPECT_EQ(entry.allTraced, 0) << "a block without a site word lives";
    msSetTracingForAll(0);
    EXPECT_EQ(msIsTracingAllocSites(locked), 0);
    EXPECT_EQ(msIsTracingAllocSites(later), 0);
    msFree(locked, block);
    for (MSpace space : {later, unsafe, locked})
        msDestroyMSpace(space);
}

TEST(UsageDatabase, GatheringWhileSpacesComeAndGo) {
    // A space leaves the list before its lock goes, so a gathering never meets a deleted lock.
    MSpace database = msCreateStdMSpace(0, "database");
    std::atomic<bool> done{false};
    std::atomic<int> gathered{0};
    std::thread gatherer([&] {
        while (!done) {
            if (MSpacesUsageDatabase *db = msGatherMSpacesUsageDatabase(database, 1)) {
                for (size_t i = 0; i < db->count; ++i)
                    if (db->entries[i].segmentBytes != db->entries[i].tracedBytes + db->entries[i].freeBytes +
                                                           db->entries[i].otherBytes)
                        ADD_FAILURE() << db->entries[i].name;
                msFreeMSpacesUsageDatabase(db);
                ++gathered;
            }
        }
    });
    // Spaces come and go until the gatherer has made passes among them, however fast either runs;
    // the bound only guards against a gatherer that never gets through.
    const ULONGLONG deadline = GetTickCount64() + 300000;
    int rounds = 0;
    while ((rounds < 300 || gathered.load() < 20) && GetTickCount64() < deadline) {
        MSpace space = msCreateStdMSpace(0, "passing");
        msFree(space, msMalloc(space, 100 + rounds % 300));
        void *kept = msMalloc(space, 1000);
        msDestroyMSpace(space);
        (void)kept;
        ++rounds;
    }
    done = true;
    gatherer.join();
    EXPECT_GE(gathered.load(), 20) << "the gatherer made too few passes in five minutes, " << rounds << " rounds";
    msDestroyMSpace(database);
}
