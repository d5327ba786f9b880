#include <string.h>

#include "arg_desc.h"
#include "sarnik/value_parse.h"

namespace sarnik {

size_t argKindWidth(int kind) {
    switch (kind) {
    case ARG_KIND_BOOL:
    case ARG_KIND_INT:
    case ARG_KIND_SIZE_T:
    case ARG_KIND_PCCHAR:
    case ARG_KIND_PVOID:
        return 4;
    case ARG_KIND_S8:
    case ARG_KIND_DOUBLE:
    case ARG_KIND_U8:
    case ARG_KIND_NANOTIME:
        return 8;
    default:
        return 0;
    }
}

} // namespace sarnik

static_assert(sizeof(int) == 4 && sizeof(size_t) == 4 && sizeof(void *) == 4, "stored widths are 32-bit");

int argConvert2(int kind, void *value, const char *text, const char **error) {
    switch (kind) {
    case ARG_KIND_BOOL:
        return strToBool(text, static_cast<int *>(value), error);
    case ARG_KIND_INT:
        return strToSuffixInt(text, static_cast<int32_t *>(value), error);
    case ARG_KIND_S8:
        return strToSuffixLong(text, static_cast<int64_t *>(value), error);
    case ARG_KIND_DOUBLE:
        return strToSuffixDouble(text, static_cast<double *>(value), error);
    case ARG_KIND_SIZE_T:
        return strToSuffixSize(text, static_cast<size_t *>(value), error);
    case ARG_KIND_U8:
        return strToSuffixULong(text, static_cast<uint64_t *>(value), error);
    case ARG_KIND_NANOTIME:
        return strToSuffixNanoTime(text, static_cast<int64_t *>(value), error);
    case ARG_KIND_PCCHAR:
        if (value != nullptr)
            *static_cast<const char **>(value) = text;
        return 1;
    case ARG_KIND_PVOID:
        return strToSuffixAddress(text, static_cast<void **>(value), error);
    default:
        if (error != nullptr)
            *error = "illegal argument kind";
        return 0;
    }
}

int argConvert(int kind, void *destination, const char *text, const char **error) {
    void *variable = destination != nullptr ? *static_cast<void **>(destination) : nullptr;
    // With no variable the text is still checked.
    return argConvert2(kind, variable, text, error);
}

void argCopy(int kind, void *destination, const void *value) {
    size_t width = sarnik::argKindWidth(kind);
    if (destination == nullptr || value == nullptr || width == 0)
        return;
    void *variable = *static_cast<void **>(destination);
    if (variable != nullptr)
        memcpy(variable, value, width);
}
