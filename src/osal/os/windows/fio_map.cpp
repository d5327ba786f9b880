#include <stdint.h>

#include "fio_internal.h"

namespace {

struct MapAccess {
    DWORD protection;
    DWORD viewAccess;
};

MapAccess accessOf(int type) {
    switch (type) {
    case FIO_MAP_READ_WRITE:
        return {PAGE_READWRITE, FILE_MAP_WRITE};
    case FIO_MAP_COPY_ON_WRITE:
        return {PAGE_WRITECOPY, FILE_MAP_COPY};
    default:
        return {PAGE_READONLY, FILE_MAP_READ};
    }
}

DWORD high(uint64_t value) { return static_cast<DWORD>(value >> 32); }
DWORD low(uint64_t value) { return static_cast<DWORD>(value); }

} // namespace

void *fioMapWith(FioHandle handle, const char *name, int type, int64_t offset, int64_t size,
                 SECURITY_DESCRIPTOR *descriptor, void **mapping) {
    if (mapping != nullptr)
        *mapping = nullptr;
    // The view must fit this address space and the mapping's end must not overflow.
    if (offset < 0 || size < 0 || static_cast<uint64_t>(size) > SIZE_MAX || offset > INT64_MAX - size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    MapAccess access = accessOf(type);
    HANDLE object;
    if (handle != FIO_INVALID_HANDLE) {
        uint64_t end = static_cast<uint64_t>(offset) + static_cast<uint64_t>(size);
        SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
        object = CreateFileMappingA(fioOsHandle(handle), &security, access.protection, high(end), low(end), name);
    } else if (name != nullptr) {
        object = OpenFileMappingA(access.viewAccess, FALSE, name);
    } else {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (object == nullptr)
        return nullptr;
    void *view = MapViewOfFile(object, access.viewAccess, high(static_cast<uint64_t>(offset)),
                               low(static_cast<uint64_t>(offset)), static_cast<SIZE_T>(size));
    if (view == nullptr) {
        FioKeepError keep;
        CloseHandle(object);
        return nullptr;
    }
    if (mapping != nullptr) {
        *mapping = object;
        return view;
    }
    if (!CloseHandle(object)) {
        FioKeepError keep;
        UnmapViewOfFile(view);
        return nullptr;
    }
    return view;
}

int fio_mapgranularity(void) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<int>(info.dwAllocationGranularity);
}

void *fio_map(FioHandle handle, const char *name, int type, int64_t offset, int64_t size) {
    return fioMapWith(handle, name, type, offset, size, nullptr, nullptr);
}

int fio_unmap(void *view, int64_t size) {
    if (view == nullptr || size < 0 || static_cast<uint64_t>(size) > SIZE_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    bool flushed = FlushViewOfFile(view, static_cast<SIZE_T>(size)) != 0;
    DWORD flushError = GetLastError();
    // The view goes even when flushing failed; the first failure is the one reported.
    if (!UnmapViewOfFile(view))
        return -1;
    if (!flushed) {
        SetLastError(flushError);
        return -1;
    }
    return 0;
}
