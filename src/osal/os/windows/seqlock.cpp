#include <string.h>

#include "global_record.h"
#include "osal/sync.h"

int seqlockInit(Seqlock *seqlock) {
    if (seqlock == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    seqlock->sequence = 0;
    return osMonitorInit(&seqlock->monitor);
}

Seqlock *seqlockNew(void) {
    return osalCreateRecord<Seqlock>([](Seqlock *seqlock) {
        memset(seqlock, 0, sizeof *seqlock);
        return seqlockInit(seqlock);
    });
}

void seqlockFree(Seqlock *seqlock) {
    if (seqlock == nullptr)
        return;
    osMonitorDestroy(&seqlock->monitor);
    gsFree(seqlock);
}
