#include <windows.h>

#include <stddef.h>
#include <string.h>

#include "log_internal.h"
#include "osal/mspace.h"
#include "osal/os_error.h"

using namespace sarnik;

namespace {

struct StreamNode {
    FioHandle handle;
    int references;
    StreamNode *next;
    char path[1]; // as long as the text
};

constinit RwLock streamsLock = 0;
constinit StreamNode *firstStream = nullptr;

constexpr int pathRoom = 260; // the platform's longest path, its NUL included

bool isStandardName(const char *name, const char *bare) {
    return strcmp(name, bare) == 0 || (strncmp(name, "/dev/", 5) == 0 && strcmp(name + 5, bare) == 0);
}

StreamNode *findByHandle(FioHandle handle) {
    for (StreamNode *node = firstStream; node != nullptr; node = node->next)
        if (node->handle == handle)
            return node;
    return nullptr;
}

StreamNode *findByPath(const char *path) {
    for (StreamNode *node = firstStream; node != nullptr; node = node->next)
        if (fio_filename_strcmp(node->path, path) == 0)
            return node;
    for (StreamNode *node = firstStream; node != nullptr; node = node->next)
        if (fio_is_same_files_by_path(path, node->handle))
            return node;
    return nullptr;
}

} // namespace

namespace sarnik {

FioHandle logOpenNamedStream(const char *name) {
    if (name == nullptr)
        return FIO_INVALID_HANDLE;
    if (isStandardName(name, "stdout"))
        return logStandardOutput();
    if (isStandardName(name, "stderr"))
        return logStandardError();

    // A longer name would be opened cut short, as some other file.
    const size_t length = strlen(name);
    if (length >= static_cast<size_t>(pathRoom)) {
        osSetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FIO_INVALID_HANDLE;
    }
    char path[pathRoom];
    bool canonical = fio_fsize(name) >= 0 && fio_canonicalize_path(name, path, sizeof path) != 0;
    if (!canonical)
        memcpy(path, name, length + 1);

    rwWriteLock(&streamsLock);
    if (canonical) {
        if (StreamNode *node = findByPath(path)) {
            ++node->references;
            FioHandle shared = node->handle;
            rwWriteUnlock(&streamsLock);
            return shared;
        }
    }
    FioHandle handle = fio_open(path, FIO_WRITE_ONLY | FIO_CREATE_ALWAYS);
    if (handle == FIO_INVALID_HANDLE) {
        rwWriteUnlock(&streamsLock);
        return FIO_INVALID_HANDLE;
    }
    char full[pathRoom];
    if (!canonical && fio_canonicalize_path(name, full, sizeof full) != 0)
        memcpy(path, full, strlen(full) + 1);
    const size_t pathLength = strlen(path);
    auto *node = static_cast<StreamNode *>(gsMalloc(offsetof(StreamNode, path) + pathLength + 1));
    if (node == nullptr) {
        rwWriteUnlock(&streamsLock);
        const int error = osGetLastError();
        fio_close(handle);
        osSetLastError(error);
        return FIO_INVALID_HANDLE;
    }
    node->handle = handle;
    node->references = 1;
    memcpy(node->path, path, pathLength + 1);
    node->next = firstStream;
    firstStream = node;
    rwWriteUnlock(&streamsLock);
    return handle;
}

void logRetainStream(FioHandle handle) {
    rwWriteLock(&streamsLock);
    if (StreamNode *node = findByHandle(handle))
        ++node->references;
    rwWriteUnlock(&streamsLock);
}

void logReleaseStream(FioHandle handle) {
    rwWriteLock(&streamsLock);
    StreamNode **link = &firstStream;
    while (*link != nullptr && (*link)->handle != handle)
        link = &(*link)->next;
    StreamNode *node = *link;
    if (node != nullptr && --node->references == 0)
        *link = node->next;
    else
        node = nullptr;
    rwWriteUnlock(&streamsLock);
    if (node != nullptr) {
        fio_close(node->handle);
        gsFree(node);
    }
}

int logStreamReferences(FioHandle handle) {
    rwReadLock(&streamsLock);
    StreamNode *node = findByHandle(handle);
    int references = node != nullptr ? node->references : 0;
    rwReadUnlock(&streamsLock);
    return references;
}

void logReplaceModuleStream(LogModule *module, FioHandle handle) {
    rwWriteLock(&module->lock);
    FioHandle old = module->stream;
    FILE *oldObject = module->streamObject;
    module->stream = handle;
    module->streamObject = nullptr;
    rwWriteUnlock(&module->lock);
    logReleaseStream(old);
    if (oldObject != nullptr && module->owner != nullptr && module->owner->closeStream != nullptr)
        module->owner->closeStream(oldObject);
}

} // namespace sarnik
