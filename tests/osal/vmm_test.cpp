// Page memory: reserving, committing, protecting and freeing real pages, the address map, and
// the machine's memory figures.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "child_process.h"
#include "osal/vmm.h"
#include "test_paths.h"

namespace {

bool mapHas(void *start, void *end, int *flags = nullptr) {
    VmMapIter *iter = vmMapIterCreate();
    bool found = false;
    while (!found && vmMapIterNext(iter) == 0) {
        if (vmMapIterGetStart(iter) <= start && vmMapIterGetEnd(iter) >= end) {
            found = true;
            if (flags != nullptr)
                *flags = vmMapIterGetFlags(iter);
        }
    }
    vmMapIterDestroy(iter);
    return found;
}

} // namespace

TEST(PageMemory, StartUpValuesArePowersOfTwoAndSane) {
    size_t page = vmmGetPageSize();
    size_t granule = vmmGetAllocationGranularity();
    EXPECT_EQ(page, 4096u);
    EXPECT_EQ(granule & (granule - 1), 0u);
    EXPECT_GE(granule, page);
    EXPECT_LT(vmmGetLowestAccessibleAddress(), vmmGetHighestAccessibleAddress());
    EXPECT_GT(vmmGetTotalPhysicalMemory(), 0u);
    EXPECT_GT(vmmGetAvailablePhysicalMemory(), 0u);
    EXPECT_GT(vmmGetUsableVirtualMemory(), 0u);
    EXPECT_GT(vmmGetUsedVirtualMemory(), 0u);
    size_t range = static_cast<size_t>(static_cast<char *>(vmmGetHighestAccessibleAddress()) -
                                       static_cast<char *>(vmmGetLowestAccessibleAddress()));
    EXPECT_LE(vmmGetMaximumProcessSize(), range);
    EXPECT_EQ(vmmGetMaxPossiblePageSize(), 0u) << "no large pages were set up";
}

TEST(PageMemory, ReserveCommitTouchDecommitFree) {
    size_t size = 4 * vmmGetAllocationGranularity();
    char *base = static_cast<char *>(vmmReserve(size));
    ASSERT_NE(base, nullptr);
    int flags = -1;
    EXPECT_TRUE(mapHas(base, base + size, &flags));
    EXPECT_EQ(flags, 0) << "reserved is not committed";
    ASSERT_EQ(vmmCommit(base + 8192, 8192), 0);
    memset(base + 8192, 0x77, 8192);
    EXPECT_TRUE(mapHas(base + 8192, base + 16384, &flags));
    EXPECT_EQ(flags, 3);
    EXPECT_EQ(vmmProtect(base + 8192, 4096, VMM_PROT_READ), 0);
    EXPECT_TRUE(mapHas(base + 8192, base + 12288, &flags));
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(base[8192], 0x77);
    EXPECT_EQ(vmmProtect(base + 8192, 4096, VMM_PROT_READ_WRITE | VMM_PROT_GUARD), 0);
    EXPECT_TRUE(mapHas(base + 8192, base + 12288, &flags));
    EXPECT_EQ(flags, 3 | 8);
    EXPECT_EQ(vmmDecommit(base + 8192, 100), 0) << "rounded up to a page";
    EXPECT_EQ(vmmFree(base, size), 0);
    EXPECT_FALSE(mapHas(base, base + 1)) << "a freed range leaves the map";
}

TEST(PageMemory, InvalidProtectionsFail) {
    char *base = static_cast<char *>(vmmReserve(65536));
    ASSERT_NE(base, nullptr);
    for (int protection : {2, 4, 6, 16, -1})
        EXPECT_EQ(vmmCommit2(base, 4096, protection), 1) << protection;
    EXPECT_EQ(vmmAllocate2(4096, 2), nullptr);
    EXPECT_EQ(vmmProtect(base, 4096, 6), 1);
    EXPECT_EQ(vmmCommit2(base, 4096, VMM_PROT_READ | VMM_PROT_EXECUTE), 0);
    EXPECT_EQ(vmmFree(base, 65536), 0);
}

