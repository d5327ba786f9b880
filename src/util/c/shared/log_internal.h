// What the log writer, the registry, the stream list and the settings share inside the library.
#ifndef SARNIK_LOG_INTERNAL_H
#define SARNIK_LOG_INTERNAL_H

#include <stdarg.h>

#include "osal/fio.h"
#include "osal/rwlock.h"
#include "osal/timing.h"
#include "sarnik/log_settings.h"
#include "sarnik/log_types.h"

namespace sarnik {

constexpr int logLevelCount = 6;
constexpr int logSanityCount = 5;
constexpr int logBuiltInDecorationCount = 7;

extern const char *const logLevelNames[logLevelCount];
extern const char *const logSanityNames[logSanityCount];
extern const char *const logDecorationNames[logBuiltInDecorationCount];

// A level's name, or its number written into spare (at least 12 bytes) when it has none.
const char *logLevelText(int level, char *spare);
const char *logSanityText(int level, char *spare);

// The module at index, or null when there is none.
LogModule *logModuleAt(Logger *logger, int index);

// Writes one line for the module; args null means the format is the text itself.
void logWriteLine(LogModule *module, Logger *logger, int mask, int level, const char *format, va_list *args);
// TIMESTAMP, MILLIS or NANOS from the OS layer's clock.
char *logAppendTimeDecoration(int bit, char *position, int *room);
// log_sprintf's rule with an argument list, or a plain copy of the format when args is null.
char *logAppend(char *position, int *room, const char *format, va_list *args);

// The process's standard handles, fetched on first use.
FioHandle logStandardOutput();
FioHandle logStandardError();

// The list of registered loggers, newest first; walk it under the list lock.
RwLock *logListLock();
Logger *logFirstLogger();
int logTotalModules();
// By name or alias, newest logger first; the list lock is held by the caller.
LogModule *logFindModule(const char *name, Logger **owner, int *index);
// Whether the address is a module of a registered logger; the list lock is held by the caller.
bool logIsRegisteredModule(const LogModule *module);

// The module and then its chain of linked targets. Registered loggers link only to modules of
// loggers registered before them, so a chain holds at most every module once; the bound also
// stops a chain that a broken record turned into a loop.
template <typename Change> void logAlongChain(LogModule *module, Change change) {
    const int bound = logTotalModules();
    for (int step = 0; module != nullptr && step <= bound; ++step) {
        change(module);
        module = module->linkedTarget;
    }
}

// Streams opened by name: standard output and error are never counted or closed; files are
// shared between every module that names the same file. -1 when it cannot be opened.
FioHandle logOpenNamedStream(const char *name);
void logRetainStream(FioHandle handle);
void logReleaseStream(FioHandle handle);
// References held on an open file; 0 for a handle the list does not hold.
int logStreamReferences(FioHandle handle);
// Gives the module a stream whose reference the caller hands over; the old stream is released
// and the old stream object closed by its owner.
void logReplaceModuleStream(LogModule *module, FioHandle handle);

// A C runtime stream over a duplicate of the module's stream, made on first use; it comes back
// with the module lock held for reading (also when it is null) until released.
FILE *logAcquireStreamObject(LogModule *module);
void logReleaseStreamObject(LogModule *module, FILE *stream);
// The OS handle behind a C runtime stream; -1 when it has none.
FioHandle logStreamHandle(FILE *stream);

// One kind of setting: what a "module=value" item does to the module found, and what an item
// that names no module does to all of them (message null: nothing is written there).
struct LogSetter {
    int (*applyOne)(const LogSetter &setter, Logger *logger, int index, const char *value, char *message,
                    size_t size);
    int (*applyAll)(const LogSetter &setter, const char *word, const char *value, char *message, size_t size);
    LogSettingWarn warn;
};

// Applies the items of text in order; -1 at the first that fails.
int logParseSetting(const char *text, const LogSetter &setter, char *message, size_t size);
// A module by name or alias, or through a deprecated name (the note goes to message, and to the
// warn operation when the setting is passed on to the new name); null with the reason in message.
LogModule *logLookUpForSetting(const char *name, const LogSetter &setter, Logger **owner, int *index,
                               char *message, size_t size);
// Formats into message when there is one.
void logSetMessage(char *message, size_t size, const char *format, ...) __attribute__((format(ms_printf, 3, 4)));

// The decorations of text on every module of the logger, or of every logger when it is null; -1
// when an item names no decoration (the items before it stay set) or can't be copied.
int logApplyDecorations(Logger *logger, const char *text);
// The decoration setting kept for loggers registered later, applied to a new one.
void logApplyPendingDecorations(Logger *logger);

// The counter frequency pair registered with the OS layer at load.
const TimerVars *libraryTimerVars();
int64_t libraryCounterFrequency();

// The library's own module "util".
Logger *utilLogger();
int utilLogLevel();
void utilLog(int level, const char *format, ...) __attribute__((format(ms_printf, 2, 3)));

} // namespace sarnik

#endif
