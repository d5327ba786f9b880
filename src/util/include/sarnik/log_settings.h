// Setting strings that change the registered loggers: message levels, sanity levels, output
// streams and decorations. Items are separated by ','; "module=value" applies to one module (by
// name, alias or deprecated name), a bare word that names no module applies to every module.
#ifndef SARNIK_LOG_SETTINGS_H
#define SARNIK_LOG_SETTINGS_H

#include <stddef.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

// Receives the notes on deprecated module names; null means printing them through "util".
typedef void (*LogSettingWarn)(const char *message);

// Each gives 0 when every item was applied, or -1 at the first item that failed, the items before
// it staying applied; message (size bytes, always terminated, may be null) then holds the reason.
// An empty or null text sets INFO on the modules flagged for it.
int logParseMsgLevelsEx(const char *text, char *message, size_t size, LogSettingWarn warn);
// An empty or null text sets CHECK on every module.
int logParseSanityLevelsEx(const char *text, char *message, size_t size, LogSettingWarn warn);
// Values are "stdout", "stderr", a file name, or '>' and a module whose stream is shared.
int logParseLogFilesEx(const char *text, char *message, size_t size, LogSettingWarn warn);

// Sets the decorations of every registered module, and of every module registered later.
void logParseLogDecorations(const char *text);

SARNIK_END_DECLS

#endif
