// Message and sanity level settings through the library: items for one module, bare words for
// all, the empty setting, deprecated names with their notes, every error text, and what a failing
// item leaves applied. Each runs in a process of its own, whose list of loggers it owns.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "child_process.h"
#include "sarnik/log_api.h"
#include "sarnik/log_settings.h"
#include "test_logger.h"

namespace {

const LogDeprecatedName deprecated[] = {
    {"oldalpha", "alpha", 0, LOG_DEBUG, 1}, {"gone", nullptr, 0, 0, 0},      {"oldbeta", "beta", 0, LOG_INFO, 0},
    {"loop1", "loop2", 0, LOG_WARN, 1},     {"loop2", "loop1", 0, LOG_WARN, 1}, {"odd", "alpha", 0, 77, 1},
};

Logger *settingsLogger() {
    Logger *logger = newLogger({{"alpha", "al", LOG_MODULE_EMPTY_MEANS_INFO}, {"beta"}});
    logger->deprecated = deprecated;
    logger->deprecatedCount = sizeof deprecated / sizeof deprecated[0];
    _log_add_logger(logger);
    return logger;
}

Logger *settings = nullptr;
Logger *utilOwner = nullptr;

// The library's own logger, registered before any of the test's.
Logger *util() {
    for (Logger *l = settings; l != nullptr; l = l->next)
        if (l->moduleCount == 1 && strcmp(l->modules[0].name, "util") == 0)
            return l;
    return nullptr;
}

void warnToOut(const char *text) { printf("warn: %s\n", text); }

// The result, the message and the levels of alpha, beta and util afterwards.
void run(const char *what, int (*parse)(const char *, char *, size_t, LogSettingWarn), const char *text,
         LogSettingWarn warn = nullptr, size_t size = 256) {
    char message[256] = "";
    int result = parse(text, message, size, warn);
    const bool sanity = parse == logParseSanityLevelsEx;
    auto word = [&](Logger *logger, int module) {
        return sanity ? *logger->modules[module].sanity : *logger->modules[module].level;
    };
    printf("%s %s: %d '%s' %d %d %d\n", what, text != nullptr ? text : "(null)", result, message, word(settings, 0),
           word(settings, 1), word(utilOwner, 0));
    fflush(stdout);
}

} // namespace

CHILD_SCENARIO(log_message_levels) {
    settings = settingsLogger();
    utilOwner = util();
    if (utilOwner == nullptr)
        return 2;
    auto levels = logParseMsgLevelsEx;
    run("levels", levels, "util=debug");
    run("levels", levels, "trace");
    run("levels", levels, "util");
    run("levels", levels, "al=ERROR,beta=quiet");
    run("levels", levels, "");
    _log_set_msglevel(nullptr, -1, LOG_WARN);
    run("levels", levels, nullptr);
    run("levels", levels, "nosuch=debug");
    run("levels", levels, "util=loud");
    run("levels", levels, "loud");
    run("levels", levels, "=info");
    run("levels", levels, "beta=error,bogus=x,alpha=trace");
    run("levels", levels, "nosuch=x", nullptr, 8);
    run("levels", levels, "beta=Warn,,", nullptr, 0);
    // Deprecated names: the note goes to the buffer, and to the warn operation when forwarded.
    run("levels", levels, "oldalpha=trace");
    run("levels", levels, "oldalpha=error", warnToOut);
    run("levels", levels, "gone=info");
    run("levels", levels, "oldbeta=info");
    run("levels", levels, "loop1=debug", warnToOut);
    run("levels", levels, "odd=info", warnToOut);
    // At QUIET the library's own module prints no note.
    run("levels", levels, "util=quiet,oldalpha=debug");
    return 0;
}

CHILD_SCENARIO(log_sanity_levels) {
    settings = settingsLogger();
    utilOwner = util();
    if (utilOwner == nullptr)
        return 2;
    auto sanity = logParseSanityLevelsEx;
    run("sanity", sanity, "util=minimal");
    run("sanity", sanity, "TRACE");
    run("sanity", sanity, "beta");
    run("sanity", sanity, "");
    run("sanity", sanity, "al=debug,beta=none");
    run("sanity", sanity, "al=bogus");
    run("sanity", sanity, "bogus");
    run("sanity", sanity, "beta=check,nosuch=none,al=none");
    run("sanity", sanity, "oldalpha=trace", warnToOut);
    return 0;
}

