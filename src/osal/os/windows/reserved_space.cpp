// Reserved spaces: options gathered first, then regions reserved up front or on demand, slices
// handed out of them and committed as used.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "../../shared/osal_log.h"
#include "large_pages.h"
#include "osal/dynarray.h"
#include "vmm_internal.h"

struct Vms {
    DynArray *regions;     // Region pairs not yet handed out, sorted by base
    DynArray *reservations; // bases of the ranges reserved for the regions (words)
    size_t reserved;       // bytes handed out
    size_t maxFootprint;
    size_t maxAddressRange;
    size_t alignment;
    size_t largePageSize;
    size_t pageSizeHint;
    size_t minRegionSize;
    int maxRegionCount;
    unsigned flags;
    size_t shiftedAmount;
    int protection;
    char *highestAllowed;
};

struct VmsRegionIter {
    Vms *space;
    long index;
};

namespace {

struct Region {
    char *base;
    size_t size;
};

constexpr unsigned aspect0 = 0x2;
constexpr unsigned aspect1 = 0x8;
constexpr unsigned aspect2 = 0x20;
constexpr unsigned aspect3 = 0x4;
constexpr unsigned largeConfirmed = 0x10;
constexpr unsigned regionsConverted = 0x80;
constexpr unsigned regionsFound = 0x100;
constexpr unsigned aspectBits[4] = {aspect0, aspect1, aspect2, aspect3};

constexpr uint32_t regionCapacity = 30;
constexpr uint32_t reservationCapacity = 10;
constexpr int reserveAttempts = 8;

const vmm::LargePageSystem &system() { return vmm::platformLargePageSystem(); }

size_t granularity() { return vmm::systemValues().granularity; }

bool usesLargePages(const Vms *space) { return (space->flags & (aspect1 | largeConfirmed)) == (aspect1 | largeConfirmed); }

// A setter's change: nothing once slices are out; a new value forgets what was found.
template <typename T> Vms *change(Vms *space, T Vms::*field, T value) {
    if (space == nullptr || space->reserved != 0)
        return space;
    if (space->*field != value) {
        space->*field = value;
        space->flags &= ~regionsFound;
        space->largePageSize = 0;
    }
    return space;
}

Region *regionAt(Vms *space, uint32_t i) { return static_cast<Region *>(dynArrayGet(space->regions, i)); }

void dropRegions(Vms *space) {
    if (space->reservations != nullptr) {
        for (uint32_t i = 0; i < dynArrayCount(space->reservations); ++i)
            VirtualFree(*static_cast<void **>(dynArrayGet(space->reservations, i)), 0, MEM_RELEASE);
    }
    dynArrayFree(space->regions);
    dynArrayFree(space->reservations);
    space->regions = nullptr;
    space->reservations = nullptr;
    space->flags &= ~(regionsFound | regionsConverted);
    space->maxAddressRange = 0;
}

int compareRegions(const void *a, const void *b) {
    const char *x = static_cast<const Region *>(a)->base;
    const char *y = static_cast<const Region *>(b)->base;
    return (x > y) - (x < y);
}

char *highestAddress(const Vms *space) {
    return space->highestAllowed != nullptr ? space->highestAllowed : vmm::systemValues().highest;
}

// Reserves a region of the wanted size, or no less than the minimum, at the space's alignment
// and below its highest allowed address.
char *reserveRegion(Vms *space, size_t wanted, size_t minimum, size_t *got) {
    size_t unit = granularity();
    size_t align = unit;
    if (usesLargePages(space)) {
        align = space->largePageSize;
        if (space->pageSizeHint > align)
            align = vmm::roundUp(space->pageSizeHint, space->largePageSize);
    }
    if (space->alignment > align)
        align = space->alignment;
    if (wanted == 0 || wanted > ~size_t{0} - unit)
        return nullptr;
    wanted = vmm::roundUp(wanted, unit);
    minimum = minimum < unit ? unit : vmm::roundUp(minimum, unit);
    if (minimum > wanted)
        minimum = wanted;
    char *limit = highestAddress(space);

    if (align == unit) {
        char *base = static_cast<char *>(VirtualAlloc(nullptr, wanted, MEM_RESERVE, PAGE_NOACCESS));
        if (base != nullptr && base + wanted - 1 <= limit) {
            *got = wanted;
            return base;
        }
        if (base != nullptr)
            VirtualFree(base, 0, MEM_RELEASE);
    }
    for (int attempt = 0; attempt < reserveAttempts; ++attempt) {
        char *bestBase = nullptr;
        size_t bestSize = 0;
        char *at = vmm::systemValues().lowest;
        MEMORY_BASIC_INFORMATION info;
        while (at < limit && VirtualQuery(at, &info, sizeof info) == sizeof info) {
            char *start = static_cast<char *>(info.BaseAddress);
            char *end = start + info.RegionSize;
            if (end <= at)
                break;
            if (end > limit)
                end = limit + 1;
            if (info.State == MEM_FREE) {
                char *aligned = reinterpret_cast<char *>(vmm::roundUp(reinterpret_cast<uintptr_t>(start), align));
                if (aligned >= start && aligned < end) {
                    size_t size = static_cast<size_t>(end - aligned) & ~(unit - 1);
                    if (size >= minimum && size > bestSize) {
                        bestBase = aligned;
                        bestSize = size;
                        if (size >= wanted)
                            break;
                    }
                }
            }
            at = end;
        }
        if (bestBase == nullptr)
            return nullptr;
        size_t size = bestSize < wanted ? bestSize : wanted;
        if (char *base = static_cast<char *>(vmmxReserveAt(bestBase, size))) {
            *got = size;
            return base;
        }
        VMM_REPORT("vmsiReserve"); // somebody took the place meanwhile: look again
    }
    return nullptr;
}

bool addRegion(Vms *space, char *base, size_t size) {
    Region region{base, size};
    return dynArrayAddLast(space->regions, &region) == 0;
}

// Each region is released and taken again as committed large pages at the same place.
bool convertRegions(Vms *space) {
    DWORD protection = vmm::platformProtection(space->protection);
    for (uint32_t i = 0; i < dynArrayCount(space->reservations); ++i) {
        char *base = *static_cast<char **>(dynArrayGet(space->reservations, i));
        MEMORY_BASIC_INFORMATION info;
        VirtualQuery(base, &info, sizeof info);
        size_t size = info.RegionSize;
        VirtualFree(base, 0, MEM_RELEASE);
        if (system().allocateLargePages(base, size, protection) == nullptr) {
            if (GetLastError() == ERROR_NO_SYSTEM_RESOURCES)
                OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING,
                         "Large page allocation failed. This is probably caused by fragmentation in the OS. Try "
                         "rebooting.");
            // What was released can't be kept in the list: take it back as plain reserved space.
            if (VirtualAlloc(base, size, MEM_RESERVE, PAGE_NOACCESS) == nullptr)
                dynArrayRemove(space->reservations, i--);
            return false;
        }
    }
    space->flags |= regionsConverted;
    return true;
}

