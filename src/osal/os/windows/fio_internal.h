// What the file functions share: the open-flag translation, opening and mapping with a given
// security, and keeping an error code across clean-up calls.
#ifndef OSAL_FIO_INTERNAL_H
#define OSAL_FIO_INTERNAL_H

#include <windows.h>

#include "osal/fio.h"

struct FioCreateArgs {
    DWORD access;
    DWORD share;
    DWORD creation;
    DWORD attributes;
};

// False (with ERROR_INVALID_PARAMETER set) when no creation bit is given.
bool fioCreateArgs(int flags, FioCreateArgs *args);

FioHandle fioOpenWith(const char *name, int flags, SECURITY_DESCRIPTOR *descriptor);
FioHandle fioOpenWith(const wchar_t *name, int flags, SECURITY_DESCRIPTOR *descriptor);
int fioMkdirWith(const char *name, SECURITY_DESCRIPTOR *descriptor);
int fioMkdirWith(const wchar_t *name, SECURITY_DESCRIPTOR *descriptor);
void *fioMapWith(FioHandle handle, const char *name, int type, int64_t offset, int64_t size,
                 SECURITY_DESCRIPTOR *descriptor, void **mapping);

inline HANDLE fioOsHandle(FioHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// Clean-up after a failure must not replace the error the caller is to see.
class FioKeepError {
public:
    FioKeepError() : code_(GetLastError()) {}
    ~FioKeepError() { SetLastError(code_); }
    FioKeepError(const FioKeepError &) = delete;
    FioKeepError &operator=(const FioKeepError &) = delete;

private:
    DWORD code_;
};

#endif
