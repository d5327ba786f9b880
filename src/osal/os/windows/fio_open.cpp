#include "fio_internal.h"

namespace {

HANDLE createFile(const char *name, const FioCreateArgs &a, SECURITY_ATTRIBUTES *security) {
    return CreateFileA(name, a.access, a.share, security, a.creation, a.attributes, nullptr);
}

HANDLE createFile(const wchar_t *name, const FioCreateArgs &a, SECURITY_ATTRIBUTES *security) {
    return CreateFileW(name, a.access, a.share, security, a.creation, a.attributes, nullptr);
}

template <typename Char> FioHandle openFile(const Char *name, int flags, SECURITY_DESCRIPTOR *descriptor) {
    FioCreateArgs args;
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FIO_INVALID_HANDLE;
    }
    if (!fioCreateArgs(flags, &args))
        return FIO_INVALID_HANDLE;
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    HANDLE file = createFile(name, args, &security);
    return file == INVALID_HANDLE_VALUE ? FIO_INVALID_HANDLE : reinterpret_cast<FioHandle>(file);
}

} // namespace

bool fioCreateArgs(int flags, FioCreateArgs *args) {
    if (flags & FIO_OPEN_ALWAYS)
        args->creation = OPEN_ALWAYS;
    else if (flags & FIO_OPEN_EXISTING)
        args->creation = OPEN_EXISTING;
    else if (flags & FIO_CREATE_ALWAYS)
        args->creation = CREATE_ALWAYS;
    else if (flags & FIO_CREATE_NEW)
        args->creation = CREATE_NEW;
    else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (flags & FIO_READ_ONLY)
        args->access = GENERIC_READ;
    else if (flags & FIO_WRITE_ONLY)
        args->access = GENERIC_WRITE;
    else
        args->access = GENERIC_READ | GENERIC_WRITE;

    args->share = 0;
    if (flags & FIO_SHARE_READ)
        args->share |= FILE_SHARE_READ;
    if (flags & FIO_SHARE_WRITE)
        args->share |= FILE_SHARE_WRITE;
    if (flags & FIO_SHARE_DELETE)
        args->share |= FILE_SHARE_DELETE;
    if (args->share == 0)
        args->share = FILE_SHARE_READ | FILE_SHARE_WRITE;

    args->attributes = FILE_ATTRIBUTE_NORMAL;
    if (flags & FIO_WRITE_THROUGH)
        args->attributes |= FILE_FLAG_WRITE_THROUGH;
    if (flags & FIO_DELETE_ON_CLOSE) {
        args->attributes |= FILE_FLAG_DELETE_ON_CLOSE;
        args->access |= DELETE;
        args->share |= FILE_SHARE_DELETE;
    }
    return true;
}

FioHandle fioOpenWith(const char *name, int flags, SECURITY_DESCRIPTOR *descriptor) {
    return openFile(name, flags, descriptor);
}

FioHandle fioOpenWith(const wchar_t *name, int flags, SECURITY_DESCRIPTOR *descriptor) {
    return openFile(name, flags, descriptor);
}

FioHandle fio_open(const char *name, int flags) { return openFile(name, flags, nullptr); }

FioHandle fio_open_w(const wchar_t *name, int flags) { return openFile(name, flags, nullptr); }