int findRegions(Vms *space, size_t minimum, int maximumCount) {
    if (space->reserved != 0)
        return -1;
    if (vmsCheckOptions(space) != 0)
        return 1;
    space->minRegionSize = minimum;
    space->maxRegionCount = maximumCount;
    if ((space->flags & aspect2) == 0 && !usesLargePages(space)) {
        space->flags |= regionsFound;
        return 0;
    }
    if (space->maxFootprint == 0) {
        space->flags |= regionsFound;
        return 0;
    }
    dropRegions(space);
    space->regions = dynArrayNewMSpace(regionCapacity, sizeof(Region), globalMSpace());
    space->reservations = dynArrayNewMSpace(reservationCapacity, sizeof(void *), globalMSpace());
    if (space->regions == nullptr || space->reservations == nullptr) {
        dropRegions(space);
        return 1;
    }
    size_t covered = 0;
    while (covered < space->maxFootprint && (maximumCount <= 0 || static_cast<int>(dynArrayCount(space->regions)) < maximumCount)) {
        size_t got = 0;
        char *base = reserveRegion(space, space->maxFootprint - covered, minimum, &got);
        if (base == nullptr)
            break;
        if (!addRegion(space, base, got) || dynArrayAddLast(space->reservations, &base) != 0) {
            VirtualFree(base, 0, MEM_RELEASE);
            break;
        }
        covered += got;
    }
    dynArraySort(space->regions, compareRegions);
    vmsCalculateMaxAddressRange(space);
    space->flags |= regionsFound;
    if (usesLargePages(space) && (space->flags & regionsConverted) == 0 && !convertRegions(space)) {
        dropRegions(space);
        space->flags &= ~(aspect1 | largeConfirmed);
        space->largePageSize = 0;
        return findRegions(space, minimum, maximumCount);
    }
    return 0;
}

