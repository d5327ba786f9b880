#include "bounded_format.h"
#include "os_version.h"

namespace {

constexpr uint32_t platformWin32s = 0;
constexpr uint32_t platformWindows9x = 1;
constexpr uint32_t platformNt = 2;
constexpr uint8_t workstation = 1;
constexpr uint16_t architectureX64 = 9;

const char *windows9xName(uint32_t minor) {
    switch (minor) {
    case 0:
        return "95";
    case 10:
        return "98";
    case 90:
        return "ME";
    default:
        return "";
    }
}

const char *windows9xSuffix(const OsVersionFacts &facts) {
    if (facts.major != 4 || facts.servicePack[0] == '\0')
        return "";
    switch (facts.servicePack[1]) {
    case 'A':
        return "SE ";
    case 'B':
    case 'C':
        return "OSR2 ";
    default:
        return "";
    }
}

const char *ntName(const OsVersionFacts &facts) {
    const bool isWorkstation = facts.productType == workstation;
    if (facts.major == 6) {
        if (facts.minor == 0)
            return isWorkstation ? "Vista" : "Server 2008";
        if (facts.minor == 1)
            return isWorkstation ? "7" : "2008 R2";
        return "\"Longhorn\"";
    }
    if (facts.major == 5) {
        switch (facts.minor) {
        case 0:
            return "2000";
        case 1:
            return "XP";
        case 2:
            if (facts.serverR2 != 0)
                return "Server 2003 \"R2\"";
            if (isWorkstation && facts.nativeArchitecture == architectureX64)
                return "XP Professional x64 Edition";
            return "Server 2003";
        default:
            return "";
        }
    }
    return facts.major <= 4 ? "NT" : "";
}

} // namespace

int osFormatVersion(const OsVersionFacts *facts, char *buffer, int size) {
    const char *bitness = facts->wow64 ? "64-bit" : "32-bit";
    if (!facts->known)
        return osalFormat(buffer, size, "Microsoft Windows (Unknown version) (%s)", bitness);
    switch (facts->platform) {
    case platformWin32s:
        return osalFormat(buffer, size, "Microsoft Win32s (%s)", bitness);
    case platformWindows9x:
        return osalFormat(buffer, size, "Microsoft Windows %s %s (version %d.%d) (%s)", windows9xName(facts->minor),
                          windows9xSuffix(*facts), static_cast<int>(facts->major), static_cast<int>(facts->minor),
                          bitness);
    case platformNt:
        return osalFormat(buffer, size, "Microsoft Windows %s version %d.%d %s (Build %d) (%s)", ntName(*facts),
                          static_cast<int>(facts->major), static_cast<int>(facts->minor), facts->servicePack,
                          static_cast<int>(facts->build), bitness);
    default:
        return osalFormat(buffer, size, "Microsoft Windows (unknown platform id) (%s)", bitness);
    }
}
