#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fio_internal.h"
#include "osal/mspace.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool isDirectory(const char *name) {
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(const wchar_t *name) {
    DWORD attributes = GetFileAttributesW(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL createDirectory(const char *name, SECURITY_ATTRIBUTES *security) { return CreateDirectoryA(name, security); }

BOOL createDirectory(const wchar_t *name, SECURITY_ATTRIBUTES *security) {
    return CreateDirectoryW(name, security);
}

template <typename Char> int makeDirectory(const Char *name, SECURITY_DESCRIPTOR *descriptor) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    if (createDirectory(name, &security))
        return 0;
    DWORD code = GetLastError();
    // A file of that name is no directory: the caller sees "already exists" as a failure.
    bool there = code == ERROR_ALREADY_EXISTS && isDirectory(name);
    SetLastError(code);
    return there ? 0 : -1;
}

BY_HANDLE_FILE_INFORMATION *identity(FioHandle handle, BY_HANDLE_FILE_INFORMATION *info) {
    return GetFileInformationByHandle(fioOsHandle(handle), info) ? info : nullptr;
}

} // namespace

int fioMkdirWith(const char *name, SECURITY_DESCRIPTOR *descriptor) { return makeDirectory(name, descriptor); }

int fioMkdirWith(const wchar_t *name, SECURITY_DESCRIPTOR *descriptor) {
    return makeDirectory(name, descriptor);
}

int fio_delete(const char *name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return DeleteFileA(name) ? 1 : 0;
}

int64_t fio_fsize(const char *name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data))
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

int fio_isdir(const char *name) {
    if (name == nullptr)
        return 0;
    if (isDirectory(name))
        return 1;
    size_t length = strlen(name);
    if (length < 2 || !isSeparator(name[length - 1]))
        return 0;
    char *trimmed = static_cast<char *>(gsMalloc(length + 1));
    if (trimmed == nullptr)
        return 0;
    memcpy(trimmed, name, length + 1);
    while (length > 1 && isSeparator(trimmed[length - 1]))
        trimmed[--length] = '\0';
    int result = isDirectory(trimmed) ? 1 : 0;
    gsFree(trimmed);
    return result;
}

int fio_mkdir(const char *name) { return makeDirectory(name, nullptr); }

int fio_mkdir_w(const wchar_t *name) { return makeDirectory(name, nullptr); }

int fio_verify_dir(const char *directory) {
    if (directory == nullptr)
        return 0;
    char probe[2048];
    int length = snprintf(probe, sizeof probe, "%s\\vantrel-test-writeability-file", directory);
    if (length < 0 || length >= static_cast<int>(sizeof probe)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (fio_mkdir(directory) != 0)
        return 0;
    FioHandle file = fio_open(probe, FIO_CREATE_ALWAYS);
    if (file == FIO_INVALID_HANDLE)
        return 0;
    fio_close(file);
    fio_delete(probe);
    return 1;
}

int fio_canonicalize_path(const char *path, char *buffer, int size) {
    if (path == nullptr || buffer == nullptr || size <= 0)
        return 0;
    return _fullpath(buffer, path, static_cast<size_t>(size)) != nullptr ? 1 : 0;
}

int fio_filename_strcmp(const char *first, const char *second) {
    if (first == nullptr || second == nullptr)
        return (first != nullptr) - (second != nullptr);
    return _stricmp(first, second);
}

int fio_is_same_files(FioHandle first, FioHandle second) {
    if (first == FIO_INVALID_HANDLE || second == FIO_INVALID_HANDLE)
        return 0;
    BY_HANDLE_FILE_INFORMATION a, b;
    if (!identity(first, &a) || !identity(second, &b))
        return 0;
    // File indexes repeat across volumes, so the volume must match too.
    return a.dwFileAttributes == b.dwFileAttributes && a.nFileIndexHigh == b.nFileIndexHigh &&
                   a.nFileIndexLow == b.nFileIndexLow && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber
               ? 1
               : 0;
}

int fio_is_same_files_by_path(const char *name, FioHandle handle) {
    FioHandle opened = fio_open(name, FIO_OPEN_EXISTING);
    if (opened == FIO_INVALID_HANDLE)
        return 0;
    int same = fio_is_same_files(opened, handle);
    fio_close(opened);
    return same;
}
