#include "sarnik/bounded_print.h"

#include <stdio.h>

// MinGW's own vsnprintf: it reads the C runtime's dialect and always terminates the buffer.
int vantrel_util_vsnprintf(char *buffer, size_t size, const char *format, va_list args) {
    if (buffer == nullptr || size == 0)
        return -1;
    if (format == nullptr) {
        buffer[0] = '\0';
        return -1;
    }
    int length = vsnprintf(buffer, size, format, args);
    if (length < 0) {
        buffer[0] = '\0';
        return -1;
    }
    buffer[size - 1 < static_cast<size_t>(length) ? size - 1 : static_cast<size_t>(length)] = '\0';
    return static_cast<size_t>(length) < size ? length : -1;
}

int vantrel_util_snprintf(char *buffer, size_t size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int length = vantrel_util_vsnprintf(buffer, size, format, args);
    va_end(args);
    return length;
}
