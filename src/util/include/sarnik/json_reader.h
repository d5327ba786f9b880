// An event-style reader for the relaxed JSON of settings files: no tree is built, the caller's
// callback sees each element in document order. Any error ends the parse at once and leaves a
// message with the line number and the offending text in the caller's buffer.
#ifndef SARNIK_JSON_READER_H
#define SARNIK_JSON_READER_H

#include <stddef.h>
#include <stdint.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

typedef enum JsonElementType {
    JSON_ARRAY_START = 1,
    JSON_ARRAY_END = 2,
    JSON_OBJECT_START = 3,
    JSON_OBJECT_END = 4,
    JSON_INTEGER = 5, // value: const int64_t *
    JSON_NUMBER = 6,  // never delivered: fraction numbers are accepted and skipped
    JSON_NULL = 7,
    JSON_TRUE = 8,
    JSON_FALSE = 9,
    JSON_STRING = 10,     // value: const JsonString *
    JSON_MEMBER_NAME = 11 // value: const JsonString *
} JsonElementType;

// Modified UTF-8, NUL-terminated; valid only during the callback.
typedef struct JsonString {
    const char *text;
    size_t length;
} JsonString;

// value is null for the elements that carry none. A callback ends the parse only through jsonAbort:
// nothing may be thrown out of it.
typedef void (*JsonCallback)(JsonElementType type, const void *value, void *userData);

// 0 on success; -1 after an error, with the message in errorBuffer (which must hold at least one
// byte). A callback may end the parse with jsonAbort; nothing with a destructor may then be alive
// in the callback's frame, as the parse unwinds past it without running destructors.
int jsonParse(const char *text, JsonCallback callback, void *userData, char *errorBuffer, size_t errorSize);
// The whole file, up to its first NUL byte.
int jsonParseFile(const char *path, JsonCallback callback, void *userData, char *errorBuffer, size_t errorSize);

// Only during a parse on the same thread (from a callback): formats the message, adds the position
// and ends the innermost parse, which returns -1. Never returns.
void jsonAbort(const char *format, ...) SARNIK_PRINTF_LIKE(1, 2) __attribute__((noreturn));

SARNIK_END_DECLS

#endif
