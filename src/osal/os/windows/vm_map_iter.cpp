// The process's address map, range by range, with the files mapped into it.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "osal/mspace.h"
#include "osal/sharedlib.h"
#include "vmm_internal.h"

struct VmMapIter {
    MEMORY_BASIC_INFORMATION info;
    char name[MAX_PATH];
    bool started;
    bool ended;
};

namespace {

using GetMappedFileNameFunc = DWORD(WINAPI *)(HANDLE, LPVOID, LPSTR, DWORD);

constinit GetMappedFileNameFunc mappedFileName = nullptr;
constinit INIT_ONCE psapiBound = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK bindPsapi(PINIT_ONCE, PVOID, PVOID *) {
    char error[128];
    if (void *psapi = sharedlibSystemLoad("psapi.dll", error, sizeof error))
        mappedFileName = reinterpret_cast<GetMappedFileNameFunc>(sharedlibFindEntry(psapi, "GetMappedFileNameA"));
    return TRUE;
}

// "\Device\HarddiskVolume1\dir\file" becomes "C:\dir\file" through the drive that names that device.
void toDrivePath(char *name, size_t size) {
    // Some systems answer with the object manager's name of a DOS path.
    static const char dosDevices[] = "\\??\\";
    if (strncmp(name, dosDevices, sizeof dosDevices - 1) == 0) {
        memmove(name, name + sizeof dosDevices - 1, strlen(name + sizeof dosDevices - 1) + 1);
        return;
    }
    static const char prefix[] = "\\Device\\";
    if (strncmp(name, prefix, sizeof prefix - 1) != 0)
        return;
    const char *rest = strchr(name + sizeof prefix - 1, '\\');
    size_t deviceLength = rest != nullptr ? static_cast<size_t>(rest - name) : strlen(name);
    char drive[3] = "A:";
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        drive[0] = letter;
        char target[MAX_PATH];
        if (QueryDosDeviceA(drive, target, sizeof target) == 0)
            continue;
        if (strlen(target) == deviceLength && _strnicmp(target, name, deviceLength) == 0) {
            char converted[MAX_PATH];
            snprintf(converted, sizeof converted, "%s%s", drive, rest != nullptr ? rest : "\\");
            snprintf(name, size, "%s", converted);
            return;
        }
    }
}

int flagsOf(const MEMORY_BASIC_INFORMATION &info) {
    if (info.State != MEM_COMMIT)
        return 0;
    int flags;
    switch (info.Protect & 0xFF) {
    case PAGE_READONLY: flags = 1; break;
    case PAGE_READWRITE:
    case PAGE_WRITECOPY: flags = 3; break;
    case PAGE_EXECUTE:
    case PAGE_EXECUTE_READ: flags = 5; break;
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY: flags = 7; break;
    default: flags = 0; break;
    }
    if (info.Protect & PAGE_GUARD)
        flags |= VMM_PROT_GUARD;
    return flags;
}

} // namespace

VmMapIter *vmMapIterCreate(void) { return static_cast<VmMapIter *>(gsCalloc(1, sizeof(VmMapIter))); }

int vmMapIterNext(VmMapIter *iter) {
    if (iter == nullptr || iter->ended)
        return 1;
    char *at = iter->started ? static_cast<char *>(iter->info.BaseAddress) + iter->info.RegionSize
                             : vmm::systemValues().lowest;
    for (;;) {
        char *previous = iter->started ? static_cast<char *>(iter->info.BaseAddress) : nullptr;
        if ((iter->started && at <= previous) || VirtualQuery(at, &iter->info, sizeof iter->info) != sizeof iter->info) {
            iter->ended = true;
            return 1;
        }
        iter->started = true;
        if (iter->info.State != MEM_FREE)
            break;
        at = static_cast<char *>(iter->info.BaseAddress) + iter->info.RegionSize;
    }
    iter->name[0] = '\0';
    if (iter->info.Type == MEM_IMAGE || iter->info.Type == MEM_MAPPED) {
        InitOnceExecuteOnce(&psapiBound, bindPsapi, nullptr, nullptr);
        if (mappedFileName != nullptr &&
            mappedFileName(GetCurrentProcess(), iter->info.BaseAddress, iter->name, sizeof iter->name) != 0)
            toDrivePath(iter->name, sizeof iter->name);
        else
            iter->name[0] = '\0';
    }
    return 0;
}

void *vmMapIterGetStart(VmMapIter *iter) { return iter != nullptr ? iter->info.BaseAddress : nullptr; }

void *vmMapIterGetEnd(VmMapIter *iter) {
    return iter != nullptr ? static_cast<char *>(iter->info.BaseAddress) + iter->info.RegionSize : nullptr;
}

int vmMapIterGetFlags(VmMapIter *iter) { return iter != nullptr ? flagsOf(iter->info) : 0; }

const char *vmMapIterGetName(VmMapIter *iter) {
    return iter != nullptr && iter->name[0] != '\0' ? iter->name : nullptr;
}

void vmMapIterGet(VmMapIter *iter, void **start, void **end, int *flags, const char **name) {
    if (start != nullptr)
        *start = vmMapIterGetStart(iter);
    if (end != nullptr)
        *end = vmMapIterGetEnd(iter);
    if (flags != nullptr)
        *flags = vmMapIterGetFlags(iter);
    if (name != nullptr)
        *name = vmMapIterGetName(iter);
}

void vmMapIterDestroy(VmMapIter *iter) { gsFree(iter); }
