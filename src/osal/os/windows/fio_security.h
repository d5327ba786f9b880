// Security descriptors whose access list allows one mask to each of the process user, its
// primary group, everyone and the administrators.
#ifndef OSAL_FIO_SECURITY_H
#define OSAL_FIO_SECURITY_H

#include <windows.h>

struct FioSecurity {
    SECURITY_DESCRIPTOR descriptor;
    alignas(DWORD) unsigned char list[1024];
    void *user;  // token information, present only when asked for
    void *group;
    PSID everyone;
    PSID admins;
};

// 0 with the descriptor ready, else -1 with nothing left to free and the platform's error set.
int fioSecurityBuild(FioSecurity *security, DWORD ownerMask, DWORD groupMask, DWORD everyoneMask,
                     DWORD adminMask);
// Keeps the last error as it was.
void fioSecurityFree(FioSecurity *security);

// The file access that one permission triad (read 4, write 2, execute 1) grants.
DWORD fioPermissionMask(int triad);

#endif
