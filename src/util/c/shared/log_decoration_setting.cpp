// The decoration setting: built-in decorations by name, the loggers' custom slots by name, and
// the copy kept for loggers registered later.
#include <string.h>

#include "log_internal.h"
#include "osal/mspace.h"
#include "sarnik/arguments.h"
#include "sarnik/log_api.h"
#include "text_util.h"

namespace sarnik {

namespace {

constexpr int defaultSettingMask = LOG_DECO_MODULE | LOG_DECO_TIMESTAMP | LOG_DECO_PID;
constexpr int customSlots = LOG_DECO_LAST_BIT - LOG_DECO_CUSTOM_FIRST_BIT + 1;

// Held for writing while a setting is stored and applied, for reading while a new logger takes
// it: a logger never ends up with a mix of two settings. Taken before the list lock.
constinit RwLock pendingLock = 0;
constinit bool pendingGiven = false;
constinit char *pendingText = nullptr;

bool setBuiltIn(Logger *logger, const char *name) {
    bool found = false;
    for (int bit = 0; bit < logBuiltInDecorationCount; ++bit) {
        if (sameTextIgnoringCase(name, logDecorationNames[bit])) {
            _log_set_decorations(logger, -1, 1 << bit);
            found = true;
        }
    }
    return found;
}

// The first logger (the given one, or the newest that has one) with a printing slot of that name.
bool setCustom(Logger *logger, const char *name) {
    Logger *owner = nullptr;
    int slot = 0;
    rwReadLock(logListLock());
    for (Logger *l = logger != nullptr ? logger : logFirstLogger(); l != nullptr && owner == nullptr;
         l = logger != nullptr ? nullptr : l->next) {
        for (int k = 0; k < customSlots; ++k) {
            const LogCustomDecoration &custom = l->custom[k];
            if (custom.print != nullptr && custom.name != nullptr && sameTextIgnoringCase(name, custom.name)) {
                owner = l;
                slot = k;
                break;
            }
        }
    }
    rwReadUnlock(logListLock());
    if (owner == nullptr)
        return false;
    _log_set_decorations(owner, -1, 1 << (LOG_DECO_CUSTOM_FIRST_BIT + slot));
    return true;
}

} // namespace

int logApplyDecorations(Logger *logger, const char *text) {
    _log_clear_decorations(logger, -1, ~0);
    if (text == nullptr || text[0] == '\0') {
        _log_set_decorations(logger, -1, defaultSettingMask);
        return 0;
    }
    ArgIter iter;
    argIterInitDefault(&iter, text);
    while (!argIterDone(&iter)) {
        char *name = nullptr;
        char *value = nullptr;
        if (argIterGetNext(&iter, &name, &value) == 0)
            return -1;
        const bool builtIn = setBuiltIn(logger, name);
        const bool custom = setCustom(logger, name);
        gsFree(name);
        gsFree(value);
        if (!builtIn && !custom)
            return -1;
    }
    return 0;
}

void logApplyPendingDecorations(Logger *logger) {
    rwReadLock(&pendingLock);
    if (pendingGiven)
        logApplyDecorations(logger, pendingText);
    rwReadUnlock(&pendingLock);
}

} // namespace sarnik

using namespace sarnik;

void logParseLogDecorations(const char *text) {
    rwWriteLock(&pendingLock);
    const char *given = text != nullptr ? text : "";
    // Out of memory the earlier setting stays the one later loggers get.
    if (char *copy = copyText(given, strlen(given))) {
        gsFree(pendingText);
        pendingText = copy;
        pendingGiven = true;
    }
    logApplyDecorations(nullptr, given);
    rwWriteUnlock(&pendingLock);
}
