#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "log_internal.h"
#include "osal/os_info.h"
#include "osal/thread.h"
#include "sarnik/bounded_print.h"
#include "sarnik/log_api.h"

namespace sarnik {

const char *const logLevelNames[logLevelCount] = {"QUIET", "ERROR", "WARN", "INFO", "DEBUG", "TRACE"};
const char *const logSanityNames[logSanityCount] = {"NONE", "MINIMAL", "CHECK", "DEBUG", "TRACE"};
const char *const logDecorationNames[logBuiltInDecorationCount] = {"LEVEL", "MODULE",     "TIMESTAMP", "MILLIS",
                                                                   "NANOS", "OSTHREADID", "PID"};

namespace {

constexpr int prefixRoom = 100;
constexpr int lineRoom = 1125;
constexpr int messageRoom = 1022;
// No library asks for more; a larger figure would only be a broken record eating the stack.
constexpr int extraRoomLimit = 4096;
constexpr unsigned customMask = ~0x7Fu;

// The platform's code and the C runtime's errno both: the OS layer's error query falls back to
// errno when the platform's code is 0, so restoring only through it could turn errno into the
// platform's code.
class SavedErrors {
public:
    SavedErrors() : platform_(GetLastError()), runtime_(errno) {}
    ~SavedErrors() {
        errno = runtime_;
        SetLastError(platform_);
    }
    SavedErrors(const SavedErrors &) = delete;
    SavedErrors &operator=(const SavedErrors &) = delete;

private:
    DWORD platform_;
    int runtime_;
};

const char *nameOrNumber(int value, const char *const *names, int count, char *spare) {
    if (value >= 0 && value < count)
        return names[value];
    snprintf(spare, 12, "%d", value);
    return spare;
}

// What "[%-W.Ws]" prints, made without the formatter: it runs on every line.
char *appendPadded(char *position, int *room, const char *text, size_t width) {
    char field[16];
    field[0] = '[';
    const size_t length = strnlen(text, width);
    memcpy(field + 1, text, length);
    memset(field + 1 + length, ' ', width - length);
    field[width + 1] = ']';
    field[width + 2] = '\0';
    return logAppend(position, room, field, nullptr);
}

char *appendDecoration(int bit, char *position, int *room, Logger *logger, LogModule *module, int level) {
    char spare[32];
    switch (bit) {
    case 0: return appendPadded(position, room, logLevelText(level, spare), 5);
    case 1: return appendPadded(position, room, module->name != nullptr ? module->name : "", 7);
    case 2:
    case 3:
    case 4: return logAppendTimeDecoration(bit, position, room);
    case 5: return log_sprintf(position, room, "[%-5.5i]", static_cast<int>(threadGetCurrentID()));
    case 6: return log_sprintf(position, room, "[%-5.5i]", osGetProcessID());
    default: break;
    }
    LogCustomDecorationFn print = logger->custom[bit - LOG_DECO_CUSTOM_FIRST_BIT].print;
    if (print == nullptr || *room <= 0)
        return position;
    char *end = position + *room;
    char *next = print(position, room);
    // Whatever the slot reports, the rest of the line stays inside the prefix room.
    if (next < position || next > end)
        next = position;
    *room = static_cast<int>(end - next);
    return next;
}

} // namespace

const char *logLevelText(int level, char *spare) { return nameOrNumber(level, logLevelNames, logLevelCount, spare); }

const char *logSanityText(int level, char *spare) {
    return nameOrNumber(level, logSanityNames, logSanityCount, spare);
}

LogModule *logModuleAt(Logger *logger, int index) {
    if (logger == nullptr || index < 0 || index >= logger->moduleCount)
        return nullptr;
    return &logger->modules[index];
}

char *logAppend(char *position, int *room, const char *format, va_list *args) {
    if (position == nullptr || room == nullptr || *room <= 0 || format == nullptr)
        return position;
    int length;
    if (args != nullptr) {
        length = vantrel_util_vsnprintf(position, static_cast<size_t>(*room), format, *args);
        if (length < 0)
            length = static_cast<int>(strnlen(position, static_cast<size_t>(*room - 1)));
    } else {
        length = static_cast<int>(strnlen(format, static_cast<size_t>(*room - 1)));
        memcpy(position, format, static_cast<size_t>(length));
        position[length] = '\0';
    }
    *room -= length;
    return position + length;
}

void logWriteLine(LogModule *module, Logger *logger, int mask, int level, const char *format, va_list *args) {
    const unsigned bits = static_cast<unsigned>(mask);
    int extra = 0;
    if ((bits & customMask) != 0 && logger->extraDecorationRoom > 0)
        extra = logger->extraDecorationRoom < extraRoomLimit ? logger->extraDecorationRoom : extraRoomLimit;
    char *line = static_cast<char *>(__builtin_alloca(static_cast<size_t>(lineRoom + extra)));
    SavedErrors saved;

    char *position = line;
    int room = prefixRoom + extra;
    for (int bit = 0; bit <= LOG_DECO_LAST_BIT && (bits >> bit) != 0; ++bit)
        if ((bits >> bit) & 1)
            position = appendDecoration(bit, position, &room, logger, module, level);
    if (bits != 0)
        position = logAppend(position, &room, " ", nullptr);

    if (format != nullptr) {
        int messageLeft = messageRoom;
        position = logAppend(position, &messageLeft, format, args);
        if (position == line || position[-1] != '\r')
            *position++ = '\r';
        if (position[-1] != '\n')
            *position++ = '\n';
    }

    const size_t length = static_cast<size_t>(position - line);
    if (length != 0) {
        rwReadLock(&module->lock);
        fio_write_fully(module->stream, line, length);
        rwReadUnlock(&module->lock);
    }
}

} // namespace sarnik

using namespace sarnik;

namespace {

// Without a module there is no stream and no decoration: the text goes to standard error as it is.
void writeBare(const char *format, va_list args) {
    if (format == nullptr)
        return;
    SavedErrors saved;
    char line[lineRoom];
    int room = sizeof line;
    va_list copy;
    va_copy(copy, args);
    char *end = logAppend(line, &room, format, &copy);
    va_end(copy);
    if (end != line)
        fio_write_fully(logStandardError(), line, static_cast<size_t>(end - line));
}

} // namespace

char *log_sprintf(char *position, int *room, const char *format, ...) {
    va_list args;
    va_start(args, format);
    char *end = logAppend(position, room, format, &args);
    va_end(args);
    return end;
}

void _logforceprintdecorationsv(Logger *logger, int module, int level, int decorations, const char *format,
                                va_list args) {
    LogModule *entry = logModuleAt(logger, module);
    if (entry == nullptr) {
        writeBare(format, args);
        return;
    }
    va_list copy;
    va_copy(copy, args);
    logWriteLine(entry, logger, decorations, level, format, &copy);
    va_end(copy);
}

void _logforceprintv(Logger *logger, int module, int level, const char *format, va_list args) {
    LogModule *entry = logModuleAt(logger, module);
    _logforceprintdecorationsv(logger, module, level, entry != nullptr ? entry->decorations : 0, format, args);
}

void _logforceprintdecorations(Logger *logger, int module, int level, int decorations, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintdecorationsv(logger, module, level, decorations, format, args);
    va_end(args);
}
