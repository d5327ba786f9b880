// The decoration setting: its default, built-in names in any case, custom slots found in the
// newest logger that has them, a name that is no decoration, and loggers registered afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <sstream>
#include <string>

#include "child_process.h"
#include "sarnik/log_api.h"
#include "sarnik/log_settings.h"
#include "test_logger.h"

namespace {

char *context(char *position, int *room) { return log_sprintf(position, room, "<%s>", "ctx"); }
char *older(char *position, int *room) { return log_sprintf(position, room, "<%s>", "older"); }

Logger *first = nullptr;
Logger *second = nullptr;

void line(Logger *logger, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintv(logger, 0, LOG_WARN, format, args);
    va_end(args);
}

void masks(const char *setting) {
    logParseLogDecorations(setting);
    printf("%s: %x %x %x\n", setting != nullptr ? setting : "(null)", _log_get_decorations(first, 0),
           _log_get_decorations(first, 1), _log_get_decorations(second, 0));
    fflush(stdout);
}

} // namespace

CHILD_SCENARIO(log_decoration_setting) {
    first = newLogger({{"first"}, {"firstb"}});
    first->custom[0] = {"ctx", older};
    first->custom[3] = {"only", older};
    _log_add_logger(first);
    second = newLogger({{"second"}});
    second->custom[1] = {"CTX", context};
    second->custom[2] = {"nofn", nullptr};
    _log_add_logger(second);
    printf("%lu %lu\n", GetCurrentProcessId(), GetCurrentThreadId());

    masks("");
    line(second, "default");
    masks("level,PID");
    line(first, "level and pid");
    masks("Module,osThreadId,millis,nanos,timestamp");
    masks("level,nonesuch,pid");
    // The newest logger with the slot takes it; a slot without a function is no decoration.
    masks("ctx");
    line(second, "custom");
    masks("only,level");
    masks("nofn");
    masks(nullptr);
    masks("pid=whatever");

    // A logger registered later takes the last setting.
    logParseLogDecorations("module,level");
    Logger *later = newLogger({{"later"}});
    _log_add_logger(later);
    line(later, "registered later");
    logParseLogDecorations("ctx");
    Logger *withSlot = newLogger({{"slot"}});
    withSlot->custom[4] = {"ctx", context};
    _log_add_logger(withSlot);
    printf("later %x %x\n", _log_get_decorations(later, 0), _log_get_decorations(withSlot, 0));
    return 0;
}

TEST(LogDecorationSetting, NamesSlotsAndLoggersRegisteredLater) {
    ChildResult result = runScenario("log_decoration_setting");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    unsigned long pid = 0, tid = 0;
    std::istringstream(result.out) >> pid >> tid;
    char pidText[16];
    snprintf(pidText, sizeof pidText, "[%-5.5i]", static_cast<int>(pid));
    const std::string out = result.out.substr(result.out.find('\n') + 1);
    EXPECT_EQ(out, ": 46 46 46\r\n"
                   "level,PID: 41 41 41\r\n"
                   "Module,osThreadId,millis,nanos,timestamp: 3e 3e 3e\r\n"
                   // The items before the bad one stay set.
                   "level,nonesuch,pid: 1 1 1\r\n"
                   "ctx: 0 0 100\r\n"
                   "only,level: 401 401 1\r\n"
                   "nofn: 0 0 0\r\n"
                   "(null): 46 46 46\r\n"
                   "pid=whatever: 40 40 40\r\n"
                   "later 0 800\r\n");
    // The default has a time stamp: only the lines after it are compared whole.
    const std::string err = result.err.substr(result.err.find("\r\n") + 2);
    EXPECT_EQ(result.err.substr(0, 10), "[second ][");
    EXPECT_NE(result.err.find(std::string("]") + pidText + " default\r\n"), std::string::npos) << result.err;
    EXPECT_EQ(err, "[WARN ]" + std::string(pidText) + " level and pid\r\n" +
                       "<ctx> custom\r\n"
                       "[WARN ][later  ] registered later\r\n");
}
