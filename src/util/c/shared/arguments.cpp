#include <stdarg.h>
#include <stdint.h>
#include <string.h>

#include "arg_desc.h"
#include "osal/mspace.h"
#include "osal/osal_assert.h"
#include "sarnik/bounded_print.h"
#include "sarnik/sarnik_types.h"

using namespace sarnik;

namespace {

constexpr size_t errorRoom = 129;

// Every parse keeps its own copy of the text. Earlier copies stay until argFree, since text values
// handed out by an earlier parse may still be in use. The copy whose names and values are ended
// with NULs is followed by an untouched one, for walking the items again.
struct CopyBlock {
    CopyBlock *previous;
    size_t accepted; // the items before this offset were accepted by the parse
};

CopyBlock *blockOf(char *copy) { return reinterpret_cast<CopyBlock *>(copy) - 1; }

SARNIK_PRINTF_LIKE(2, 3) void setError(ArgList *list, const char *format, ...) {
    char *text = static_cast<char *>(gsMalloc(errorRoom));
    if (text == nullptr)
        return;
    va_list args;
    va_start(args, format);
    vantrel_util_vsnprintf(text, errorRoom, format, args);
    va_end(args);
    if (list->error != nullptr)
        gsFree(list->error);
    list->error = text;
}

void addOccurrence(ArgDesc *desc) {
    // Saturates: a seventeenth bit would spill into the caller's bits.
    if (argOccurrences(desc) < 0xffffu)
        desc->flags += 1u << ARG_FLAG_COUNT_SHIFT;
}

void link(ArgList *list, ArgDesc *desc) {
    if (list->descriptors == nullptr) {
        // The caller only has to clear the list head and the error before the first declaration.
        list->text = nullptr;
        list->copy = nullptr;
        list->length = 0;
        desc->next = nullptr;
        list->descriptors = desc;
        return;
    }
    for (ArgDesc *d = list->descriptors;; d = d->next) {
        if (d == desc)
            return; // declared again: already in place, and linking it twice would loop
        if (d->next == nullptr) {
            desc->next = nullptr;
            d->next = desc;
            return;
        }
    }
}

void declare(int kind, const char *name, ArgList *list, ArgDesc *desc, void *store, const char *description,
             const char *aliases, int flags) {
    desc->name = name;
    desc->aliases = aliases;
    desc->matched = nullptr;
    desc->description = description;
    desc->store = store;
    uint32_t word = (desc->flags & ARG_FLAG_CALLER_MASK) | static_cast<uint32_t>(kind);
    if (flags & ARG_REQUIRED)
        word |= ARG_FLAG_REQUIRED;
    if (flags & ARG_REPEATABLE)
        word |= ARG_FLAG_REPEATABLE;
    desc->flags = word;
    link(list, desc);
}

// One item: 0 when accepted, -1 with the error set.
int parseItem(ArgList *list, const char *name, size_t nameLength, const char *value) {
    ArgDesc *fallback = nullptr;
    for (ArgDesc *d = list->descriptors; d != nullptr; d = d->next) {
        if (d->flags & ARG_FLAG_FALLBACK) {
            fallback = d;
            continue;
        }
        if (!argNameMatches(d, name, nameLength))
            continue;
        if (argOccurrences(d) != 0 && !(d->flags & ARG_FLAG_REPEATABLE)) {
            setError(list, "Duplicate parameter %s", name);
            return -1;
        }
        const char *why = "";
        int converted = argConvert(argKind(d), &d->store, value, &why);
        if (!converted)
            setError(list, "Could not parse value for argument '%s': %s (%s)", name, value, why);
        d->matched = name;
        addOccurrence(d);
        return converted ? 0 : -1;
    }
    if (fallback != nullptr) {
        if (fallback->fallbackName != nullptr)
            *fallback->fallbackName = name;
        if (fallback->store != nullptr)
            *static_cast<const char **>(fallback->store) = value;
        return 0;
    }
    setError(list, "Unknown parameter %s", name);
    return -1;
}

} // namespace

namespace sarnik {

bool argNameMatches(const ArgDesc *desc, const char *name, size_t length) {
    if (desc->name != nullptr && strlen(desc->name) == length && memcmp(desc->name, name, length) == 0)
        return true;
    for (const char *alias = desc->aliases; alias != nullptr && *alias != '\0';) {
        const char *comma = strchr(alias, ',');
        size_t aliasLength = comma != nullptr ? static_cast<size_t>(comma - alias) : strlen(alias);
        // An empty alias ("default," ends in one) names nothing.
        if (aliasLength != 0 && aliasLength == length && memcmp(alias, name, length) == 0)
            return true;
        if (comma == nullptr)
            break;
        alias = comma + 1;
    }
    return false;
}

} // namespace sarnik

