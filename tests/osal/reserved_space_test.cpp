// Reserved spaces: regions reserved on demand or up front, slices handed out within the
// footprint, and the fall-back from large pages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "osal/vmm.h"

namespace {

struct VmsOwner {
    Vms *space = vmsCreate();
    ~VmsOwner() { vmsDestroy(space); }
};

size_t regionBytes(Vms *space, int *count = nullptr) {
    VmsRegionIter *iter = vmsRegionIterCreate(space);
    size_t total = 0;
    int n = 0;
    while (vmsRegionIterNext(iter) == 0) {
        void *base;
        size_t size;
        vmsRegionIterGet(iter, &base, &size);
        total += size;
        ++n;
    }
    vmsRegionIterDestroy(iter);
    if (count != nullptr)
        *count = n;
    return total;
}

bool committed(void *address) {
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(address, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT;
}

constexpr size_t MiB = 1024 * 1024;

} // namespace

TEST(ReservedSpace, StartsWithAspectZeroAndSetsOptions) {
    VmsOwner owner;
    ASSERT_NE(owner.space, nullptr);
    EXPECT_EQ(vmsCheckAspect(owner.space, 0), 1);
    EXPECT_EQ(vmsCheckAspect(owner.space, 2), 0);
    EXPECT_EQ(vmsSetAspect(owner.space, 1, 1), owner.space);
    EXPECT_EQ(vmsCheckAspect(owner.space, 2), 1) << "large pages reserve up front too";
    vmsSetAspect(owner.space, 1, 0);
    vmsSetAspect(owner.space, 7, 1);
    EXPECT_EQ(vmsGetProtection(owner.space), 0);
    EXPECT_EQ(vmsCheckOptions(owner.space), 0);
    EXPECT_EQ(vmsGetProtection(owner.space), 3) << "no protection means read-write";
    EXPECT_EQ(vmsSetPageSizeHint(owner.space, 65536), owner.space);
    EXPECT_EQ(vmsGetPageSizeHint(owner.space), 65536u);
    EXPECT_EQ(vmsGetMaxAddressRange(vmsSetMaxFootprint(owner.space, 3 * MiB)), 3 * MiB);
    EXPECT_EQ(vmsGetPageSize(owner.space), vmmGetPageSize());
}

TEST(ReservedSpace, WithoutUpFrontRegionsNothingIsReservedUntilAsked) {
    VmsOwner owner;
    vmsSetMaxFootprint(owner.space, 2 * MiB);
    EXPECT_EQ(vmsFindRegions(owner.space, 0, 0), 0);
    EXPECT_EQ(regionBytes(owner.space), 0u);
    size_t size = 100000;
    auto *slice = static_cast<char *>(vmsAllocate(owner.space, &size));
    ASSERT_NE(slice, nullptr);
    EXPECT_EQ(size, 102400u) << "rounded up to pages";
    EXPECT_EQ(vmsGetReserved(owner.space), 102400u);
    memset(slice, 1, size);
    vmsSetAlignment(owner.space, 4 * MiB);
    EXPECT_EQ(vmsGetAlignment(owner.space), 0u) << "options are fixed once slices are out";
    EXPECT_EQ(vmsFindRegions2(owner.space, 0, 0), -1);
    EXPECT_EQ(vmsFree(owner.space, slice, size), 0);
    EXPECT_EQ(vmsGetReserved(owner.space), 0u);
    EXPECT_FALSE(committed(slice));
}

TEST(ReservedSpace, UpFrontRegionsCoverTheFootprintAndHandOutWithinIt) {
    VmsOwner owner;
    vmsSetAspect(owner.space, 2, 1);
    vmsSetMaxFootprint(owner.space, 4 * MiB);
    ASSERT_EQ(vmsFindRegions2(owner.space, 1 * MiB, 0), 0);
    int count = 0;
    EXPECT_EQ(regionBytes(owner.space, &count), 4 * MiB);
    EXPECT_GE(count, 1);
    EXPECT_GE(vmsCalculateMaxAddressRange(owner.space), 4 * MiB);
    EXPECT_EQ(vmsGetMaxAddressRange(owner.space), vmsCalculateMaxAddressRange(owner.space));

    size_t size = 1 * MiB;
    auto *first = static_cast<char *>(vmsAllocate(owner.space, &size));
    ASSERT_NE(first, nullptr);
    first[size - 1] = 1;
    size = 5 * MiB;
    auto *rest = static_cast<char *>(vmsReserve(owner.space, &size));
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(size, 3 * MiB) << "cut to what is left of the footprint";
    EXPECT_FALSE(committed(rest)) << "reserved, not committed";
    size = 4096;
    EXPECT_EQ(vmsReserve(owner.space, &size), nullptr) << "nothing is left";
    EXPECT_EQ(vmsGetReserved(owner.space), 4 * MiB);

    // Slices go back to the region list and merge with their neighbours.
    EXPECT_EQ(vmsDecommit(owner.space, rest, 3 * MiB), 0);
    EXPECT_EQ(vmsFree(owner.space, first, 1 * MiB), 0);
    EXPECT_EQ(vmsGetReserved(owner.space), 0u);
    EXPECT_EQ(regionBytes(owner.space, &count), 4 * MiB);
    EXPECT_FALSE(committed(first));
}

TEST(ReservedSpace, AnUnsizedRequestTakesTheWholeFootprintUpFront) {
    VmsOwner owner;
    vmsSetMaxFootprint(owner.space, 2 * MiB);
    size_t size = 0;
    auto *all = static_cast<char *>(vmsAllocate(owner.space, &size));
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(size, 2 * MiB);
    EXPECT_EQ(vmsCheckAspect(owner.space, 2), 1);
    all[2 * MiB - 1] = 3;
    EXPECT_EQ(regionBytes(owner.space), 0u) << "all of it is out";
}

TEST(ReservedSpace, AlignmentAndHighestAddressPlaceTheRegions) {
    VmsOwner owner;
    char *limit = static_cast<char *>(vmmGetLowestAccessibleAddress()) + 0x40000000;
    vmsSetAspect(owner.space, 2, 1);
    vmsSetMaxFootprint(owner.space, 2 * MiB);
    vmsSetAlignment(owner.space, 4 * MiB);
    vmsSetHighestAllowedAddress(owner.space, limit);
    ASSERT_EQ(vmsFindRegions2(owner.space, 2 * MiB, 1), 0);
    VmsRegionIter *iter = vmsRegionIterCreate(owner.space);
    ASSERT_EQ(vmsRegionIterNext(iter), 0);
    void *base;
    size_t size;
    vmsRegionIterGet(iter, &base, &size);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % (4 * MiB), 0u);
    EXPECT_LE(static_cast<char *>(base) + size, limit);
    EXPECT_EQ(size, 2 * MiB);
    EXPECT_EQ(vmsRegionIterNext(iter), 1);
    vmsRegionIterDestroy(iter);
}

TEST(ReservedSpace, WithoutTheLockMemoryPrivilegeLargePagesFallBackToSmallPages) {
    VmsOwner owner;
    vmsSetAspect(owner.space, 1, 1);
    vmsSetMaxFootprint(owner.space, 2 * MiB);
    ASSERT_EQ(vmsCheckOptions(owner.space), 0);
    if (vmmGetMaxPossiblePageSize() != 0)
        GTEST_SKIP() << "this account may lock pages in memory";
    EXPECT_EQ(vmsCheckAspect(owner.space, 1), 0) << "large pages were turned off";
    EXPECT_EQ(vmsGetPageSizeForPage(owner.space), vmmGetPageSize());
    size_t size = 1 * MiB;
    auto *slice = static_cast<char *>(vmsAllocate(owner.space, &size));
    ASSERT_NE(slice, nullptr);
    slice[size - 1] = 1;
    EXPECT_EQ(vmsFree(owner.space, slice, size), 0);
}
