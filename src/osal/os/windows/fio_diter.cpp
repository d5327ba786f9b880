#include <stdio.h>
#include <string.h>

#include "fio_internal.h"
#include "osal/mspace.h"

namespace {

constexpr size_t maxNameLength = 264;

bool isBareDrive(const char *name, size_t length) {
    return (length == 2 || (length == 3 && name[2] == '\\')) && name[1] == ':';
}

} // namespace

struct FioDirEntry {
    WIN32_FIND_DATAA data;
};

struct FioDirIter {
    char name[maxNameLength + 5 + 1]; // room for "\*.*" while the search starts
    HANDLE search;
    FioDirEntry current;
    bool started;
};

int fio_diter_create(const char *directory, FioDirIter **iterator) {
    if (directory == nullptr || iterator == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    size_t length = strlen(directory);
    if (length > maxNameLength) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    auto *it = static_cast<FioDirIter *>(gsMalloc(sizeof(FioDirIter)));
    if (it == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return OSAL_ERR_RESOURCE;
    }
    it->search = INVALID_HANDLE_VALUE;
    it->started = false;
    memcpy(it->name, length == 0 ? "." : directory, length == 0 ? 2 : length + 1);
    fio_normalize_path(it->name);
    if (strcmp(it->name, "\\") == 0) {
        char current[MAX_PATH];
        DWORD got = GetCurrentDirectoryA(sizeof current, current);
        if (got > 1 && got < sizeof current && current[1] == ':')
            snprintf(it->name, sizeof it->name, "%c:\\", current[0]);
    }

    size_t base = strlen(it->name);
    DWORD attributes = GetFileAttributesA(it->name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        size_t end = base;
        if (isBareDrive(it->name, base)) {
            strcpy(it->name + end, "*.*");
        } else {
            if (end > 0 && it->name[end - 1] == '\\')
                --end;
            strcpy(it->name + end, "\\*.*");
        }
        it->search = FindFirstFileA(it->name, &it->current.data);
    }
    it->name[base] = '\0';
    *iterator = it;
    return OSAL_OK;
}

FioDirEntry *fio_diter_next(FioDirIter *iterator) {
    if (iterator == nullptr || iterator->search == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!iterator->started) {
        iterator->started = true;
        return &iterator->current;
    }
    return FindNextFileA(iterator->search, &iterator->current.data) ? &iterator->current : nullptr;
}

const char *fio_diter_getname(const FioDirEntry *entry) { return entry ? entry->data.cFileName : nullptr; }

unsigned int fio_diter_getflags(const FioDirEntry *entry) { return entry ? entry->data.dwFileAttributes : 0; }

const char *fio_diter_getdirname(const FioDirIter *iterator) { return iterator ? iterator->name : nullptr; }

void fio_diter_destroy(FioDirIter *iterator) {
    if (iterator == nullptr)
        return;
    if (iterator->search != INVALID_HANDLE_VALUE)
        FindClose(iterator->search);
    gsFree(iterator);
}
