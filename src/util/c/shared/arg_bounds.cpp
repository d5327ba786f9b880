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

// One value of the kind as the bound messages print it: in text, or a text option's own text.
const char *formatValue(int kind, const void *values, int index, char *text, size_t size) {
    switch (kind) {
    case ARG_KIND_BOOL:
        vantrel_util_snprintf(text, size, "%s", valueAt<int32_t>(values, index) ? "true" : "false");
        break;
    case ARG_KIND_INT:
        vantrel_util_snprintf(text, size, "%d", valueAt<int32_t>(values, index));
        break;
    case ARG_KIND_S8:
        vantrel_util_snprintf(text, size, "%I64d", static_cast<long long>(valueAt<int64_t>(values, index)));
        break;
    case ARG_KIND_DOUBLE:
        vantrel_util_snprintf(text, size, "%lf", valueAt<double>(values, index));
        break;
    case ARG_KIND_SIZE_T: {
        size_t v = valueAt<uint32_t>(values, index);
        vantrel_util_snprintf(text, size, "%Iu%s", scaledownSize(v), scaledDownSizeSuffix(v));
        break;
    }
    case ARG_KIND_U8: {
        // Unsigned, so that values from 2^63 up are not printed as negative numbers.
        uint64_t v = valueAt<uint64_t>(values, index);
        vantrel_util_snprintf(text, size, "%I64u%s", static_cast<unsigned long long>(scaledownU8(v)),
                              scaledDownU8Suffix(v));
        break;
    }
    case ARG_KIND_NANOTIME: {
        int64_t v = valueAt<int64_t>(values, index);
        vantrel_util_snprintf(text, size, "%I64d%s", static_cast<long long>(scaledownNanotime(v)),
                              scaledDownNanotimeSuffix(v));
        break;
    }
    case ARG_KIND_PCCHAR: {
        const char *v = valueAt<const char *>(values, index);
        return v != nullptr ? v : "(null)";
    }
    default:
        // The platform runtime prints %p as eight upper-case digits; MinGW's printer would not.
        vantrel_util_snprintf(text, size, "0x%08X", valueAt<uint32_t>(values, index));
    }
    return text;
}

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
    // Room for any number; texts are passed as they are.
    static constexpr size_t room = 400;
    char valueRoom[room], boundRoom[room];
    const char *v = formatValue(kind, value, 0, valueRoom, room);
    const char *b = formatValue(kind, bounds, result < 0 ? 0 : 1, boundRoom, room);
    if (result < 0)
        vantrel_util_snprintf(message, size, "(%sB) is less than minimum required (%sB)", v, b);
    else
        vantrel_util_snprintf(message, size, "(%sB) is more than maximum allowed (%sB)", v, b);
    return result;
}
