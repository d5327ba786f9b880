// Memory spaces: creation, allocation, sizes, limits, tracing and the checks on bad input.
#include <malloc.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "mspace_support.h"
#include "osal/mspace.h"
#include "osal/vmm.h"

namespace {

// Callbacks that count what the space holds from them.
struct Ledger {
    size_t outstanding = 0;
    int allocations = 0;
    int frees = 0;
    uintptr_t lastFreeArgument = 0;
    size_t reportedSize = 0; // when non-zero, the size the allocate callback claims to give
    bool refuse = false;
};

Ledger *ledgerOf(uintptr_t argument) { return reinterpret_cast<Ledger *>(argument); }

Ledger *currentLedger = nullptr;

void *ledgerAllocate(uintptr_t argument, size_t *size) {
    Ledger *ledger = ledgerOf(argument);
    if (ledger->refuse)
        return nullptr;
    void *base = vmmAllocate(*size);
    if (base == nullptr)
        return nullptr;
    if (ledger->reportedSize != 0)
        *size = ledger->reportedSize;
    ledger->outstanding += *size;
    ++ledger->allocations;
    return base;
}

int ledgerFree(uintptr_t argument, void *base, size_t size) {
    Ledger *ledger = currentLedger;
    ledger->lastFreeArgument = argument;
    ++ledger->frees;
    if (vmmFree(base, size) != 0)
        return -1;
    ledger->outstanding -= size;
    return 0;
}

struct SpaceDeleter {
    void operator()(MSpaceRecord *space) const { msDestroyMSpace(space); }
};
using SpaceHolder = std::unique_ptr<MSpaceRecord, SpaceDeleter>;

} // namespace

TEST(MSpaceCreation, NamesAreKeptAndCut) {
    SpaceHolder space(msCreateStdMSpace(0, "short name"));
    ASSERT_NE(space, nullptr);
    EXPECT_STREQ(msName(space.get()), "short name");
    EXPECT_EQ(msFootprint(space.get()), vmmGetPageSize());
    EXPECT_EQ(msIsTracingAllocSites(space.get()), 0);

    std::string longName(200, 'n');
    SpaceHolder named(msCreateStdMSpace(10000, longName.c_str()));
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(std::string(msName(named.get())), longName.substr(0, 127));
    EXPECT_EQ(msFootprint(named.get()), 12288u) << "the initial size is rounded up to the page size";
    EXPECT_SPACE_SOUND(named.get());
}

TEST(MSpaceCreation, CallbacksGetTheirArgumentAndEverySegmentGoesBack) {
    Ledger ledger;
    currentLedger = &ledger;
    MSpace space = msCreateMSpace(ledgerAllocate, ledgerFree, reinterpret_cast<uintptr_t>(&ledger), 5000, "ledger");
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(ledger.allocations, 1);
    std::vector<void *> blocks;
    for (int i = 0; i < 40; ++i)
        blocks.push_back(msMalloc(space, 50000));
    EXPECT_GT(ledger.allocations, 1) << "the space grows through its callback";
    EXPECT_EQ(msFootprint(space), ledger.outstanding);
    EXPECT_SPACE_SOUND(space);

    msSetUnmapData(space, 0x1234);
    msDestroyMSpace(space);
    EXPECT_EQ(ledger.outstanding, 0u);
    EXPECT_EQ(ledger.lastFreeArgument, 0x1234u) << "the free callback takes the argument set last";
}

TEST(MSpaceCreation, FailingOrShortCallbacksGiveNoSpace) {
    Ledger ledger;
    currentLedger = &ledger;
    ledger.refuse = true;
    EXPECT_EQ(msCreateMSpace(ledgerAllocate, ledgerFree, reinterpret_cast<uintptr_t>(&ledger), 0, "refused"), nullptr);

    ledger.refuse = false;
    ledger.reportedSize = 600; // too small to hold a space
    EXPECT_EQ(msCreateMSpace(ledgerAllocate, ledgerFree, reinterpret_cast<uintptr_t>(&ledger), 0, "short"), nullptr);
    EXPECT_EQ(ledger.frees, 1) << "the memory goes back";
    EXPECT_EQ(msCreateMSpace(nullptr, ledgerFree, 0, 0, "no allocator"), nullptr);
}

