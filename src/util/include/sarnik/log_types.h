// Logger and LogModule records shared by every library that logs.
// All fields are 32-bit on the target; field order is part of the contract between libraries.
#ifndef SARNIK_LOG_TYPES_H
#define SARNIK_LOG_TYPES_H

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

enum LogLevel {
    LOG_QUIET = 0,
    LOG_ERROR = 1,
    LOG_WARN = 2,
    LOG_INFO = 3,
    LOG_DEBUG = 4,
    LOG_TRACE = 5
};

enum LogSanityLevel {
    LOG_SANITY_NONE = 0,
    LOG_SANITY_MINIMAL = 1,
    LOG_SANITY_CHECK = 2,
    LOG_SANITY_DEBUG = 3,
    LOG_SANITY_TRACE = 4
};

enum LogDecoration {
    LOG_DECO_LEVEL = 1 << 0,
    LOG_DECO_MODULE = 1 << 1,
    LOG_DECO_TIMESTAMP = 1 << 2,
    LOG_DECO_MILLIS = 1 << 3,
    LOG_DECO_NANOS = 1 << 4,
    LOG_DECO_OSTHREADID = 1 << 5,
    LOG_DECO_PID = 1 << 6,
    LOG_DECO_CUSTOM_FIRST_BIT = 7,
    LOG_DECO_LAST_BIT = 14, // custom slots serve bits 7 to 14
    LOG_DECO_DEFAULT = LOG_DECO_LEVEL | LOG_DECO_MODULE
};

enum LogModuleFlags {
    LOG_MODULE_EMPTY_MEANS_INFO = 1,
    LOG_MODULE_LINKED = 2
};

struct Logger;

// Writes at pos within *room bytes (its NUL included), lowers *room by what it wrote and returns
// the new write position.
typedef char *(*LogCustomDecorationFn)(char *pos, int *room);

typedef struct LogCustomDecoration {
    const char *name;
    LogCustomDecorationFn print;
} LogCustomDecoration;

typedef struct LogDeprecatedName {
    const char *oldName;
    const char *newName;
    int32_t unused;
    int32_t suggestedLevel;
    int32_t forward;
} LogDeprecatedName;

typedef struct LogModule {
    intptr_t stream;           // FioHandle
    FILE *streamObject;        // made lazily over a duplicate of stream
    const char *name;
    const char *alias;
    volatile int32_t lock;     // RwLock guarding stream and streamObject
    int *level;
    int *sanity;
    struct Logger *owner;
    struct LogModule *linkedTarget;
    int32_t flags;
    int32_t decorations;
} LogModule;

typedef int (*LogCloseStreamFn)(FILE *stream);

typedef struct Logger {
    struct Logger *next;
    int32_t moduleCount;
    int32_t extraDecorationRoom;
    int32_t deprecatedCount;
    const LogDeprecatedName *deprecated;
    int32_t defaultLevel;
    int32_t defaultSanity;
    LogCloseStreamFn closeStream;
    LogCustomDecoration custom[8];
    LogModule modules[1];      // moduleCount entries, inline
} Logger;

// A library's logger with its modules inline: Logger's header followed by N entries.
#define LOGGER_WITH_MODULES(N)                                                                     \
    struct {                                                                                       \
        struct Logger *next;                                                                       \
        int32_t moduleCount;                                                                       \
        int32_t extraDecorationRoom;                                                               \
        int32_t deprecatedCount;                                                                   \
        const LogDeprecatedName *deprecated;                                                       \
        int32_t defaultLevel;                                                                      \
        int32_t defaultSanity;                                                                     \
        LogCloseStreamFn closeStream;                                                              \
        LogCustomDecoration custom[8];                                                             \
        LogModule modules[N];                                                                      \
    }

typedef void (*LogForcePrintV)(Logger *logger, int module, int level, const char *format, va_list args);
typedef void (*LogAddLogger)(Logger *logger);

#ifdef __cplusplus
}
#endif

#endif
