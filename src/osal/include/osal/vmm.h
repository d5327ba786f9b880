// Page memory: reserve, commit, protect and free address ranges; large pages; the machine's
// memory figures; reserved spaces (Vms) that hand out slices of reserved regions; and an iterator
// over the process's address map.
#ifndef OSAL_VMM_H
#define OSAL_VMM_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// Protection word: bit 0 read, bit 1 write, bit 2 execute, bit 3 guard. Valid without the guard
// bit: 0, 1, 3, 5, 7.
enum VmmProtection {
    VMM_PROT_NONE = 0,
    VMM_PROT_READ = 1,
    VMM_PROT_WRITE = 2,
    VMM_PROT_EXECUTE = 4,
    VMM_PROT_GUARD = 8,
    VMM_PROT_READ_WRITE = 3
};

void *vmmReserve(size_t size);
void *vmmxReserveAt(void *address, size_t size);
int vmmCommit(void *address, size_t size);
int vmmCommit2(void *address, size_t size, int protection);
void *vmmAllocate(size_t size);
void *vmmAllocate2(size_t size, int protection);
void *vmmxAllocateAt(void *address, size_t size);
void *vmmxAllocateAt2(void *address, size_t size, int protection);
int vmmProtect(void *address, size_t size, int protection);
int vmmDecommit(void *address, size_t size);
int vmmFree(void *address, size_t size);

size_t vmmGetPageSize(void);
size_t vmmGetAllocationGranularity(void);
void *vmmGetLowestAccessibleAddress(void);
void *vmmGetHighestAccessibleAddress(void);
size_t vmmGetMaxPossiblePageSize(void);
void vmmSetMaxLargePageSize(size_t size);
void vmmFinalize(void);

uint64_t vmmGetTotalPhysicalMemory(void);
uint64_t vmmGetAvailablePhysicalMemory(void);
size_t vmmGetUsedVirtualMemory(void);
size_t vmmGetUsableVirtualMemory(void);
size_t vmmGetMaximumProcessSize(void);

// Reserved spaces.
typedef struct Vms Vms;
typedef struct VmsRegionIter VmsRegionIter;

enum VmsAspect {
    VMS_ASPECT_DEFAULT = 0,     // on at creation
    VMS_ASPECT_LARGE_PAGES = 1,
    VMS_ASPECT_UP_FRONT = 2,    // reserve the regions up front
    VMS_ASPECT_3 = 3
};

Vms *vmsCreate(void);
void vmsDestroy(Vms *space);
Vms *vmsSetMaxFootprint(Vms *space, size_t bytes);
Vms *vmsSetHighestAllowedAddress(Vms *space, void *address);
Vms *vmsSetAlignment(Vms *space, size_t alignment);
Vms *vmsSetShiftedAmount(Vms *space, size_t amount);
Vms *vmsSetPageSizeHint(Vms *space, size_t bytes);
Vms *vmsSetProtection(Vms *space, int protection);
Vms *vmsSetAspect(Vms *space, int aspect, int on);
size_t vmsGetAlignment(Vms *space);
size_t vmsGetPageSizeHint(Vms *space);
int vmsGetProtection(Vms *space);
size_t vmsGetMaxFootprint(Vms *space);
size_t vmsGetReserved(Vms *space);
size_t vmsGetPageSize(Vms *space);
size_t vmsGetPageSizeForPage(Vms *space);
size_t vmsGetMaxAddressRange(Vms *space);
int vmsCheckAspect(Vms *space, int aspect);
int vmsCheckOptions(Vms *space);
size_t vmsCalculateMaxAddressRange(Vms *space);
int vmsFindRegions(Vms *space, size_t minimumSize, int maximumCount);
int vmsFindRegions2(Vms *space, size_t minimumSize, int maximumCount);
void *vmsReserve(Vms *space, size_t *size);
void *vmsAllocate(Vms *space, size_t *size);
int vmsCommit(Vms *space, void *address, size_t size);
int vmsDecommit(Vms *space, void *address, size_t size);
int vmsFree(Vms *space, void *address, size_t size);

VmsRegionIter *vmsRegionIterCreate(Vms *space);
// 0 while there is a next region, 1 at the end.
int vmsRegionIterNext(VmsRegionIter *iter);
void vmsRegionIterGet(VmsRegionIter *iter, void **base, size_t *size);
void vmsRegionIterDestroy(VmsRegionIter *iter);

// The process's address map, range by range; free ranges are skipped.
typedef struct VmMapIter VmMapIter;

VmMapIter *vmMapIterCreate(void);
// 0 while there is a next range, 1 at the end.
int vmMapIterNext(VmMapIter *iter);
void *vmMapIterGetStart(VmMapIter *iter);
void *vmMapIterGetEnd(VmMapIter *iter);
int vmMapIterGetFlags(VmMapIter *iter);
const char *vmMapIterGetName(VmMapIter *iter);
void vmMapIterGet(VmMapIter *iter, void **start, void **end, int *flags, const char **name);
void vmMapIterDestroy(VmMapIter *iter);

OSAL_END_DECLS

#endif
