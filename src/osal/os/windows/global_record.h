// Records of the synchronisation families allocated from the global memory space.
#ifndef OSAL_GLOBAL_RECORD_H
#define OSAL_GLOBAL_RECORD_H

#include <windows.h>

#include "osal/mspace.h"

// A new record made ready by init, or null; a record that init refuses goes back to the space
// and the last error stays that of the refusal.
template <typename Record, typename Init> Record *osalCreateRecord(Init init) {
    auto *record = static_cast<Record *>(gsMalloc(sizeof(Record)));
    if (record == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!init(record)) {
        DWORD error = GetLastError();
        gsFree(record);
        SetLastError(error);
        return nullptr;
    }
    return record;
}

#endif
