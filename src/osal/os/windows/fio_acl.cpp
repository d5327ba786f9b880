#include "fio_internal.h"
#include "fio_security.h"

namespace {

struct Masks {
    DWORD owner, group, everyone, admins;
};

Masks fromPermissions(int permissions) {
    return {fioPermissionMask(permissions >> 6), fioPermissionMask(permissions >> 3), fioPermissionMask(permissions),
            0};
}

// Runs action with a descriptor built from masks; failure is the action's failure value.
template <typename Result, typename Action> Result withSecurity(const Masks &m, Result failure, Action action) {
    FioSecurity security;
    if (fioSecurityBuild(&security, m.owner, m.group, m.everyone, m.admins) != 0)
        return failure;
    Result result = action(&security.descriptor);
    fioSecurityFree(&security);
    return result;
}

template <typename Char> FioHandle openAcl(const Char *name, int flags, const Masks &m) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FIO_INVALID_HANDLE;
    }
    return withSecurity(m, FIO_INVALID_HANDLE,
                        [&](SECURITY_DESCRIPTOR *descriptor) { return fioOpenWith(name, flags, descriptor); });
}

template <typename Char> int mkdirAcl(const Char *name, const Masks &m) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return withSecurity(m, -1, [&](SECURITY_DESCRIPTOR *descriptor) { return fioMkdirWith(name, descriptor); });
}

} // namespace

FioHandle fio_open_acl(const char *name, int flags, unsigned int ownerMask, unsigned int groupMask,
                       unsigned int everyoneMask, unsigned int adminMask) {
    return openAcl(name, flags, {ownerMask, groupMask, everyoneMask, adminMask});
}

FioHandle fio_open_acl_w(const wchar_t *name, int flags, unsigned int ownerMask, unsigned int groupMask,
                         unsigned int everyoneMask, unsigned int adminMask) {
    return openAcl(name, flags, {ownerMask, groupMask, everyoneMask, adminMask});
}

FioHandle fio_open_perm(const char *name, int flags, int permissions) {
    return openAcl(name, flags, fromPermissions(permissions));
}

FioHandle fio_open_perm_w(const wchar_t *name, int flags, int permissions) {
    return openAcl(name, flags, fromPermissions(permissions));
}

int fio_mkdir_acl(const char *name, unsigned int ownerMask, unsigned int groupMask, unsigned int everyoneMask,
                  unsigned int adminMask) {
    return mkdirAcl(name, {ownerMask, groupMask, everyoneMask, adminMask});
}

int fio_mkdir_acl_w(const wchar_t *name, unsigned int ownerMask, unsigned int groupMask,
                    unsigned int everyoneMask, unsigned int adminMask) {
    return mkdirAcl(name, {ownerMask, groupMask, everyoneMask, adminMask});
}

int fio_mkdir2(const char *name, int permissions) { return mkdirAcl(name, fromPermissions(permissions)); }

int fio_mkdir_w2(const wchar_t *name, int permissions) { return mkdirAcl(name, fromPermissions(permissions)); }

int fio_set_file_security(const char *name, unsigned int ownerMask, unsigned int groupMask,
                          unsigned int everyoneMask, unsigned int adminMask) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return withSecurity(Masks{ownerMask, groupMask, everyoneMask, adminMask}, -1, [&](SECURITY_DESCRIPTOR *d) {
        return SetFileSecurityA(name, DACL_SECURITY_INFORMATION, d) ? 0 : -1;
    });
}

void *fio_create_mapping_acl(FioHandle handle, const char *name, int type, int64_t offset, int64_t size,
                             unsigned int ownerMask, unsigned int groupMask, unsigned int everyoneMask,
                             unsigned int adminMask, void **mapping) {
    if (mapping != nullptr)
        *mapping = nullptr;
    return withSecurity(Masks{ownerMask, groupMask, everyoneMask, adminMask}, static_cast<void *>(nullptr),
                        [&](SECURITY_DESCRIPTOR *descriptor) {
                            return fioMapWith(handle, name, type, offset, size, descriptor, mapping);
                        });
}
