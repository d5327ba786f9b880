// Formatting into a caller's buffer of any size, 0 and 1 included.
#ifndef OSAL_BOUNDED_FORMAT_H
#define OSAL_BOUNDED_FORMAT_H

#include <stdarg.h>

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// Writes the text cut to size - 1 characters and terminated; nothing when buffer is null or size
// is below 1. Returns the number of characters written.
int osalFormat(char *buffer, int size, const char *format, ...) OSAL_PRINTF_LIKE(3, 4);
int osalFormatV(char *buffer, int size, const char *format, va_list args);

OSAL_END_DECLS

#endif
