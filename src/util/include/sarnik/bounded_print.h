// Formatting into a caller's buffer that never overruns it and tells a cut text apart.
#ifndef SARNIK_BOUNDED_PRINT_H
#define SARNIK_BOUNDED_PRINT_H

#include <stdarg.h>
#include <stddef.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

// The number of characters written when the text and its NUL fit; -1 when the buffer is null,
// the size is 0 or the text was cut to its first size - 1 characters. Always NUL-terminated when
// size is not 0.
int vantrel_util_vsnprintf(char *buffer, size_t size, const char *format, va_list args)
    SARNIK_PRINTF_LIKE(3, 0);
int vantrel_util_snprintf(char *buffer, size_t size, const char *format, ...) SARNIK_PRINTF_LIKE(3, 4);

SARNIK_END_DECLS

#endif
