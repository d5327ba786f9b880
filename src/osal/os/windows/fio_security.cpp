#include "fio_security.h"

#include "../../shared/osal_log.h"
#include "fio_internal.h"
#include "osal/mspace.h"
#include "osal/os_error.h"

namespace {

constexpr DWORD fullAccess = 0x1F01FF;
constexpr DWORD readAccess = 0x120089;
constexpr DWORD writeAccess = 0x130116;
constexpr DWORD executeAccess = 0x1200A0;

bool failed(const char *step) {
    FioKeepError keep;
    if (osalLogLevel(OSAL_LOG_OSAL) >= OSAL_LEVEL_INFO) {
        DWORD code = GetLastError();
        char text[256];
        osGetErrorString(code, text, sizeof text);
        osalLogPrint(osalLogger(), OSAL_LOG_OSAL, OSAL_LEVEL_INFO, "%s (%d %s)", step, static_cast<int>(code),
                     text);
    }
    return false;
}

// The token's information of one class, in a buffer of its own size.
void *tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) {
        failed("GetTokenInformation failure");
        return nullptr;
    }
    void *information = gsMalloc(size);
    if (information == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        failed("GetTokenInformation failure");
        return nullptr;
    }
    if (!GetTokenInformation(token, kind, information, size, &size)) {
        failed("GetTokenInformation failure");
        FioKeepError keep;
        gsFree(information);
        return nullptr;
    }
    return information;
}

bool readToken(FioSecurity *security, bool wantUser, bool wantGroup) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token))
        return failed("Could not open process for read");
    bool ok = true;
    if (wantUser)
        ok = (security->user = tokenInformation(token, TokenUser)) != nullptr;
    if (ok && wantGroup)
        ok = (security->group = tokenInformation(token, TokenPrimaryGroup)) != nullptr;
    FioKeepError keep;
    CloseHandle(token);
    return ok;
}

bool wellKnown(PSID *sid, SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first, DWORD second,
               const char *step) {
    if (!AllocateAndInitializeSid(&authority, count, first, second, 0, 0, 0, 0, 0, 0, sid)) {
        *sid = nullptr;
        return failed(step);
    }
    return true;
}

bool allow(FioSecurity *security, DWORD mask, PSID sid) {
    if (mask == 0)
        return true;
    if (!AddAccessAllowedAce(reinterpret_cast<PACL>(security->list), ACL_REVISION, mask, sid))
        return failed("add_allow_ace");
    return true;
}

bool build(FioSecurity *security, DWORD ownerMask, DWORD groupMask, DWORD everyoneMask, DWORD adminMask) {
    if ((ownerMask != 0 || groupMask != 0) && !readToken(security, ownerMask != 0, groupMask != 0))
        return false;
    if (everyoneMask != 0 &&
        !wellKnown(&security->everyone, SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0, "get_everyone_sid"))
        return false;
    if (adminMask != 0 && !wellKnown(&security->admins, SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                     DOMAIN_ALIAS_RID_ADMINS, "get_admin_sid"))
        return false;
    // The list exists even when it stays empty: an empty list lets nobody in, while a missing one
    // would hand out the default access.
    auto *list = reinterpret_cast<PACL>(security->list);
    if (!InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !InitializeAcl(list, sizeof security->list, ACL_REVISION) ||
        !SetSecurityDescriptorDacl(&security->descriptor, TRUE, list, FALSE))
        return failed("make_security");
    PSID user = security->user ? static_cast<TOKEN_USER *>(security->user)->User.Sid : nullptr;
    PSID group = security->group ? static_cast<TOKEN_PRIMARY_GROUP *>(security->group)->PrimaryGroup : nullptr;
    return allow(security, ownerMask, user) && allow(security, groupMask, group) &&
           allow(security, everyoneMask, security->everyone) && allow(security, adminMask, security->admins);
}

} // namespace

int fioSecurityBuild(FioSecurity *security, DWORD ownerMask, DWORD groupMask, DWORD everyoneMask,
                     DWORD adminMask) {
    security->user = nullptr;
    security->group = nullptr;
    security->everyone = nullptr;
    security->admins = nullptr;
    if (build(security, ownerMask, groupMask, everyoneMask, adminMask))
        return 0;
    fioSecurityFree(security);
    return -1;
}

void fioSecurityFree(FioSecurity *security) {
    FioKeepError keep;
    gsFree(security->user);
    gsFree(security->group);
    if (security->everyone != nullptr)
        FreeSid(security->everyone);
    if (security->admins != nullptr)
        FreeSid(security->admins);
    security->user = security->group = security->everyone = security->admins = nullptr;
}

DWORD fioPermissionMask(int triad) {
    triad &= 7;
    if (triad == 7)
        return fullAccess;
    DWORD mask = 0;
    if (triad & 4)
        mask |= readAccess;
    if (triad & 2)
        mask |= writeAccess;
    if (triad & 1)
        mask |= executeAccess;
    return mask;
}