TEST(MSpaceAllocation, TheNullSpaceIsTheRuntimeHeap) {
    void *block = msMalloc(nullptr, 10);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(_msize(block), 10u);
    EXPECT_EQ(msBlockSize(nullptr, block), _msize(block));
    block = msRealloc(nullptr, block, 1000);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(_msize(block), 1000u);
    msFree(nullptr, block);

    auto *zeroed = static_cast<unsigned char *>(msCalloc(nullptr, 10, 10));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(zeroed[i], 0);
    msFree(nullptr, zeroed);

    EXPECT_EQ(msFootprint(nullptr), 0u);
    EXPECT_STREQ(msName(nullptr), "");
    MsMallinfo info;
    memset(&info, 0xFF, sizeof info);
    msMallinfo(&info, nullptr);
    EXPECT_EQ(info.arena + info.uordblks + info.fordblks + info.keepcost, 0u);
    EXPECT_EQ(msMemalignAt(nullptr, 4096, 10, 0), nullptr) << "free() could not take such a block back";
}

TEST(MSpaceAllocation, ReallocOfNullAllocatesAndContentsSurviveEveryPath) {
    SpaceHolder space(msCreateStdMSpace(0, "realloc"));
    auto *block = static_cast<unsigned char *>(msRealloc(space.get(), nullptr, 20));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 20; ++i)
        block[i] = static_cast<unsigned char>(i + 1);
    // Grow in place into the top, grow by moving, shrink in place.
    for (size_t size : {100u, 5000u, 300000u, 64u, 20u}) {
        auto *moved = static_cast<unsigned char *>(msRealloc(space.get(), block, size));
        ASSERT_NE(moved, nullptr) << size;
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(moved[i], i + 1) << size;
        EXPECT_GE(msBlockSize(space.get(), moved), size);
        block = moved;
        EXPECT_SPACE_SOUND(space.get());
    }
    void *keep = msMalloc(space.get(), 30);
    EXPECT_EQ(msRealloc(space.get(), block, 0xFFFFFF00u), nullptr);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(block[i], i + 1) << "the old block stays valid";
    msFree(space.get(), block);
    msFree(space.get(), keep);
    EXPECT_SPACE_SOUND(space.get());
}

TEST(MSpaceAllocation, BlockSizesFollowTheChunkSizes) {
    SpaceHolder plain(msCreateStdMSpace(0, "plain"));
    SpaceHolder traced(msCreateMSpaceTraced(pagesAllocate, pagesFree, 0, 0, "traced"));
    ASSERT_NE(traced, nullptr);
    // A 10-byte request takes a 16-byte chunk, 12 usable; traced, 14 bytes take 24, less 8.
    EXPECT_EQ(msBlockSize(plain.get(), msMalloc(plain.get(), 10)), 12u);
    EXPECT_EQ(msBlockSize(traced.get(), msMalloc(traced.get(), 10)), 16u);
    // An 8-byte request: 16-byte chunks either way, so the site word costs 4 usable bytes.
    EXPECT_EQ(msBlockSize(plain.get(), msMalloc(plain.get(), 8)), 12u);
    EXPECT_EQ(msBlockSize(traced.get(), msMalloc(traced.get(), 8)), 8u);
    EXPECT_EQ(msBlockSize(plain.get(), nullptr), 0u);
    EXPECT_SPACE_SOUND(plain.get());
    EXPECT_SPACE_SOUND(traced.get());
}

TEST(MSpaceAllocation, CallocZeroesAndRefusesOverflow) {
    SpaceHolder space(msCreateStdMSpace(0, "calloc"));
    void *dirty = msMalloc(space.get(), 200);
    memset(dirty, 0xAB, 200);
    msFree(space.get(), dirty);
    auto *zeroed = static_cast<unsigned char *>(msCalloc(space.get(), 50, 4));
    ASSERT_NE(zeroed, nullptr);
    for (size_t i = 0; i < msBlockSize(space.get(), zeroed); ++i)
        ASSERT_EQ(zeroed[i], 0) << i;
    EXPECT_EQ(msCalloc(space.get(), 0x10000, 0x10001), nullptr);
    EXPECT_EQ(msCalloc(nullptr, 0x10000, 0x10001), nullptr);
    EXPECT_SPACE_SOUND(space.get());
}

TEST(MSpaceAllocation, AlignedBlocks) {
    SpaceHolder space(msCreateStdMSpace(0, "aligned"));
    std::vector<void *> blocks;
    for (size_t alignment : {8u, 16u, 24u, 64u, 4096u, 65536u}) {
        void *block = msMemalignAt(space.get(), alignment, 100, 7);
        ASSERT_NE(block, nullptr) << alignment;
        size_t power = 8;
        while (power < alignment)
            power <<= 1;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % power, 0u) << alignment;
        EXPECT_GE(msBlockSize(space.get(), block), 100u);
        memset(block, 0x5A, 100);
        blocks.push_back(block);
        EXPECT_SPACE_SOUND(space.get());
    }
    EXPECT_EQ(msMemalignAt(space.get(), 0x80000000u, 16, 0), nullptr);
    for (void *block : blocks)
        msFree(space.get(), block);
    EXPECT_SPACE_SOUND(space.get());
}