bool hasRegions(const Vms *space) { return space->regions != nullptr; }

// Gives a slice back to the region list, merging it with its neighbours.
void returnToRegions(Vms *space, char *base, size_t size) {
    addRegion(space, base, size);
    dynArraySort(space->regions, compareRegions);
    for (uint32_t i = 0; i + 1 < dynArrayCount(space->regions);) {
        Region *a = regionAt(space, i);
        Region *b = regionAt(space, i + 1);
        if (a->base + a->size == b->base) {
            a->size += b->size;
            dynArrayRemove(space->regions, i + 1);
        } else
            ++i;
    }
}

char *takeFromRegions(Vms *space, size_t size) {
    for (uint32_t n = dynArrayCount(space->regions); n > 0; --n) {
        Region *region = regionAt(space, n - 1);
        if (region->size < size)
            continue;
        char *slice = region->base;
        region->base += size;
        region->size -= size;
        if (region->size == 0)
            dynArrayRemove(space->regions, n - 1);
        return slice;
    }
    return nullptr;
}

} // namespace

Vms *vmsCreate(void) {
    auto *space = static_cast<Vms *>(gsCalloc(1, sizeof(Vms)));
    if (space != nullptr)
        space->flags = aspect0;
    return space;
}

void vmsDestroy(Vms *space) {
    if (space == nullptr)
        return;
    dropRegions(space);
    gsFree(space);
}

Vms *vmsSetMaxFootprint(Vms *space, size_t bytes) { return change(space, &Vms::maxFootprint, bytes); }
Vms *vmsSetHighestAllowedAddress(Vms *space, void *address) {
    return change(space, &Vms::highestAllowed, static_cast<char *>(address));
}
Vms *vmsSetAlignment(Vms *space, size_t alignment) { return change(space, &Vms::alignment, alignment); }
Vms *vmsSetShiftedAmount(Vms *space, size_t amount) { return change(space, &Vms::shiftedAmount, amount); }
Vms *vmsSetPageSizeHint(Vms *space, size_t bytes) { return change(space, &Vms::pageSizeHint, bytes); }
Vms *vmsSetProtection(Vms *space, int protection) { return change(space, &Vms::protection, protection); }

Vms *vmsSetAspect(Vms *space, int aspect, int on) {
    if (space == nullptr || space->reserved != 0 || aspect < 0 || aspect > 3)
        return space;
    if (on)
        space->flags |= aspectBits[aspect];
    else
        space->flags &= ~aspectBits[aspect];
    return space;
}

