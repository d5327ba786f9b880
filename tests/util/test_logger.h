// Loggers made for a test. A registered logger stays in the process-wide list for good, so every
// logger made here lives to the end of the process.
#ifndef TESTS_UTIL_TEST_LOGGER_H
#define TESTS_UTIL_TEST_LOGGER_H

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "sarnik/log_types.h"

struct TestModule {
    const char *name;
    const char *alias = nullptr;
    int flags = 0;
    int decorations = LOG_DECO_DEFAULT;
    int level = LOG_WARN;
    int sanity = LOG_SANITY_NONE;
};

inline int testLoggerCloses = 0;

inline int countingClose(FILE *stream) {
    ++testLoggerCloses;
    return fclose(stream);
}

inline Logger *newLogger(std::initializer_list<TestModule> modules, int defaultLevel = LOG_WARN,
                         int defaultSanity = LOG_SANITY_NONE) {
    const size_t count = modules.size();
    auto *logger = static_cast<Logger *>(calloc(1, offsetof(Logger, modules) + count * sizeof(LogModule)));
    auto *words = static_cast<int *>(calloc(2 * count + 1, sizeof(int)));
    logger->moduleCount = static_cast<int32_t>(count);
    logger->defaultLevel = defaultLevel;
    logger->defaultSanity = defaultSanity;
    logger->closeStream = countingClose;
    size_t i = 0;
    for (const TestModule &spec : modules) {
        LogModule &m = logger->modules[i];
        m.stream = -1;
        m.name = spec.name != nullptr ? strdup(spec.name) : nullptr;
        m.alias = spec.alias != nullptr ? strdup(spec.alias) : nullptr;
        m.level = &words[2 * i];
        m.sanity = &words[2 * i + 1];
        *m.level = spec.level;
        *m.sanity = spec.sanity;
        m.flags = spec.flags;
        m.decorations = spec.decorations;
        ++i;
    }
    return logger;
}

#endif