TEST(PageMemory, PlacedReservationsAndAllocations) {
    char *probe = static_cast<char *>(vmmReserve(0x40000));
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(vmmFree(probe, 0x40000), 0);
    char *placed = static_cast<char *>(vmmxAllocateAt(probe, 0x20000));
    ASSERT_EQ(placed, probe);
    placed[0x1FFFF] = 1;
    EXPECT_EQ(vmmxReserveAt(probe, 0x10000), nullptr) << "the place is taken";
    EXPECT_EQ(vmmxReserveAt(probe + 0x10001, 0x10000), nullptr) << "not where it was asked";
    char *next = static_cast<char *>(vmmxReserveAt(probe + 0x20000, 0x20000));
    EXPECT_EQ(next, probe + 0x20000);
    EXPECT_EQ(vmmxAllocateAt2(probe + 0x20000, 0x10000, 2), nullptr);
    // One call frees both allocations, from the end backwards.
    EXPECT_EQ(vmmFree(probe, 0x40000), 0);
    EXPECT_FALSE(mapHas(probe, probe + 1));
    EXPECT_FALSE(mapHas(probe + 0x20000, probe + 0x20001));
    EXPECT_EQ(vmmxAllocateAt2(probe, 0x10000, 2), nullptr) << "write without read can't be committed";
    EXPECT_FALSE(mapHas(probe, probe + 1)) << "and the reservation made for it is given back";
}

TEST(PageMemory, FreeingThatDoesNotMatchTheAllocationsFreesNothing) {
    char *a = static_cast<char *>(vmmAllocate(0x20000));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(vmmFree(a, 0x10000), 1) << "the size must cover the first allocation";
    EXPECT_EQ(vmmFree(a + 0x10000, 0x10000), 1) << "the address must begin an allocation";
    EXPECT_EQ(vmmFree(a, 0x30000), 1) << "the range ends past the allocation";
    EXPECT_EQ(vmmFree(nullptr, 0x10000), 1);
    a[0x1FFFF] = 2;
    EXPECT_TRUE(mapHas(a, a + 0x20000));
    EXPECT_EQ(vmmFree(a, 0x1F001), 0) << "rounded up to pages, it covers the allocation";
}

TEST(AddressMap, ShowsTheProgramImageByName) {
    void *inside = reinterpret_cast<void *>(&thisProgramPath);
    VmMapIter *iter = vmMapIterCreate();
    std::string name;
    int flags = 0;
    void *previousEnd = nullptr;
    bool ordered = true;
    while (vmMapIterNext(iter) == 0) {
        void *start, *end;
        int rangeFlags;
        const char *rangeName;
        vmMapIterGet(iter, &start, &end, &rangeFlags, &rangeName);
        ordered = ordered && start >= previousEnd && end > start;
        previousEnd = end;
        if (start <= inside && inside < end) {
            name = rangeName != nullptr ? rangeName : "";
            flags = rangeFlags;
        }
    }
    EXPECT_EQ(vmMapIterNext(iter), 1) << "stays at the end";
    vmMapIterDestroy(iter);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(flags & 5, 5) << "code is readable and executable";
    EXPECT_EQ(_stricmp(name.c_str(), thisProgramPath().c_str()), 0) << name;
}

CHILD_SCENARIO(write_to_read_only_page) {
    char *page = static_cast<char *>(vmmAllocate(4096));
    page[0] = 1;
    vmmProtect(page, 4096, VMM_PROT_READ);
    printf("protected\n");
    fflush(stdout);
    page[0] = 2;
    return 0;
}

CHILD_SCENARIO(read_no_access_page) {
    volatile char *page = static_cast<char *>(vmmAllocate(4096));
    vmmProtect(const_cast<char *>(page), 4096, VMM_PROT_NONE);
    printf("protected\n");
    fflush(stdout);
    return page[0];
}

TEST(PageMemory, ProtectedPagesFault) {
    for (const char *scenario : {"write_to_read_only_page", "read_no_access_page"}) {
        ChildResult result = runScenario(scenario);
        EXPECT_EQ(result.out.substr(0, 9), "protected") << scenario;
        EXPECT_EQ(result.exitCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION))
            << scenario << " ended with " << std::hex << result.exitCode;
    }
}
