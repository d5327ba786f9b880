// The log writer and the list of registered loggers.
#ifndef SARNIK_LOG_API_H
#define SARNIK_LOG_API_H

#include "sarnik/log_types.h"

#ifdef __cplusplus
extern "C" {
#endif

void _log_add_logger(Logger *logger);
void _logforceprintv(Logger *logger, int module, int level, const char *format, va_list args);

#ifdef __cplusplus
}
#endif

#endif