size_t vmsGetAlignment(Vms *space) { return space != nullptr ? space->alignment : 0; }
size_t vmsGetPageSizeHint(Vms *space) { return space != nullptr ? space->pageSizeHint : 0; }
int vmsGetProtection(Vms *space) { return space != nullptr ? space->protection : 0; }
size_t vmsGetMaxFootprint(Vms *space) { return space != nullptr ? space->maxFootprint : 0; }
size_t vmsGetReserved(Vms *space) { return space != nullptr ? space->reserved : 0; }

size_t vmsGetPageSize(Vms *space) {
    if (space != nullptr && (space->flags & aspect1) != 0) {
        if (space->largePageSize == 0)
            space->largePageSize = vmm::largePagesOnce();
        if (space->largePageSize != 0)
            return space->largePageSize;
    }
    return vmm::systemValues().pageSize;
}

size_t vmsGetPageSizeForPage(Vms *space) {
    if (space != nullptr && usesLargePages(space) && (space->flags & regionsConverted) != 0)
        return space->largePageSize;
    return vmm::systemValues().pageSize;
}

size_t vmsGetMaxAddressRange(Vms *space) {
    if (space == nullptr)
        return 0;
    return space->maxAddressRange != 0 ? space->maxAddressRange : space->maxFootprint;
}

int vmsCheckAspect(Vms *space, int aspect) {
    if (space == nullptr)
        return 0;
    switch (aspect) {
    case 0: return (space->flags & aspect0) != 0;
    case 1: return (space->flags & aspect1) != 0;
    case 2: return (space->flags & (aspect2 | aspect1)) != 0;
    case 3: return (space->flags & aspect3) != 0;
    default: return 0;
    }
}

int vmsCheckOptions(Vms *space) {
    if (space == nullptr)
        return 1;
    if (space->protection == 0)
        space->protection = VMM_PROT_READ_WRITE;
    if (vmm::platformProtection(space->protection) == 0)
        return 1;
    if ((space->flags & aspect1) != 0 && (space->flags & largeConfirmed) == 0) {
        size_t size = vmm::largePagesOnce();
        if (size == 0 || ((space->protection & VMM_PROT_EXECUTE) != 0 && !vmm::largeCodePagesWork(system(), size)))
            space->flags &= ~aspect1;
        else {
            space->flags |= largeConfirmed;
            space->largePageSize = size;
        }
    }
    return 0;
}

size_t vmsCalculateMaxAddressRange(Vms *space) {
    if (space == nullptr)
        return 0;
    uint32_t count = hasRegions(space) ? dynArrayCount(space->regions) : 0;
    if (count == 0)
        return space->maxAddressRange = 0;
    char *lowest = regionAt(space, 0)->base;
    char *highest = lowest;
    for (uint32_t i = 0; i < count; ++i) {
        Region *region = regionAt(space, i);
        if (region->base < lowest)
            lowest = region->base;
        if (region->base + region->size > highest)
            highest = region->base + region->size;
    }
    return space->maxAddressRange = static_cast<size_t>(highest - lowest);
}

int vmsFindRegions2(Vms *space, size_t minimumSize, int maximumCount) {
    if (space == nullptr)
        return 1;
    return findRegions(space, minimumSize, maximumCount);
}

int vmsFindRegions(Vms *space, size_t minimumSize, int maximumCount) {
    return vmsFindRegions2(space, minimumSize, maximumCount);
}

void *vmsReserve(Vms *space, size_t *size) {
    if (space == nullptr || size == nullptr)
        return nullptr;
    if ((space->flags & regionsFound) == 0 && findRegions(space, space->minRegionSize, space->maxRegionCount) > 0)
        return nullptr;
    size_t wanted = *size;
    if (space->maxFootprint != 0) {
        size_t left = space->maxFootprint - space->reserved;
        if (wanted == 0) {
            if ((space->flags & aspect0) != 0 && (space->flags & aspect2) == 0 && !hasRegions(space)) {
                space->flags |= aspect2;
                if (findRegions(space, space->minRegionSize, space->maxRegionCount) != 0)
                    return nullptr;
            }
            wanted = left;
        } else if (wanted > left)
            wanted = left;
    }
    size_t page = vmsGetPageSizeForPage(space);
    if (wanted == 0 || wanted > ~size_t{0} - page)
        return nullptr;
    wanted = vmm::roundUp(wanted, page);
    char *slice;
    if (hasRegions(space))
        slice = takeFromRegions(space, wanted);
    else {
        size_t got = 0;
        slice = reserveRegion(space, wanted, wanted, &got);
    }
    if (slice == nullptr)
        return nullptr;
    space->reserved += wanted;
    *size = wanted;
    return slice;
}

