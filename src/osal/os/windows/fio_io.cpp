#include <stdint.h>

#include "fio_internal.h"

namespace {

constexpr size_t maxCount = static_cast<size_t>(INTPTR_MAX);
// One platform call moves at most this much; the loops carry on with the rest.
constexpr size_t maxChunk = 1u << 30;

bool badArgument() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

bool checkedCount(const void *buffer, size_t count) {
    if (count > maxCount || (buffer == nullptr && count != 0))
        return badArgument();
    return true;
}

bool checkedAt(const void *buffer, size_t count, int64_t offset) {
    if (offset < 0)
        return badArgument();
    return checkedCount(buffer, count);
}

OVERLAPPED at(int64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
    where.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return where;
}

DWORD chunk(size_t count) { return static_cast<DWORD>(count < maxChunk ? count : maxChunk); }

// End of file, or of a pipe whose writer has gone, is a read of nothing.
bool atEnd(DWORD error) { return error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE; }

} // namespace

intptr_t fio_read(FioHandle handle, void *buffer, size_t count) {
    if (!checkedCount(buffer, count))
        return -1;
    DWORD got = 0;
    if (!ReadFile(fioOsHandle(handle), buffer, chunk(count), &got, nullptr))
        return atEnd(GetLastError()) ? 0 : -1;
    return static_cast<intptr_t>(got);
}

intptr_t fio_read_fully(FioHandle handle, void *buffer, size_t count) {
    if (!checkedCount(buffer, count))
        return -1;
    auto *into = static_cast<char *>(buffer);
    size_t total = 0;
    while (total < count) {
        intptr_t got = fio_read(handle, into + total, count - total);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<intptr_t>(total);
}

intptr_t fio_pread(FioHandle handle, void *buffer, size_t count, int64_t offset) {
    if (!checkedAt(buffer, count, offset))
        return -1;
    OVERLAPPED where = at(offset);
    DWORD got = 0;
    if (!ReadFile(fioOsHandle(handle), buffer, chunk(count), &got, &where))
        return atEnd(GetLastError()) ? 0 : -1;
    return static_cast<intptr_t>(got);
}

intptr_t fio_write_fully(FioHandle handle, const void *data, size_t count) {
    if (!checkedCount(data, count))
        return -1;
    auto *from = static_cast<const char *>(data);
    size_t total = 0;
    while (total < count) {
        DWORD wrote = 0;
        if (!WriteFile(fioOsHandle(handle), from + total, chunk(count - total), &wrote, nullptr))
            return -1;
        if (wrote == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return -1;
        }
        total += wrote;
    }
    return static_cast<intptr_t>(total);
}

intptr_t fio_write(FioHandle handle, const void *data, size_t count) {
    return fio_write_fully(handle, data, count);
}

intptr_t fio_pwrite(FioHandle handle, const void *data, size_t count, int64_t offset) {
    if (!checkedAt(data, count, offset))
        return -1;
    OVERLAPPED where = at(offset);
    DWORD wrote = 0;
    if (!WriteFile(fioOsHandle(handle), data, chunk(count), &wrote, &where))
        return -1;
    return static_cast<intptr_t>(wrote);
}

int64_t fio_seek(FioHandle handle, int64_t offset, int whence) {
    DWORD method;
    switch (whence) {
    case FIO_SEEK_SET:
        method = FILE_BEGIN;
        break;
    case FIO_SEEK_CUR:
        method = FILE_CURRENT;
        break;
    case FIO_SEEK_END:
        method = FILE_END;
        break;
    default:
        badArgument();
        return -1;
    }
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(fioOsHandle(handle), distance, &position, method))
        return -1;
    return position.QuadPart;
}

int fio_truncate(FioHandle handle, int64_t length) {
    if (length < 0) {
        badArgument();
        return -1;
    }
    LARGE_INTEGER distance;
    distance.QuadPart = length;
    if (!SetFilePointerEx(fioOsHandle(handle), distance, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(fioOsHandle(handle)))
        return -1;
    return 0;
}

int fio_force(FioHandle handle) {
    if (handle == FIO_INVALID_HANDLE)
        return 0;
    return FlushFileBuffers(fioOsHandle(handle)) ? 0 : -1;
}

int fio_close(FioHandle handle) {
    // -1 is also the platform's name for this process, which closing would silently accept.
    if (handle == FIO_INVALID_HANDLE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return CloseHandle(fioOsHandle(handle)) ? 1 : 0;
}

int64_t fio_fdsize(FioHandle handle) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(fioOsHandle(handle), &size))
        return -1;
    return size.QuadPart;
}
