// Machine and process load figures, memory and thread times, and iteration over the processes.
#ifndef OSAL_PERF_H
#define OSAL_PERF_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// 0 when ready, or when some counters are not yet set up (the next call tries again); -2 when
// the performance-data library or one of its entry points is missing.
int perfInit(void);
// Load 0..1 of one processor, or of all of them for -1; 0 when unavailable.
double perfGetCPULoad(int processor);
double perfGetProcessLoad(void);
// Returns the machine's load, at least user + system, at most 1.
double perfGetProcessLoad2(double *userLoad, double *systemLoad);
// Any pointer may be null; 1 when a wanted figure can't be read (it is then 0).
int perfGetMemInfo(int64_t *virtualBytes, int64_t *physicalBytes, int64_t *pageFaults);
int64_t perfGetVirtualBytesUsed(void);
int64_t perfGetPhysicalBytesUsed(void);
int64_t perfGetNumberOfPageFaults(void);
int perfGetContextSwitchRate(double *rate);
// Thread id 0 is the calling thread; times in nanoseconds.
int perfGetOSThreadCPUTime(int threadId, int64_t *userTime, int64_t *systemTime);
double perfGetLoadAverage(void);

typedef struct ProcessInfo {
    int pid;
    const char *name; // executable file name
    const char *path; // full path of its first module, null when it can't be read
    int reserved;
} ProcessInfo;

typedef struct ProcessIterator ProcessIterator;

int processIteratorCreate(ProcessIterator **iterator);
int processIteratorIsValid(const ProcessIterator *iterator);
int processIteratorStep(ProcessIterator *iterator);
// The record belongs to the iterator and holds until the next step.
int processIteratorGetCurrent(ProcessIterator *iterator, ProcessInfo **info);
void processIteratorDestroy(ProcessIterator *iterator);

OSAL_END_DECLS

#endif
