#include "startup.h"

#include <stdio.h>

#include "osal_log.h"
#include "sharedlib_core.h"

int osalBindLog(void) {
    char error[256];
    void *library = osalLoadLibraryCore(true, reinterpret_cast<const void *>(&osalBindLog), "sarnik", error,
                                        sizeof error, true);
    if (library == nullptr) {
        fprintf(stderr, "%s\n", error);
        return -1;
    }
    auto print = reinterpret_cast<LogForcePrintV>(sharedlibFindEntry(library, "_logforceprintv"));
    if (print == nullptr) {
        fprintf(stderr, "Could not bind _logforceprintv\n");
        return -1;
    }
    osalLogSink = print;
    auto addLogger = reinterpret_cast<LogAddLogger>(sharedlibFindEntry(library, "_log_add_logger"));
    if (addLogger == nullptr) {
        fprintf(stderr, "Could not bind _log_add_logger\n");
        return -1;
    }
    osalLinkLoggerOwners();
    addLogger(osalLogger());
    return 0;
}

int osalInit(void) {
    osalCpuStartup();
    int result = timingInit();
    if (result == OSAL_OK)
        result = vmmStartup();
    if (result == OSAL_OK)
        result = msInit();
    if (result == OSAL_OK)
        result = threadStartup();
    if (result == OSAL_OK)
        result = perfStartupLocks();
    return result;
}

int threadStartup(void) { return OSAL_OK; }
