// Setting strings item by item, module look-up with the deprecated-name tables, and the message
// and sanity level settings.
#include <stdarg.h>
#include <string.h>

#include "log_internal.h"
#include "osal/mspace.h"
#include "sarnik/arguments.h"
#include "sarnik/bounded_print.h"
#include "sarnik/log_api.h"
#include "text_util.h"

namespace sarnik {

namespace {

constexpr size_t noteRoom = 256;

void copyInto(char *message, size_t size, const char *text) { logSetMessage(message, size, "%s", text); }

// A forwarded name is looked up once more, but never forwarded again: two records that forward
// to each other would otherwise never end.
LogModule *lookUp(const char *name, const LogSetter &setter, Logger **owner, int *index, char *message, size_t size,
                  bool mayForward) {
    char note[noteRoom];
    const char *forwardTo = nullptr;
    bool deprecated = false;
    rwReadLock(logListLock());
    for (Logger *l = logFirstLogger(); l != nullptr && !deprecated; l = l->next) {
        for (int i = 0; i < l->moduleCount; ++i) {
            const LogModule &m = l->modules[i];
            const bool byName = m.name != nullptr && m.name[0] != '\0' && strcmp(name, m.name) == 0;
            if (byName || (m.alias != nullptr && m.alias[0] != '\0' && strcmp(name, m.alias) == 0)) {
                rwReadUnlock(logListLock());
                *owner = l;
                *index = i;
                return &l->modules[i];
            }
        }
        for (int d = 0; l->deprecated != nullptr && d < l->deprecatedCount; ++d) {
            const LogDeprecatedName &record = l->deprecated[d];
            if (record.oldName == nullptr || strcmp(name, record.oldName) != 0)
                continue;
            deprecated = true;
            if (record.newName == nullptr) {
                vantrel_util_snprintf(note, sizeof note, "Logging module %s is deprecated", name);
            } else {
                char spare[12];
                vantrel_util_snprintf(note, sizeof note, "Logging module %s is deprecated. Please use %s=%s instead.",
                                      name, record.newName, logLevelText(record.suggestedLevel, spare));
                if (record.forward != 0 && mayForward)
                    forwardTo = record.newName;
            }
            break;
        }
    }
    // Loggers are never removed: the forwarded name stays valid after the lock.
    rwReadUnlock(logListLock());
    if (!deprecated) {
        logSetMessage(message, size, "No such logging module \"%s\"", name);
        return nullptr;
    }
    copyInto(message, size, note);
    if (forwardTo == nullptr)
        return nullptr;
    setter.warn(note);
    return lookUp(forwardTo, setter, owner, index, message, size, false);
}

void warnThroughUtil(const char *text) {
    if (utilLogLevel() >= LOG_WARN)
        utilLog(LOG_WARN, "%s", text);
}

// The index of value among names in any case, fallback for an empty value, -1 for anything else.
int indexOfName(const char *value, const char *const *names, int count, int fallback) {
    if (value[0] == '\0')
        return fallback;
    for (int i = 0; i < count; ++i)
        if (sameTextIgnoringCase(value, names[i]))
            return i;
    return -1;
}

int messageLevelOf(const char *value, char *message, size_t size) {
    int level = indexOfName(value, logLevelNames, logLevelCount, LOG_INFO);
    if (level < 0)
        logSetMessage(message, size, "Illegal message level '%s'.", value);
    return level;
}

int sanityLevelOf(const char *value, char *message, size_t size) {
    int level = indexOfName(value, logSanityNames, logSanityCount, LOG_SANITY_CHECK);
    if (level < 0)
        logSetMessage(message, size, "Illegal sanity level '%s'.", value);
    return level;
}

// A bare word: the setting's value for every module; a word with a value names a missing module.
bool bareWordOnly(const char *word, const char *value, char *message, size_t size) {
    if (value[0] == '\0')
        return true;
    logSetMessage(message, size, "No such log module: %s.", word);
    return false;
}

int messageLevelOne(const LogSetter &, Logger *logger, int index, const char *value, char *message, size_t size) {
    int level = messageLevelOf(value, message, size);
    if (level < 0)
        return -1;
    _log_set_msglevel(logger, index, level);
    return 0;
}

int messageLevelAll(const LogSetter &, const char *word, const char *value, char *message, size_t size) {
    if (!bareWordOnly(word, value, message, size))
        return -1;
    int level = messageLevelOf(word, message, size);
    if (level < 0)
        return -1;
    _log_set_msglevel(nullptr, -1, level);
    return 0;
}

int sanityLevelOne(const LogSetter &, Logger *logger, int index, const char *value, char *message, size_t size) {
    int level = sanityLevelOf(value, message, size);
    if (level < 0)
        return -1;
    _log_set_sanitylevel(logger, index, level);
    return 0;
}

int sanityLevelAll(const LogSetter &, const char *word, const char *value, char *message, size_t size) {
    if (!bareWordOnly(word, value, message, size))
        return -1;
    int level = sanityLevelOf(word, message, size);
    if (level < 0)
        return -1;
    _log_set_sanitylevel(nullptr, -1, level);
    return 0;
}

void infoOnFlaggedModules() {
    rwReadLock(logListLock());
    for (Logger *l = logFirstLogger(); l != nullptr; l = l->next)
        for (int i = 0; i < l->moduleCount; ++i)
            if (l->modules[i].flags & LOG_MODULE_EMPTY_MEANS_INFO)
                _log_set_msglevel(l, i, LOG_INFO);
    rwReadUnlock(logListLock());
}

} // namespace

void logSetMessage(char *message, size_t size, const char *format, ...) {
    if (message == nullptr || size == 0)
        return;
    va_list args;
    va_start(args, format);
    vantrel_util_vsnprintf(message, size, format, args);
    va_end(args);
}

LogModule *logLookUpForSetting(const char *name, const LogSetter &setter, Logger **owner, int *index, char *message,
                               size_t size) {
    return lookUp(name != nullptr ? name : "", setter, owner, index, message, size, true);
}

int logParseSetting(const char *text, const LogSetter &given, char *message, size_t size) {
    LogSetter setter = given;
    if (setter.warn == nullptr)
        setter.warn = warnThroughUtil;
    ArgIter iter;
    argIterInitDefault(&iter, text);
    while (!argIterDone(&iter)) {
        char *name = nullptr;
        char *value = nullptr;
        if (argIterGetNext(&iter, &name, &value) == 0) {
            logSetMessage(message, size, "argIterGetNext failed. Out of memory?");
            return -1;
        }
        Logger *owner = nullptr;
        int index = 0;
        // An item that names no module keeps the look-up's reason in the buffer.
        int result = logLookUpForSetting(name, setter, &owner, &index, message, size) != nullptr
                         ? setter.applyOne(setter, owner, index, value, message, size)
                         : setter.applyAll(setter, name, value, nullptr, 0);
        gsFree(name);
        gsFree(value);
        if (result != 0)
            return -1;
    }
    return 0;
}

} // namespace sarnik

using namespace sarnik;

int logParseMsgLevelsEx(const char *text, char *message, size_t size, LogSettingWarn warn) {
    if (text == nullptr || text[0] == '\0') {
        infoOnFlaggedModules();
        return 0;
    }
    return logParseSetting(text, LogSetter{messageLevelOne, messageLevelAll, warn}, message, size);
}

int logParseSanityLevelsEx(const char *text, char *message, size_t size, LogSettingWarn warn) {
    if (text == nullptr || text[0] == '\0') {
        _log_set_sanitylevel(nullptr, -1, LOG_SANITY_CHECK);
        return 0;
    }
    return logParseSetting(text, LogSetter{sanityLevelOne, sanityLevelAll, warn}, message, size);
}
