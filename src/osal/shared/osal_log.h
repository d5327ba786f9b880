// The OS layer's own logger and its print glue.
#ifndef OSAL_LOG_H
#define OSAL_LOG_H

#include <stdarg.h>

#include "osal/osal_types.h"
#include "sarnik/log_types.h"

OSAL_BEGIN_DECLS

enum OsalLogModule {
    OSAL_LOG_OSAL = 0,    // files, library loading, memory, performance counters
    OSAL_LOG_TIMING = 1,
    OSAL_LOG_CPUINFO = 2, // hyper-threading detection
    OSAL_LOG_CPUID = 3
};

enum OsalLogLevel {
    OSAL_LEVEL_ERROR = 1,
    OSAL_LEVEL_WARNING = 2,
    OSAL_LEVEL_INFO = 3,
    OSAL_LEVEL_LIBRARY = 4, // native-library loads
    OSAL_LEVEL_DEBUG = 5
};

typedef void (*OsalLogSink)(Logger *logger, int module, int level, const char *format, va_list args);

extern OsalLogSink osalLogSink;

Logger *osalLogger(void);
void osalLinkLoggerOwners(void);
int osalLogLevel(int module);
void osalSetLogLevel(int module, int level);
void osalLogPrint(Logger *logger, int module, int level, const char *format, ...) OSAL_PRINTF_LIKE(4, 5);
void osalDefaultLogSink(Logger *logger, int module, int level, const char *format, va_list args);

OSAL_END_DECLS

// Callers test the module's level before formatting anything.
#define OSAL_LOG(module, level, ...)                                                               \
    do {                                                                                           \
        if (osalLogLevel(module) >= (level))                                                       \
            osalLogPrint(osalLogger(), (module), (level), __VA_ARGS__);                            \
    } while (0)

#endif