int argAddbool(const char *name, ArgList *list, ArgDesc *desc, int *store, int defaultValue,
               const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_BOOL, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

int32_t argAddint(const char *name, ArgList *list, ArgDesc *desc, int32_t *store, int32_t defaultValue,
                  const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_INT, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

int64_t argAdds8(const char *name, ArgList *list, ArgDesc *desc, int64_t *store, int64_t defaultValue,
                 const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_S8, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

double argAdddouble(const char *name, ArgList *list, ArgDesc *desc, double *store, double defaultValue,
                    const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_DOUBLE, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

size_t argAddsize_t(const char *name, ArgList *list, ArgDesc *desc, size_t *store, size_t defaultValue,
                    const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_SIZE_T, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

uint64_t argAddu8(const char *name, ArgList *list, ArgDesc *desc, uint64_t *store, uint64_t defaultValue,
                  const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_U8, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

int64_t argAddnanotime(const char *name, ArgList *list, ArgDesc *desc, int64_t *store, int64_t defaultValue,
                       const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_NANOTIME, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

const char *argAddpcchar(const char *name, ArgList *list, ArgDesc *desc, const char **store,
                         const char *defaultValue, const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_PCCHAR, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

void *argAddpvoid(const char *name, ArgList *list, ArgDesc *desc, void **store, void *defaultValue,
                  const char *description, const char *aliases, int flags) {
    declare(ARG_KIND_PVOID, name, list, desc, store, description, aliases, flags);
    return defaultValue;
}

void argAddFallback(ArgList *list, ArgDesc *desc, const char **nameOut, const char **valueOut) {
    declare(ARG_KIND_PCCHAR, "*", list, desc, valueOut, nullptr, nullptr, 0);
    desc->fallbackName = nameOut;
    desc->flags |= ARG_FLAG_FALLBACK;
}

int argParse(ArgList *list, const char *text, size_t length, char separator) {
    if (text == nullptr) {
        text = "";
        length = 0;
    }
    CopyBlock *block = nullptr;
    if (length < (SIZE_MAX - sizeof(CopyBlock)) / 2 - 1)
        block = static_cast<CopyBlock *>(gsMalloc(sizeof(CopyBlock) + 2 * (length + 1)));
    if (block == nullptr) {
        setError(list, "Could not allocate memory");
        return -1;
    }
    block->previous = list->copy != nullptr ? blockOf(list->copy) : nullptr;
    block->accepted = 0;
    char *copy = reinterpret_cast<char *>(block + 1);
    char *pristine = copy + length + 1;
    memcpy(copy, text, length);
    copy[length] = '\0';
    memcpy(pristine, text, length);
    pristine[length] = '\0';
    list->text = text;
    list->copy = copy;
    list->length = length;
    list->separator = separator;

    ArgIter iter;
    argIterInit(&iter, copy, length, separator);
    while (!argIterDone(&iter)) {
        argIterNext(&iter);
        char *name = const_cast<char *>(iter.name);
        char *value = const_cast<char *>(iter.value);
        name[iter.nameLength] = '\0';
        value[iter.valueLength] = '\0';
        if (parseItem(list, name, iter.nameLength, value) != 0)
            return -1;
        block->accepted = static_cast<size_t>(iter.position - copy);
    }
    for (ArgDesc *d = list->descriptors; d != nullptr; d = d->next) {
        if ((d->flags & ARG_FLAG_REQUIRED) && argOccurrences(d) == 0) {
            setError(list, "Required parameter %s missing", d->name != nullptr ? d->name : "");
            return -1;
        }
    }
    return 0;
}

const char *argError(const ArgList *list) { return list != nullptr && list->error != nullptr ? list->error : ""; }

int argCount(const ArgList *list) {
    int count = 0;
    for (const ArgDesc *d = list->descriptors; d != nullptr; d = d->next)
        if (!(d->flags & ARG_FLAG_FALLBACK))
            ++count;
    return count;
}

void argFree(ArgList *list) {
    if (list->copy != nullptr) {
        for (CopyBlock *block = blockOf(list->copy); block != nullptr;) {
            CopyBlock *previous = block->previous;
            gsFree(block);
            block = previous;
        }
    }
    if (list->error != nullptr)
        gsFree(list->error);
    list->copy = nullptr;
    list->error = nullptr;
    list->text = nullptr;
    list->length = 0;
}

int argGetValues(ArgList *list, ArgDesc *desc, void *array, int maximum) {
    size_t width = argKindWidth(argKind(desc));
    if (array == nullptr || maximum <= 0 || width == 0)
        return 0;
    memset(array, 0, static_cast<size_t>(maximum) * width);
    int wanted = static_cast<int>(argOccurrences(desc));
    if (wanted > maximum)
        wanted = maximum;
    if ((desc->flags & ARG_FLAG_FALLBACK) || list->copy == nullptr)
        return 0;
    char *copy = list->copy;
    const char *pristine = copy + list->length + 1;
    // A parse that failed accepted only the items before the failing one: only those are read.
    const char *accepted = pristine + blockOf(copy)->accepted;
    ArgIter iter;
    argIterInit(&iter, pristine, list->length, list->separator);
    int stored = 0;
    while (stored < wanted && iter.position < accepted) {
        argIterNext(&iter);
        if (!argNameMatches(desc, iter.name, iter.nameLength))
            continue;
        const char *tmp = copy + (iter.value - pristine);
        void *p = static_cast<char *>(array) + static_cast<size_t>(stored) * width;
        if (!argConvert(argKind(desc), &p, tmp, NULL)) {
            const char *noMessage = nullptr;
            assertReport("argConvert(a->kind, &p, tmp, NULL)", "src/util/c/shared/arguments", 372, "argGetValues",
                         noMessage);
            continue;
        }
        ++stored;
    }
    return stored;
}
