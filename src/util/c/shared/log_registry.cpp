#include <windows.h>

#include <atomic>
#include <stdlib.h>
#include <string.h>

#include "log_internal.h"
#include "osal/mspace.h"
#include "sarnik/bounded_print.h"
#include "sarnik/log_api.h"

using namespace sarnik;

namespace {

// The OS layer registers while it is itself loading, which can be before this library's own
// initialisers ran: everything here is constant-initialised.
constinit RwLock listLock = 0;
constinit Logger *firstLogger = nullptr;
constinit int totalModules = 0;

constinit std::atomic<bool> handlesFetched{false};
constinit FioHandle standardOutput = FIO_INVALID_HANDLE;
constinit FioHandle standardError = FIO_INVALID_HANDLE;

void fetchStandardHandles() {
    if (handlesFetched.load(std::memory_order_acquire))
        return;
    standardOutput = reinterpret_cast<FioHandle>(GetStdHandle(STD_OUTPUT_HANDLE));
    standardError = reinterpret_cast<FioHandle>(GetStdHandle(STD_ERROR_HANDLE));
    handlesFetched.store(true, std::memory_order_release);
}

bool isRegistered(const Logger *logger) {
    for (const Logger *l = firstLogger; l != nullptr; l = l->next)
        if (l == logger)
            return true;
    return false;
}

bool sameName(const char *name, const char *candidate) {
    return candidate != nullptr && candidate[0] != '\0' && strcmp(name, candidate) == 0;
}

template <typename Visit> void forEachSelected(Logger *logger, int module, Visit visit) {
    if (logger == nullptr) {
        for (Logger *l = firstLogger; l != nullptr; l = l->next)
            for (int i = 0; i < l->moduleCount; ++i)
                visit(&l->modules[i]);
    } else if (module == -1) {
        for (int i = 0; i < logger->moduleCount; ++i)
            visit(&logger->modules[i]);
    } else if (LogModule *entry = logModuleAt(logger, module)) {
        visit(entry);
    }
}

template <typename Change> void changeSelected(Logger *logger, int module, Change change) {
    rwReadLock(&listLock);
    forEachSelected(logger, module, [&](LogModule *entry) { logAlongChain(entry, change); });
    rwReadUnlock(&listLock);
}

void storeInto(int *word, int value) {
    if (word != nullptr)
        *word = value;
}

void linkToTarget(LogModule *module) {
    rwReadLock(&listLock);
    Logger *owner = nullptr;
    int index = 0;
    LogModule *target = module->name != nullptr ? logFindModule(module->name, &owner, &index) : nullptr;
    if (target != nullptr) {
        module->linkedTarget = target;
        if (target->level != nullptr)
            storeInto(module->level, *target->level);
        if (target->sanity != nullptr)
            storeInto(module->sanity, *target->sanity);
        // The target's stream can't be replaced and closed while its lock is held.
        rwReadLock(&target->lock);
        FioHandle stream = target->stream;
        logRetainStream(stream);
        rwReadUnlock(&target->lock);
        logReplaceModuleStream(module, stream);
    }
    rwReadUnlock(&listLock);
    if (target == nullptr && utilLogLevel() >= LOG_ERROR) {
        char reason[128];
        vantrel_util_snprintf(reason, sizeof reason, "No such logging module \"%s\"",
                              module->name != nullptr ? module->name : "");
        utilLog(LOG_ERROR, "Could not locate linked log module %s (%s)\n", module->name != nullptr ? module->name : "",
                reason);
    }
}

struct ModuleLine {
    const char *name;
    const char *alias;
    int level;
    int decorations;
    int sanity;
};

int byName(const void *a, const void *b) {
    const char *first = static_cast<const ModuleLine *>(a)->name;
    const char *second = static_cast<const ModuleLine *>(b)->name;
    return strcmp(first != nullptr ? first : "", second != nullptr ? second : "");
}

void resetToDefaults(int *LogModule::*word, int32_t Logger::*fallback) {
    rwReadLock(&listLock);
    for (Logger *l = firstLogger; l != nullptr; l = l->next)
        for (int i = 0; i < l->moduleCount; ++i)
            storeInto(l->modules[i].*word, l->*fallback);
    rwReadUnlock(&listLock);
}

int readWord(const int *word) { return word != nullptr ? *word : 0; }

} // namespace

namespace sarnik {

FioHandle logStandardOutput() {
    fetchStandardHandles();
    return standardOutput;
}

FioHandle logStandardError() {
    fetchStandardHandles();
    return standardError;
}

RwLock *logListLock() { return &listLock; }
Logger *logFirstLogger() { return firstLogger; }
int logTotalModules() { return totalModules; }

LogModule *logFindModule(const char *name, Logger **owner, int *index) {
    if (name == nullptr)
        return nullptr;
    for (Logger *l = firstLogger; l != nullptr; l = l->next) {
        for (int i = 0; i < l->moduleCount; ++i) {
            LogModule *module = &l->modules[i];
            if (sameName(name, module->name) || sameName(name, module->alias)) {
                if (owner != nullptr)
                    *owner = l;
                if (index != nullptr)
                    *index = i;
                return module;
            }
        }
    }
    return nullptr;
}

bool logIsRegisteredModule(const LogModule *module) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(module);
    for (Logger *l = firstLogger; l != nullptr; l = l->next) {
        const uintptr_t first = reinterpret_cast<uintptr_t>(&l->modules[0]);
        if (l->moduleCount > 0 && address >= first && address - first < l->moduleCount * sizeof(LogModule))
            return (address - first) % sizeof(LogModule) == 0;
    }
    return false;
}

} // namespace sarnik

