#include "osal/osal_assert.h"

#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {
constinit AssertHook installedHook = nullptr;
}

void assertReport(const char *expression, const char *file, int line, const char *function,
                  const char *format, ...) {
    char message[128];
    const char *text = nullptr;
    if (format != nullptr && format[0] != '\0') {
        message[0] = ' ';
        va_list args;
        va_start(args, format);
        vsnprintf(message + 1, 127, format, args); // blank, at most 126 characters, terminator
        va_end(args);
        message[127] = '\0';
        text = message;
    }
    AssertHook hook = installedHook;
    if (hook != nullptr && hook(expression, file, line, function, text) == 0)
        return;
    fprintf(stderr, "Assertion failed: \"%s\"%s at %s (%s:%d)\n", expression, text ? text : "", function, file,
            line);
    fflush(stderr);
    raise(SIGABRT);
    _exit(3);
}

AssertHook setAssertHook(AssertHook hook) {
    AssertHook previous = installedHook;
    installedHook = hook;
    return previous;
}
