#include <windows.h>

#include <tlhelp32.h>

#include "../../shared/osal_log.h"
#include "osal/mspace.h"
#include "osal/perf.h"
#include "osal/sharedlib.h"

namespace {

using EnumModulesFn = BOOL(WINAPI *)(HANDLE, HMODULE *, DWORD, LPDWORD);
using ModuleFileNameFn = DWORD(WINAPI *)(HANDLE, HMODULE, LPSTR, DWORD);

#define ITERATOR_WARN(text) OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, text)

} // namespace

struct ProcessIterator {
    HANDLE snapshot;
    void *library;
    EnumModulesFn enumModules;
    ModuleFileNameFn moduleFileName;
    bool valid;
    PROCESSENTRY32 entry;
    char path[MAX_PATH];
    ProcessInfo info;
};

int processIteratorCreate(ProcessIterator **iterator) {
    if (iterator == nullptr)
        return OSAL_ERR;
    *iterator = nullptr;
    char error[256];
    void *library = sharedlibSystemLoad("psapi.dll", error, sizeof error);
    if (library == nullptr) {
        ITERATOR_WARN("Could not get psapi.dll handle");
        return OSAL_ERR;
    }
    auto enumModules = reinterpret_cast<EnumModulesFn>(sharedlibFindEntry(library, "EnumProcessModules"));
    auto moduleFileName = reinterpret_cast<ModuleFileNameFn>(sharedlibFindEntry(library, "GetModuleFileNameExA"));
    if (enumModules == nullptr || moduleFileName == nullptr) {
        if (enumModules == nullptr)
            ITERATOR_WARN("Could not find EnumProcessModules function");
        else
            ITERATOR_WARN("Could not find GetModuleFileNameExA function");
        sharedlibUnload(library);
        return OSAL_ERR;
    }
    auto *it = static_cast<ProcessIterator *>(gsMalloc(sizeof(ProcessIterator)));
    HANDLE snapshot = it ? CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0) : INVALID_HANDLE_VALUE;
    if (snapshot == INVALID_HANDLE_VALUE) {
        gsFree(it);
        sharedlibUnload(library);
        return OSAL_ERR;
    }
    it->snapshot = snapshot;
    it->library = library;
    it->enumModules = enumModules;
    it->moduleFileName = moduleFileName;
    it->entry.dwSize = sizeof it->entry;
    it->valid = Process32First(snapshot, &it->entry) != FALSE;
    *iterator = it;
    return OSAL_OK;
}

int processIteratorIsValid(const ProcessIterator *iterator) { return iterator != nullptr && iterator->valid; }

int processIteratorStep(ProcessIterator *iterator) {
    if (iterator == nullptr || !iterator->valid)
        return 0;
    iterator->valid = Process32Next(iterator->snapshot, &iterator->entry) != FALSE;
    return iterator->valid;
}

int processIteratorGetCurrent(ProcessIterator *iterator, ProcessInfo **info) {
    if (iterator == nullptr || info == nullptr || !iterator->valid)
        return OSAL_ERR;
    ProcessInfo &record = iterator->info;
    record.pid = static_cast<int>(iterator->entry.th32ProcessID);
    record.name = iterator->entry.szExeFile;
    record.path = nullptr;
    record.reserved = 0;
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, iterator->entry.th32ProcessID);
    if (process != nullptr) {
        HMODULE first;
        DWORD needed;
        if (iterator->enumModules(process, &first, sizeof first, &needed) &&
            iterator->moduleFileName(process, first, iterator->path, MAX_PATH) > 0) {
            iterator->path[MAX_PATH - 1] = '\0';
            record.path = iterator->path;
        }
        CloseHandle(process);
    }
    *info = &record;
    return OSAL_OK;
}

void processIteratorDestroy(ProcessIterator *iterator) {
    if (iterator == nullptr)
        return;
    CloseHandle(iterator->snapshot);
    sharedlibUnload(iterator->library);
    gsFree(iterator);
}
