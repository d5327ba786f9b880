#include "text_util.h"

#include <string.h>

#include "osal/mspace.h"
#include "sarnik/value_parse.h"

namespace sarnik {

char *copyText(const char *text, size_t length) {
    if (length == static_cast<size_t>(-1))
        return nullptr;
    char *copy = static_cast<char *>(gsMalloc(length + 1));
    if (copy == nullptr)
        return nullptr;
    if (length != 0)
        memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

bool isHexLetter(char c) {
    char lower = static_cast<char>(c | 0x20);
    return (lower >= 'a' && lower <= 'f') || lower == 'x';
}

bool sameTextIgnoringCase(const char *a, const char *b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (;; ++a, ++b) {
        if (lower(static_cast<unsigned char>(*a)) != lower(static_cast<unsigned char>(*b)))
            return false;
        if (*a == '\0')
            return true;
    }
}

} // namespace sarnik

int strStartsWith(const char *text, const char *prefix) {
    if (prefix == nullptr || prefix[0] == '\0')
        return 1;
    if (text == nullptr)
        return 0;
    return strncmp(text, prefix, strlen(prefix)) == 0 ? 1 : 0;
}

int strSplitAt(char *text, char **first, char **rest, char c) {
    char *at = text != nullptr ? strchr(text, c) : nullptr;
    // strchr finds the terminator itself when c is NUL: that is no split.
    if (at != nullptr && c == '\0')
        at = nullptr;
    if (at != nullptr)
        *at = '\0';
    if (first != nullptr)
        *first = text;
    if (rest != nullptr)
        *rest = at != nullptr ? at + 1 : nullptr;
    return 0;
}
