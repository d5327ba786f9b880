#include "bounded_format.h"

#include <stdio.h>

int osalFormatV(char *buffer, int size, const char *format, va_list args) {
    if (buffer == nullptr || size <= 0)
        return 0;
    int length = vsnprintf(buffer, static_cast<size_t>(size), format, args);
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return length < size ? length : size - 1;
}

int osalFormat(char *buffer, int size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int length = osalFormatV(buffer, size, format, args);
    va_end(args);
    return length;
}
