// Assertion reports shared by every library of the runtime.
#ifndef OSAL_ASSERT_H
#define OSAL_ASSERT_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// Returns 0 when the report is handled and the caller carries on; non-zero prints and aborts.
typedef int (*AssertHook)(const char *expression, const char *file, int line, const char *function,
                          const char *message);

void assertReport(const char *expression, const char *file, int line, const char *function,
                  const char *format, ...) OSAL_PRINTF_LIKE(5, 6);
AssertHook setAssertHook(AssertHook hook);

OSAL_END_DECLS

#define OSAL_ASSERT(expr)                                                                          \
    do {                                                                                           \
        if (!(expr))                                                                               \
            assertReport(#expr, __FILE__, __LINE__, __func__, NULL);                               \
    } while (0)

#define OSAL_ASSERT_MSG(expr, ...)                                                                 \
    do {                                                                                           \
        if (!(expr))                                                                               \
            assertReport(#expr, __FILE__, __LINE__, __func__, __VA_ARGS__);                        \
    } while (0)

#endif
