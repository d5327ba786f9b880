// The log-file setting: a module, with its chain of linked targets, or every module, writes to a
// named stream or shares the stream of another module.
#include <string.h>

#include "log_internal.h"

namespace sarnik {

namespace {

// Every module the selection yields takes a reference of its own on the stream.
template <typename Select> void shareStream(Select select, LogModule *target, FioHandle opened) {
    rwReadLock(logListLock());
    select([&](LogModule *m) {
        FioHandle handle = opened;
        if (target != nullptr) {
            // The target's stream can't be replaced and closed while its lock is held.
            rwReadLock(&target->lock);
            handle = target->stream;
            logRetainStream(handle);
            rwReadUnlock(&target->lock);
        } else {
            logRetainStream(handle);
        }
        logReplaceModuleStream(m, handle);
    });
    rwReadUnlock(logListLock());
}

template <typename Select>
int applyStream(const LogSetter &setter, Select select, const char *value, char *message, size_t size) {
    if (value[0] == '>') {
        Logger *owner = nullptr;
        int index = 0;
        LogModule *target = logLookUpForSetting(value + 1, setter, &owner, &index, message, size);
        if (target == nullptr) {
            logSetMessage(message, size, "No such log module '%s'.", value + 1);
            return -1;
        }
        shareStream(select, target, FIO_INVALID_HANDLE);
        return 0;
    }
    FioHandle opened = logOpenNamedStream(value);
    if (opened == FIO_INVALID_HANDLE) {
        logSetMessage(message, size, "Could not open stream '%s'", value);
        return -1;
    }
    shareStream(select, nullptr, opened);
    // The opening's own reference: the count is now the number of modules on the stream.
    logReleaseStream(opened);
    return 0;
}

int streamOne(const LogSetter &setter, Logger *logger, int index, const char *value, char *message, size_t size) {
    LogModule *module = logModuleAt(logger, index);
    if (module == nullptr)
        return -1;
    auto chain = [module](auto change) { logAlongChain(module, change); };
    return applyStream(setter, chain, value, message, size);
}

int streamAll(const LogSetter &setter, const char *word, const char *value, char *message, size_t size) {
    if (value[0] != '\0') {
        logSetMessage(message, size, "No such log module: %s.", word);
        return -1;
    }
    auto every = [](auto change) {
        for (Logger *l = logFirstLogger(); l != nullptr; l = l->next)
            for (int i = 0; i < l->moduleCount; ++i)
                change(&l->modules[i]);
    };
    return applyStream(setter, every, word, message, size);
}

} // namespace

} // namespace sarnik

using namespace sarnik;

int logParseLogFilesEx(const char *text, char *message, size_t size, LogSettingWarn warn) {
    return logParseSetting(text, LogSetter{streamOne, streamAll, warn}, message, size);
}
