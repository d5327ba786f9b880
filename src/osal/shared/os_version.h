// What the system says about its version, and the text made from it.
#ifndef OSAL_OS_VERSION_H
#define OSAL_OS_VERSION_H

#include "osal/osal_types.h"

struct OsVersionFacts {
    bool known; // neither form of the version query failed
    uint32_t platform;
    uint32_t major, minor, build;
    char servicePack[128];
    uint8_t productType;         // 1 for a workstation
    uint16_t nativeArchitecture; // 9 for x64
    int serverR2;                // the system metric of the R2 release; read for 5.2 only
    bool wow64;                  // a 32-bit process on a 64-bit system
};

OSAL_BEGIN_DECLS

void osReadVersionFacts(OsVersionFacts *facts);
// Writes the version text cut to the buffer; returns the characters written.
int osFormatVersion(const OsVersionFacts *facts, char *buffer, int size);

OSAL_END_DECLS

#endif
