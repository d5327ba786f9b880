#include <windows.h>

#include <stdio.h>

#include "osal/timing.h"

namespace {

constexpr int64_t unixEpochFileTime = 116444736000000000LL;
constexpr int64_t fileTicksPerSecond = 10000000;
// The last second whose local year still has four digits, with a day to spare for any zone.
constexpr int64_t lastFormattableSeconds = 253402214400LL - 86400;

const char weekdays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

int timingFormatTime(const int64_t *seconds, char *buffer) {
    if (seconds == nullptr || buffer == nullptr)
        return 0;
    if (*seconds < 0 || *seconds > lastFormattableSeconds)
        return 0;
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(*seconds * fileTicksPerSecond + unixEpochFileTime);
    FILETIME utcFile;
    utcFile.dwLowDateTime = value.LowPart;
    utcFile.dwHighDateTime = value.HighPart;
    SYSTEMTIME utc, local;
    // The zone's rule for that date, not today's, decides daylight saving time.
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return 0;
    if (local.wDayOfWeek > 6 || local.wMonth < 1 || local.wMonth > 12 || local.wYear > 9999)
        return 0;
    snprintf(buffer, 30, "%s %s %02u %02u:%02u:%02u %u", weekdays[local.wDayOfWeek], months[local.wMonth - 1],
             local.wDay, local.wHour, local.wMinute, local.wSecond, local.wYear);
    return 1;
}

int timingFormatCurrentTime(char *buffer) {
    int64_t seconds = timingGetCurrentTimeMillis() / 1000;
    return timingFormatTime(&seconds, buffer);
}