void _log_add_logger(Logger *logger) {
    if (logger == nullptr || logger->moduleCount < 0)
        return;
    fetchStandardHandles();
    rwReadLock(&listLock);
    bool known = isRegistered(logger);
    rwReadUnlock(&listLock);
    // A second registration would point the logger at itself and loop every walk of the list.
    if (known)
        return;
    for (int i = 0; i < logger->moduleCount; ++i) {
        LogModule *module = &logger->modules[i];
        module->owner = logger;
        module->stream = standardError;
        if (module->flags & LOG_MODULE_LINKED)
            linkToTarget(module);
    }
    rwWriteLock(&listLock);
    known = isRegistered(logger);
    if (!known) {
        totalModules += logger->moduleCount;
        logger->next = firstLogger;
        firstLogger = logger;
    }
    rwWriteUnlock(&listLock);
    if (!known)
        logApplyPendingDecorations(logger);
}

int _log_get_decorations(Logger *logger, int module) {
    LogModule *entry = logModuleAt(logger, module);
    return entry != nullptr ? entry->decorations : 0;
}

void _log_set_msglevel(Logger *logger, int module, int level) {
    changeSelected(logger, module, [level](LogModule *m) { storeInto(m->level, level); });
}

void _log_set_sanitylevel(Logger *logger, int module, int level) {
    changeSelected(logger, module, [level](LogModule *m) { storeInto(m->sanity, level); });
}

void _log_set_decorations(Logger *logger, int module, int decorations) {
    changeSelected(logger, module, [decorations](LogModule *m) { m->decorations |= decorations; });
}

void _log_clear_decorations(Logger *logger, int module, int decorations) {
    changeSelected(logger, module, [decorations](LogModule *m) { m->decorations &= ~decorations; });
}

const char **_log_get_aliases(Logger *logger, int module, int *count) {
    LogModule *entry = logModuleAt(logger, module);
    if (count != nullptr)
        *count = entry == nullptr ? 0 : (entry->alias != nullptr && entry->alias[0] != '\0' ? 2 : 1);
    return entry != nullptr ? &entry->name : nullptr;
}

void logResetMsgLevels(void) { resetToDefaults(&LogModule::level, &Logger::defaultLevel); }

void logResetSanityLevels(void) { resetToDefaults(&LogModule::sanity, &Logger::defaultSanity); }

void _log_do_print_moduleinfo(Logger *logger, int module, intptr_t handle) {
    rwReadLock(&listLock);
    const size_t room = static_cast<size_t>(totalModules);
    auto *lines = room != 0 ? static_cast<ModuleLine *>(gsMalloc(room * sizeof(ModuleLine))) : nullptr;
    size_t count = 0;
    if (lines != nullptr) {
        forEachSelected(logger, module, [&](LogModule *m) {
            if (m->linkedTarget == nullptr && count < room)
                lines[count++] = {m->name, m->alias, readWord(m->level), m->decorations, readWord(m->sanity)};
        });
    }
    rwReadUnlock(&listLock);
    // Loggers are never removed, so the names stay valid while the lines are written.
    qsort(lines, count, sizeof(ModuleLine), byName);
    for (size_t i = 0; i < count; ++i) {
        const ModuleLine &m = lines[i];
        char text[256], levelSpare[12], sanitySpare[12];
        const char *name = m.name != nullptr ? m.name : "";
        const char *level = logLevelText(m.level, levelSpare);
        const char *sanity = logSanityText(m.sanity, sanitySpare);
        int length = m.alias != nullptr && m.alias[0] != '\0'
                         ? vantrel_util_snprintf(text, sizeof text, "\t%s (%s): level=%s, decorations=%x, sanity=%s\n",
                                                 name, m.alias, level, m.decorations, sanity)
                         : vantrel_util_snprintf(text, sizeof text, "\t%s: level=%s, decorations=%x, sanity=%s\n",
                                                 name, level, m.decorations, sanity);
        if (length < 0)
            length = static_cast<int>(strnlen(text, sizeof text - 1));
        fio_write_fully(handle, text, static_cast<size_t>(length));
    }
    gsFree(lines);
}

void _log_print_moduleinfo(Logger *logger, int module, FILE *stream) {
    FioHandle handle = logStreamHandle(stream);
    if (handle == FIO_INVALID_HANDLE)
        return;
    fflush(stream);
    _log_do_print_moduleinfo(logger, module, handle);
}