TEST(MSpaceAllocation, SizesNearTheAddressSpaceLimitFail) {
    SpaceHolder space(msCreateStdMSpace(0, "huge"));
    SpaceHolder traced(msCreateMSpaceTraced(pagesAllocate, pagesFree, 0, 0, "huge traced"));
    for (size_t size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFC0u, 0xFFFFFFBCu, 0xFFFF0000u, 0x80000000u}) {
        EXPECT_EQ(msMalloc(space.get(), size), nullptr) << size;
        EXPECT_EQ(msMalloc(traced.get(), size), nullptr) << size;
        EXPECT_EQ(msMemalignAt(space.get(), 64, size, 0), nullptr) << size;
    }
    EXPECT_SPACE_SOUND(space.get());
    EXPECT_SPACE_SOUND(traced.get());
    void *small = msMalloc(space.get(), 16);
    EXPECT_NE(small, nullptr) << "a failed request leaves the space usable";
    msFree(space.get(), small);
}

TEST(MSpaceAllocation, CountersAndOwnership) {
    SpaceHolder space(msCreateStdMSpace(0, "counted"));
    size_t bytes = 1;
    size_t count = 1;
    msMSpaceStats(space.get(), &bytes, &count);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(count, 0u);
    void *a = msMalloc(space.get(), 100); // 104-byte chunk
    void *b = msMalloc(space.get(), 1000); // 1008
    msMSpaceStats(space.get(), &bytes, &count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes, 104u + 1008u);
    b = msRealloc(space.get(), b, 2000); // 2008
    msMSpaceStats(space.get(), &bytes, &count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes, 104u + 2008u);
    EXPECT_EQ(msCheckOwnership(space.get(), a), 1);
    int local = 0;
    EXPECT_EQ(msCheckOwnership(space.get(), &local), 0);
    EXPECT_EQ(msCheckOwnership(nullptr, a), 0);

    MsMallinfo info;
    msMallinfo(&info, space.get());
    EXPECT_EQ(info.uordblks + info.fordblks, msFootprint(space.get()));
    EXPECT_EQ(info.usmblks, msMaxFootprint(space.get()));
    EXPECT_GT(info.keepcost, 0u);
    msFree(space.get(), a);
    msFree(space.get(), b);
    msMSpaceStats(space.get(), &bytes, &count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(bytes, 0u);
    EXPECT_SPACE_SOUND(space.get());
}

TEST(MSpaceLimits, AFootprintLimitRefusesGrowthAndLeavesTheSpaceUsable) {
    SpaceHolder space(msCreateStdMSpace(65536, "limited"));
    EXPECT_EQ(msFootprintLimitReached(space.get()), 0);
    msSetFootprintLimit(space.get(), msFootprint(space.get()) + 1000);
    EXPECT_EQ(msMalloc(space.get(), 200000), nullptr);
    EXPECT_EQ(msFootprintLimitReached(space.get()), 1);
    void *small = msMalloc(space.get(), 1000);
    EXPECT_NE(small, nullptr);
    msSetFootprintLimit(space.get(), 0);
    void *large = msMalloc(space.get(), 200000);
    EXPECT_NE(large, nullptr) << "no limit, no refusal";
    EXPECT_GE(msMaxFootprint(space.get()), msFootprint(space.get()));
    msFree(space.get(), small);
    msFree(space.get(), large);
    EXPECT_SPACE_SOUND(space.get());
}

namespace {

// Leaves a reserved gap after every range, so that no two segments ever touch and merge.
void *gappedAllocate(uintptr_t, size_t *size) {
    void *base = VirtualAlloc(nullptr, *size + vmmGetAllocationGranularity(), MEM_RESERVE, PAGE_NOACCESS);
    if (base != nullptr && VirtualAlloc(base, *size, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    return base;
}

int gappedFree(uintptr_t, void *base, size_t) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(base, &info, sizeof info) != sizeof info || info.AllocationBase != base)
        return -1; // only whole ranges go back
    return VirtualFree(base, 0, MEM_RELEASE) ? 0 : -1;
}

} // namespace

TEST(MSpaceLimits, UnusedSegmentsGoBackToTheSystem) {
    SpaceHolder space(msCreateMSpace(gappedAllocate, gappedFree, 0, 0, "released"));
    size_t before = msFootprint(space.get());
    std::vector<void *> blocks;
    for (int i = 0; i < 6; ++i)
        blocks.push_back(msMalloc(space.get(), 2500000));
    EXPECT_GT(msFootprint(space.get()), before + 6 * 2500000);
    for (void *block : blocks)
        msFree(space.get(), block);
    EXPECT_SPACE_SOUND(space.get());
    EXPECT_LT(msFootprint(space.get()), before + 2 * 2500000) << "whole free segments go back";
    void *again = msMalloc(space.get(), 2500000);
    EXPECT_NE(again, nullptr);
    msFree(space.get(), again);
    EXPECT_SPACE_SOUND(space.get());
}

TEST(MSpaceTracing, TheSiteWordGoesWithTheBlock) {
    SpaceHolder space(msCreateStdMSpace(0, "tracing"));
    EXPECT_EQ(msIsTracingAllocSites(space.get()), 0);
    msSetTracing(space.get(), 1);
    EXPECT_EQ(msIsTracingAllocSites(space.get()), 1);
    MSpaceUsage entry;
    msGetMSpaceDatabase(nullptr, space.get(), &entry);
    EXPECT_EQ(entry.allTraced, 1) << "a fresh space traces every live block";
    msSetTracing(space.get(), 0);
    void *untraced = msMalloc(space.get(), 10);
    msSetTracing(space.get(), 1);
    msGetMSpaceDatabase(nullptr, space.get(), &entry);
    EXPECT_EQ(entry.tracing, 1);
    EXPECT_EQ(entry.allTraced, 0) << "a block without a site word lives";
    EXPECT_EQ(msBlockSize(space.get(), untraced), 12u);
    msSetTracing(space.get(), 0);
    msGetMSpaceDatabase(nullptr, space.get(), &entry);
    EXPECT_EQ(entry.tracing + entry.allTraced, 0);
    msFree(space.get(), untraced);
    EXPECT_SPACE_SOUND(space.get());
}

TEST(MSpaceBadInput, DoubleAndForeignFreesAreReportedAndIgnored) {
    SpaceHolder space(msCreateStdMSpace(0, "guarded"));
    void *a = msMalloc(space.get(), 40);
    void *b = msMalloc(space.get(), 40);
    void *c = msMalloc(space.get(), 40);
    msFree(space.get(), b);
    msFree(space.get(), a); // merges with b
    AssertCatcher catcher;
    msFree(space.get(), a);
    msFree(space.get(), b);
    EXPECT_EQ(AssertCatcher::reports, 2);
    EXPECT_EQ(AssertCatcher::lastFunction, "msFree");

    int local[16] = {};
    msFree(space.get(), &local[4]);
    void *heap = malloc(64);
    msFree(space.get(), heap);
    EXPECT_EQ(msRealloc(space.get(), heap, 100), nullptr);
    free(heap);
    EXPECT_EQ(AssertCatcher::reports, 5);
    EXPECT_SPACE_SOUND(space.get());

    void *d = msMalloc(space.get(), 40);
    EXPECT_NE(d, nullptr);
    memset(c, 1, 40);
    memset(d, 2, 40);
    msFree(space.get(), c);
    msFree(space.get(), d);
    EXPECT_SPACE_SOUND(space.get());
    msFree(space.get(), nullptr);
    EXPECT_EQ(AssertCatcher::reports, 5) << "a null block is ignored";
}

TEST(MSpaceBadInput, ABlockFreedIntoAnotherSpaceIsReported) {
    SpaceHolder one(msCreateStdMSpace(0, "one"));
    SpaceHolder two(msCreateStdMSpace(0, "two"));
    void *block = msMalloc(one.get(), 64);
    AssertCatcher catcher;
    msFree(two.get(), block);
    EXPECT_EQ(AssertCatcher::reports, 1);
    EXPECT_NE(msRealloc(one.get(), block, 128), nullptr) << "the block still lives in its own space";
    EXPECT_SPACE_SOUND(one.get());
    EXPECT_SPACE_SOUND(two.get());
}

TEST(MSpaceBadInput, ASpaceThatIsNoSpaceIsReported) {
    AssertCatcher catcher;
    unsigned char fake[1024] = {};
    auto *notASpace = reinterpret_cast<MSpace>(fake + 8);
    EXPECT_EQ(msMalloc(notASpace, 10), nullptr);
    msFree(notASpace, fake + 100);
    EXPECT_EQ(AssertCatcher::reports, 2);
}
