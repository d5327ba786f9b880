// The agent's log module "qrn" and the check of tool-interface calls that must not fail.
#include <stdarg.h>
#include <stdlib.h>

#include "agent_state.h"
#include "sarnik/log_api.h"

namespace {

constinit int qrnLevel = QRN_WARN;

constinit LOGGER_WITH_MODULES(1) qrnLogger = {
    nullptr, 1, 0, 0, nullptr, QRN_WARN, 0, nullptr, {},
    {{-1, nullptr, "qrn", nullptr, 0, &qrnLevel, nullptr, nullptr, nullptr, 0, LOG_DECO_DEFAULT}},
};

Logger *logger() { return reinterpret_cast<Logger *>(&qrnLogger); }

struct LibraryLoad {
    LibraryLoad() {
        qrnLogger.modules[0].owner = logger();
        _log_add_logger(logger());
        _timing_get_vars(&qrnState.counterFrequency, &qrnState.nanosPerTick);
    }
};
LibraryLoad libraryLoad;

} // namespace

void qrnLog(int level, const char *format, ...) {
    if (qrnLevel < level)
        return;
    va_list args;
    va_start(args, format);
    _logforceprintv(logger(), 0, level, format, args);
    va_end(args);
}

void qrnCheckJvmti(jvmtiEnv *jvmti, jvmtiError error, const char *call) {
    if (error == JVMTI_ERROR_NONE)
        return;
    char *name = nullptr;
    if (jvmti->GetErrorName(error, &name) == JVMTI_ERROR_NONE && name != nullptr) {
        qrnLog(QRN_ERROR, "JVMTI:%s error %d (%s)", call, static_cast<int>(error), name);
        jvmti->Deallocate(reinterpret_cast<unsigned char *>(name));
    } else {
        qrnLog(QRN_ERROR, "JVMTI:%s error %d", call, static_cast<int>(error));
    }
    abort();
}