TEST(LogSettings, MessageLevelsForOneModuleForAllAndTheirErrors) {
    ChildResult result = runScenario("log_message_levels");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out, "levels util=debug: 0 '' 2 2 4\r\n"
                          "levels trace: 0 'No such logging module \"trace\"' 5 5 5\r\n"
                          "levels util: 0 '' 5 5 3\r\n"
                          "levels al=ERROR,beta=quiet: 0 '' 1 0 3\r\n"
                          // Only the module flagged for it goes to INFO.
                          "levels : 0 '' 3 0 3\r\n"
                          "levels (null): 0 '' 3 2 2\r\n"
                          "levels nosuch=debug: -1 'No such logging module \"nosuch\"' 3 2 2\r\n"
                          "levels util=loud: -1 'Illegal message level 'loud'.' 3 2 2\r\n"
                          "levels loud: -1 'No such logging module \"loud\"' 3 2 2\r\n"
                          "levels =info: -1 'No such logging module \"\"' 3 2 2\r\n"
                          "levels beta=error,bogus=x,alpha=trace: -1 'No such logging module \"bogus\"' 3 1 2\r\n"
                          "levels nosuch=x: -1 'No such' 3 1 2\r\n"
                          "levels beta=Warn,,: 0 '' 3 2 2\r\n"
                          "levels oldalpha=trace: 0 'Logging module oldalpha is deprecated. Please use alpha=DEBUG "
                          "instead.' 5 2 2\r\n"
                          "warn: Logging module oldalpha is deprecated. Please use alpha=DEBUG instead.\r\n"
                          "levels oldalpha=error: 0 'Logging module oldalpha is deprecated. Please use alpha=DEBUG "
                          "instead.' 1 2 2\r\n"
                          "levels gone=info: -1 'Logging module gone is deprecated' 1 2 2\r\n"
                          "levels oldbeta=info: -1 'Logging module oldbeta is deprecated. Please use beta=INFO "
                          "instead.' 1 2 2\r\n"
                          // Forwarded once only: the second name is not passed on again.
                          "warn: Logging module loop1 is deprecated. Please use loop2=WARN instead.\r\n"
                          "levels loop1=debug: -1 'Logging module loop2 is deprecated. Please use loop1=WARN "
                          "instead.' 1 2 2\r\n"
                          "warn: Logging module odd is deprecated. Please use alpha=77 instead.\r\n"
                          "levels odd=info: 0 'Logging module odd is deprecated. Please use alpha=77 instead.' "
                          "3 2 2\r\n"
                          "levels util=quiet,oldalpha=debug: 0 'Logging module oldalpha is deprecated. Please use "
                          "alpha=DEBUG instead.' 4 2 0\r\n");
    // The one note printed through the library's own module, at WARN.
    EXPECT_EQ(result.err,
              "[WARN ][util   ] Logging module oldalpha is deprecated. Please use alpha=DEBUG instead.\r\n");
}

TEST(LogSettings, SanityLevelsForOneModuleForAllAndTheirErrors) {
    ChildResult result = runScenario("log_sanity_levels");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out, "sanity util=minimal: 0 '' 0 0 1\r\n"
                          "sanity TRACE: 0 'No such logging module \"TRACE\"' 4 4 4\r\n"
                          "sanity beta: 0 '' 4 2 4\r\n"
                          // Empty: every module to CHECK.
                          "sanity : 0 '' 2 2 2\r\n"
                          "sanity al=debug,beta=none: 0 '' 3 0 2\r\n"
                          "sanity al=bogus: -1 'Illegal sanity level 'bogus'.' 3 0 2\r\n"
                          "sanity bogus: -1 'No such logging module \"bogus\"' 3 0 2\r\n"
                          "sanity beta=check,nosuch=none,al=none: -1 'No such logging module \"nosuch\"' 3 2 2\r\n"
                          "warn: Logging module oldalpha is deprecated. Please use alpha=DEBUG instead.\r\n"
                          "sanity oldalpha=trace: 0 'Logging module oldalpha is deprecated. Please use alpha=DEBUG "
                          "instead.' 4 2 2\r\n");
    EXPECT_EQ(result.err, "");
}
