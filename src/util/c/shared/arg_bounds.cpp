#include <string.h>

#include "arg_desc.h"
#include "sarnik/bounded_print.h"
#include "sarnik/scaledown.h"

namespace {

template <typename T> T valueAt(const void *p, int index = 0) {
    T value;
    memcpy(&value, static_cast<const char *>(p) + index * sizeof(T), sizeof(T));
    return value;
}

template <typename T> int compare(const void *value, const void *bounds) {
    T v = valueAt<T>(value);
    if (v < valueAt<T>(bounds, 0))
        return -1;
    if (v > valueAt<T>(bounds, 1))
        return 1;
    return 0;
}

const char *boolText(int value) { return value ? "true" : "false"; }

const char *textOrNull(const char *text) { return text != nullptr ? text : "(null)"; }

} // namespace

int argCheckBounds(int kind, const void *value, const void *bounds, char *message, size_t size) {
    if (value == nullptr || bounds == nullptr)
        return 0;
    int result;
    switch (kind) {
    case ARG_KIND_BOOL:
    case ARG_KIND_INT:
        result = compare<int32_t>(value, bounds);
        break;
    case ARG_KIND_S8:
    case ARG_KIND_NANOTIME:
        result = compare<int64_t>(value, bounds);
        break;
    case ARG_KIND_DOUBLE:
        result = compare<double>(value, bounds);
        break;
    case ARG_KIND_SIZE_T:
    case ARG_KIND_PCCHAR:
    case ARG_KIND_PVOID:
        result = compare<uint32_t>(value, bounds);
        break;
    case ARG_KIND_U8:
        result = compare<uint64_t>(value, bounds);
        break;
    default:
        return 0;
    }
    if (result == 0)
        return 0;
    const int bound = result < 0 ? 0 : 1;
    const bool below = result < 0;
    switch (kind) {
    case ARG_KIND_BOOL: {
        const char *v = boolText(valueAt<int32_t>(value)), *b = boolText(valueAt<int32_t>(bounds, bound));
        if (below)
            vantrel_util_snprintf(message, size, "(%sB) is less than minimum required (%sB)", v, b);
        else
            vantrel_util_snprintf(message, size, "(%sB) is more than maximum allowed (%sB)", v, b);
        break;
    }
    case ARG_KIND_INT: {
        int v = valueAt<int32_t>(value), b = valueAt<int32_t>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(%dB) is less than minimum required (%dB)", v, b);
        else
            vantrel_util_snprintf(message, size, "(%dB) is more than maximum allowed (%dB)", v, b);
        break;
    }
    case ARG_KIND_S8: {
        long long v = valueAt<int64_t>(value), b = valueAt<int64_t>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(%I64dB) is less than minimum required (%I64dB)", v, b);
        else
            vantrel_util_snprintf(message, size, "(%I64dB) is more than maximum allowed (%I64dB)", v, b);
        break;
    }
    case ARG_KIND_DOUBLE: {
        double v = valueAt<double>(value), b = valueAt<double>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(%lfB) is less than minimum required (%lfB)", v, b);
        else
            vantrel_util_snprintf(message, size, "(%lfB) is more than maximum allowed (%lfB)", v, b);
        break;
    }
    case ARG_KIND_SIZE_T: {
        size_t v = valueAt<uint32_t>(value), b = valueAt<uint32_t>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(%Iu%sB) is less than minimum required (%Iu%sB)", scaledownSize(v),
                                  scaledDownSizeSuffix(v), scaledownSize(b), scaledDownSizeSuffix(b));
        else
            vantrel_util_snprintf(message, size, "(%Iu%sB) is more than maximum allowed (%Iu%sB)", scaledownSize(v),
                                  scaledDownSizeSuffix(v), scaledownSize(b), scaledDownSizeSuffix(b));
        break;
    }
    case ARG_KIND_U8: {
        // Unsigned, so that values from 2^63 up are not printed as negative numbers.
        unsigned long long v = valueAt<uint64_t>(value), b = valueAt<uint64_t>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(%I64u%sB) is less than minimum required (%I64u%sB)",
                                  scaledownU8(v), scaledDownU8Suffix(v), scaledownU8(b), scaledDownU8Suffix(b));
        else
            vantrel_util_snprintf(message, size, "(%I64u%sB) is more than maximum allowed (%I64u%sB)",
                                  scaledownU8(v), scaledDownU8Suffix(v), scaledownU8(b), scaledDownU8Suffix(b));
        break;
    }
    case ARG_KIND_NANOTIME: {
        long long v = valueAt<int64_t>(value), b = valueAt<int64_t>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(%I64d%sB) is less than minimum required (%I64d%sB)",
                                  scaledownNanotime(v), scaledDownNanotimeSuffix(v), scaledownNanotime(b),
                                  scaledDownNanotimeSuffix(b));
        else
            vantrel_util_snprintf(message, size, "(%I64d%sB) is more than maximum allowed (%I64d%sB)",
                                  scaledownNanotime(v), scaledDownNanotimeSuffix(v), scaledownNanotime(b),
                                  scaledDownNanotimeSuffix(b));
        break;
    }
    case ARG_KIND_PCCHAR: {
        const char *v = textOrNull(valueAt<const char *>(value)), *b = textOrNull(valueAt<const char *>(bounds, bound));
        if (below)
            vantrel_util_snprintf(message, size, "(%sB) is less than minimum required (%sB)", v, b);
        else
            vantrel_util_snprintf(message, size, "(%sB) is more than maximum allowed (%sB)", v, b);
        break;
    }
    case ARG_KIND_PVOID: {
        // The platform runtime prints %p as eight upper-case digits; MinGW's printer would not.
        unsigned v = valueAt<uint32_t>(value), b = valueAt<uint32_t>(bounds, bound);
        if (below)
            vantrel_util_snprintf(message, size, "(0x%08XB) is less than minimum required (0x%08XB)", v, b);
        else
            vantrel_util_snprintf(message, size, "(0x%08XB) is more than maximum allowed (0x%08XB)", v, b);
        break;
    }
    }
    return result;
}
