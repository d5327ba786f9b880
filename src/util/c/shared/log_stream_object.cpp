#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "log_internal.h"

namespace {

// The stream object owns a duplicate, so closing it never closes the module's own handle.
FILE *openOver(FioHandle stream) {
    HANDLE duplicate = nullptr;
    HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(stream), process, &duplicate, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(duplicate), 0);
    if (descriptor == -1) {
        CloseHandle(duplicate);
        return nullptr;
    }
    FILE *object = _fdopen(descriptor, "a");
    if (object == nullptr)
        _close(descriptor);
    return object;
}

} // namespace

namespace sarnik {

FILE *logAcquireStreamObject(LogModule *module) {
    rwReadLock(&module->lock);
    if (module->streamObject != nullptr)
        return module->streamObject;
    rwReadUnlock(&module->lock);
    rwWriteLock(&module->lock);
    if (module->streamObject == nullptr)
        module->streamObject = openOver(module->stream);
    FILE *object = module->streamObject;
    rwWriteConvertToReadLock(&module->lock);
    return object;
}

void logReleaseStreamObject(LogModule *module, FILE *stream) {
    if (stream != nullptr)
        fflush(stream);
    rwReadUnlock(&module->lock);
}

FioHandle logStreamHandle(FILE *stream) {
    if (stream == nullptr)
        return FIO_INVALID_HANDLE;
    int descriptor = _fileno(stream);
    if (descriptor < 0)
        return FIO_INVALID_HANDLE;
    return static_cast<FioHandle>(_get_osfhandle(descriptor));
}

} // namespace sarnik
