#include <stdio.h>

#include "log_internal.h"
#include "sarnik/log_api.h"

namespace {

// Written in place by the settings; the library's own messages test it before formatting.
constinit int utilLevel = LOG_WARN;
constinit int utilSanity = LOG_SANITY_NONE;

int closeOwnStream(FILE *stream) { return fclose(stream); }

constinit LOGGER_WITH_MODULES(1) utilLoggerRecord = {
    nullptr, 1, 0, 0, nullptr, LOG_WARN, LOG_SANITY_NONE, closeOwnStream, {},
    {{FIO_INVALID_HANDLE, nullptr, "util", nullptr, 0, &utilLevel, &utilSanity, nullptr, nullptr, 0, LOG_DECO_DEFAULT}}};

} // namespace

namespace sarnik {

Logger *utilLogger() { return reinterpret_cast<Logger *>(&utilLoggerRecord); }

int utilLogLevel() { return utilLevel; }

void utilLog(int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintv(utilLogger(), 0, level, format, args);
    va_end(args);
}

} // namespace sarnik
