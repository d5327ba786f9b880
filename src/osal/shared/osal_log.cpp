#include "osal_log.h"

#include <stdio.h>

namespace {

// Each module's level word starts at WARN; sarnik's settings rewrite these ints in place.
constinit int moduleLevels[4] = {2, 2, 2, 2};
constinit int moduleSanity[4] = {0, 0, 0, 0};

int closeOwnStream(FILE *stream) { return fclose(stream); }

constinit LOGGER_WITH_MODULES(4) libraryLogger = {
    nullptr, 4, 0, 0, nullptr, LOG_WARN, LOG_SANITY_NONE, closeOwnStream, {},
    {
        {-1, nullptr, "osal", nullptr, 0, &moduleLevels[0], &moduleSanity[0], nullptr, nullptr, 0, 3},
        {-1, nullptr, "timing", nullptr, 0, &moduleLevels[1], &moduleSanity[1], nullptr, nullptr, 0, 3},
        {-1, nullptr, "cpuinfo", nullptr, 0, &moduleLevels[2], &moduleSanity[2], nullptr, nullptr, 0, 3},
        {-1, nullptr, "cpuid", nullptr, 0, &moduleLevels[3], &moduleSanity[3], nullptr, nullptr, 0, 3},
    }};

} // namespace

constinit OsalLogSink osalLogSink = osalDefaultLogSink;

Logger *osalLogger(void) { return reinterpret_cast<Logger *>(&libraryLogger); }

void osalLinkLoggerOwners(void) {
    for (LogModule &m : libraryLogger.modules)
        m.owner = osalLogger();
}

int osalLogLevel(int module) {
    if (module < 0 || module >= 4)
        return 0;
    return *libraryLogger.modules[module].level;
}

void osalSetLogLevel(int module, int level) {
    if (module >= 0 && module < 4)
        *libraryLogger.modules[module].level = level;
}

void osalLogPrint(Logger *logger, int module, int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    osalLogSink(logger, module, level, format, args);
    va_end(args);
}

void osalDefaultLogSink(Logger *, int, int level, const char *format, va_list args) {
    if (level > OSAL_LEVEL_WARNING)
        return;
    vfprintf(stderr, format, args);
    fflush(stderr);
}
