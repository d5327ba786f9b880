// Small text helpers inside the library.
#ifndef SARNIK_TEXT_UTIL_H
#define SARNIK_TEXT_UTIL_H

#include <stddef.h>

namespace sarnik {

// The first length bytes of text in a new NUL-terminated block of the global memory space; null
// when out of memory.
char *copyText(const char *text, size_t length);

// a to f, or x, in either case: a letter that only a hexadecimal number can hold.
bool isHexLetter(char c);

// Equal when only the case of ASCII letters differs; the locale plays no part.
bool sameTextIgnoringCase(const char *a, const char *b);

} // namespace sarnik

#endif
