// Descriptor helpers shared by the option parser's files.
#ifndef SARNIK_ARG_DESC_H
#define SARNIK_ARG_DESC_H

#include <stddef.h>

#include "sarnik/arguments.h"

namespace sarnik {

inline int argKind(const ArgDesc *desc) { return static_cast<int>(desc->flags & ARG_FLAG_KIND_MASK); }

inline unsigned argOccurrences(const ArgDesc *desc) {
    return (desc->flags & ARG_FLAG_COUNT_MASK) >> ARG_FLAG_COUNT_SHIFT;
}

// Bytes of a stored value of the kind; 0 for a kind that does not exist.
size_t argKindWidth(int kind);

// The descriptor's name, or one of its aliases, equals the length bytes at name.
bool argNameMatches(const ArgDesc *desc, const char *name, size_t length);

} // namespace sarnik

#endif
