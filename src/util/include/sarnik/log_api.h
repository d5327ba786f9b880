// The log writer and the list of registered loggers.
#ifndef SARNIK_LOG_API_H
#define SARNIK_LOG_API_H

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#include "sarnik/log_types.h"
#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

// Links a library's logger into the process-wide list; every module starts on standard error,
// linked modules follow the same-named module of a logger registered before. A logger already
// in the list is left as it is.
void _log_add_logger(Logger *logger);

// One line with the module's decorations: prefix, message (cut to 1021 characters) and a line
// end. The calling thread's OS error is the same afterwards. Without a logger or with a module
// index out of range the formatted text goes bare to standard error.
void _logforceprintv(Logger *logger, int module, int level, const char *format, va_list args)
    SARNIK_PRINTF_LIKE(4, 0);
void _logforceprintdecorationsv(Logger *logger, int module, int level, int decorations, const char *format,
                                va_list args) SARNIK_PRINTF_LIKE(5, 0);
void _logforceprintdecorations(Logger *logger, int module, int level, int decorations, const char *format, ...)
    SARNIK_PRINTF_LIKE(5, 6);

// Appends at position within *room bytes and lowers *room by what was written; a text that
// does not fit is cut to end at the last byte of the room.
char *log_sprintf(char *position, int *room, const char *format, ...) SARNIK_PRINTF_LIKE(3, 4);

// 0 when the module does not exist.
int _log_get_decorations(Logger *logger, int module);

// Selection: a null logger is every module of every registered logger; module -1 every module
// of the logger; each selected module passes the change on along its chain of linked targets.
void _log_set_msglevel(Logger *logger, int module, int level);
void _log_set_sanitylevel(Logger *logger, int module, int level);
void _log_set_decorations(Logger *logger, int module, int decorations);
void _log_clear_decorations(Logger *logger, int module, int decorations);

// The module's name followed by its alias; *count is 2 when the alias is set, else 1. Null and a
// count of 0 when the module does not exist.
const char **_log_get_aliases(Logger *logger, int module, int *count);

// One line a selected module without a linked target, sorted by name, to an OS handle or to the
// handle behind a C runtime stream.
void _log_do_print_moduleinfo(Logger *logger, int module, intptr_t handle);
void _log_print_moduleinfo(Logger *logger, int module, FILE *stream);

// Every module back to its logger's default message level or sanity level.
void logResetMsgLevels(void);
void logResetSanityLevels(void);

SARNIK_END_DECLS

#endif