void *vmsAllocate(Vms *space, size_t *size) {
    char *slice = static_cast<char *>(vmsReserve(space, size));
    if (slice == nullptr)
        return nullptr;
    if ((space->flags & regionsConverted) != 0) {
        // Large pages are committed already: make the slice look freshly committed.
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(slice, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT) {
            vmsFree(space, slice, *size);
            return nullptr;
        }
        memset(slice, 0, *size);
        return slice;
    }
    if (vmsCommit(space, slice, *size) != OSAL_OK) {
        vmsFree(space, slice, *size);
        return nullptr;
    }
    return slice;
}

int vmsCommit(Vms *space, void *address, size_t size) {
    if (space == nullptr)
        return OSAL_ERR;
    if ((space->flags & regionsConverted) != 0)
        return OSAL_OK;
    return vmmCommit2(address, size, space->protection == 0 ? VMM_PROT_READ_WRITE : space->protection);
}

int vmsDecommit(Vms *space, void *address, size_t size) {
    if (space == nullptr || address == nullptr || size == 0)
        return OSAL_ERR;
    int result = (space->flags & regionsConverted) == 0 ? vmmDecommit(address, size) : OSAL_OK;
    if (result == OSAL_OK && hasRegions(space)) {
        size_t page = vmsGetPageSizeForPage(space);
        size_t rounded = vmm::roundUp(size, page);
        returnToRegions(space, static_cast<char *>(address), rounded);
        space->reserved -= rounded < space->reserved ? rounded : space->reserved;
    }
    return result;
}

int vmsFree(Vms *space, void *address, size_t size) {
    if (space == nullptr || address == nullptr || size == 0)
        return OSAL_ERR;
    if (hasRegions(space))
        return vmsDecommit(space, address, size);
    // The slice was reserved on its own, whole granules of it.
    size_t rounded = vmm::roundUp(size, vmm::systemValues().pageSize);
    if (vmmFree(address, vmm::roundUp(size, granularity())) != OSAL_OK)
        return OSAL_ERR;
    space->reserved -= rounded < space->reserved ? rounded : space->reserved;
    return OSAL_OK;
}

VmsRegionIter *vmsRegionIterCreate(Vms *space) {
    auto *iter = static_cast<VmsRegionIter *>(gsCalloc(1, sizeof(VmsRegionIter)));
    if (iter != nullptr) {
        iter->space = space;
        iter->index = -1;
    }
    return iter;
}

int vmsRegionIterNext(VmsRegionIter *iter) {
    if (iter == nullptr || iter->space == nullptr || !hasRegions(iter->space))
        return 1;
    if (iter->index + 1 >= static_cast<long>(dynArrayCount(iter->space->regions)))
        return 1;
    ++iter->index;
    return 0;
}

void vmsRegionIterGet(VmsRegionIter *iter, void **base, size_t *size) {
    Region *region = nullptr;
    if (iter != nullptr && iter->index >= 0 && iter->space != nullptr && hasRegions(iter->space))
        region = regionAt(iter->space, static_cast<uint32_t>(iter->index));
    if (base != nullptr)
        *base = region != nullptr ? region->base : nullptr;
    if (size != nullptr)
        *size = region != nullptr ? region->size : 0;
}

void vmsRegionIterDestroy(VmsRegionIter *iter) { gsFree(iter); }
