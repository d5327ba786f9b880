// Option strings: items "name" or "name=value" separated by one character, matched against
// descriptors the caller declares, converted to typed values and stored in the caller's variables.
#ifndef SARNIK_ARGUMENTS_H
#define SARNIK_ARGUMENTS_H

#include <stddef.h>
#include <stdint.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

enum ArgKind {
    ARG_KIND_BOOL = 0,     // int, 0 or 1
    ARG_KIND_INT = 1,      // int32_t
    ARG_KIND_S8 = 2,       // int64_t
    ARG_KIND_DOUBLE = 3,   // double
    ARG_KIND_SIZE_T = 4,   // size_t
    ARG_KIND_U8 = 5,       // uint64_t
    ARG_KIND_NANOTIME = 6, // int64_t nanoseconds
    ARG_KIND_PCCHAR = 7,   // const char *, the value text itself
    ARG_KIND_PVOID = 8     // void *
};

// Flags given to the argAdd functions.
enum ArgAddFlags {
    ARG_REQUIRED = 1,
    ARG_REPEATABLE = 2
};

// The descriptor's flag word.
#define ARG_FLAG_KIND_MASK 0xffu
#define ARG_FLAG_REQUIRED 0x100u
#define ARG_FLAG_REPEATABLE 0x200u
#define ARG_FLAG_FALLBACK 0x400u
#define ARG_FLAG_COUNT_SHIFT 11
#define ARG_FLAG_COUNT_MASK (0xffffu << ARG_FLAG_COUNT_SHIFT)
#define ARG_FLAG_CALLER_MASK 0xf8000000u

typedef struct ArgIter {
    const char *position;
    const char *end;
    char separator;
    const char *name;
    size_t nameLength;
    const char *value;
    size_t valueLength;
} ArgIter;

typedef struct ArgDesc {
    struct ArgDesc *next;
    const char *name;
    const char *aliases;     // null, or further names separated by ','
    const char *matched;     // the item name the option was last given under
    union {
        const char *description;
        const char **fallbackName; // the fallback's: receives an unknown item's name
    };
    void *store;             // the fallback's: a const char ** receiving the unknown item's value
    uint32_t flags;
} ArgDesc;

// Start from a record of zeros (ARG_LIST_INIT); descriptors belong to the caller.
typedef struct ArgList {
    ArgDesc *descriptors;
    char *error;
    const char *text;
    char *copy;
    size_t length;
    char separator;
} ArgList;

#define ARG_LIST_INIT {0, 0, 0, 0, 0, 0}

void argIterInit(ArgIter *iter, const char *text, size_t length, char separator);
void argIterInitDefault(ArgIter *iter, const char *text);
int argIterDone(const ArgIter *iter);
void argIterNext(ArgIter *iter);
// 0 when done; else 1 with new NUL-terminated copies (free with gsFree), or 0 when out of memory.
int argIterGetNext(ArgIter *iter, char **name, char **value);

// Each fills the descriptor, appends it to the list and returns the default unchanged: the parser
// writes the variable only when the option is given.
int argAddbool(const char *name, ArgList *list, ArgDesc *desc, int *store, int defaultValue,
               const char *description, const char *aliases, int flags);
int32_t argAddint(const char *name, ArgList *list, ArgDesc *desc, int32_t *store, int32_t defaultValue,
                  const char *description, const char *aliases, int flags);
int64_t argAdds8(const char *name, ArgList *list, ArgDesc *desc, int64_t *store, int64_t defaultValue,
                 const char *description, const char *aliases, int flags);
double argAdddouble(const char *name, ArgList *list, ArgDesc *desc, double *store, double defaultValue,
                    const char *description, const char *aliases, int flags);
size_t argAddsize_t(const char *name, ArgList *list, ArgDesc *desc, size_t *store, size_t defaultValue,
                    const char *description, const char *aliases, int flags);
uint64_t argAddu8(const char *name, ArgList *list, ArgDesc *desc, uint64_t *store, uint64_t defaultValue,
                  const char *description, const char *aliases, int flags);
int64_t argAddnanotime(const char *name, ArgList *list, ArgDesc *desc, int64_t *store, int64_t defaultValue,
                       const char *description, const char *aliases, int flags);
const char *argAddpcchar(const char *name, ArgList *list, ArgDesc *desc, const char **store,
                         const char *defaultValue, const char *description, const char *aliases, int flags);
void *argAddpvoid(const char *name, ArgList *list, ArgDesc *desc, void **store, void *defaultValue,
                  const char *description, const char *aliases, int flags);
// Items that match no descriptor hand their name (and value, when valueOut is not null) out here
// instead of failing the parse.
void argAddFallback(ArgList *list, ArgDesc *desc, const char **nameOut, const char **valueOut);

// 0, or -1 with argError set. Text values stay valid until argFree.
int argParse(ArgList *list, const char *text, size_t length, char separator);
const char *argError(const ArgList *list);
int argCount(const ArgList *list);
void argFree(ArgList *list);
// Every value of a repeatable option, in the order given; the number stored.
int argGetValues(ArgList *list, ArgDesc *desc, void *array, int maximum);

// destination holds the address of the variable (as a descriptor's store does).
int argConvert(int kind, void *destination, const char *text, const char **error);
int argConvert2(int kind, void *value, const char *text, const char **error);
void argCopy(int kind, void *destination, const void *value);
// -1 below bounds[0], 1 above bounds[1] (each of the kind's width), else 0; a message on -1 and 1.
int argCheckBounds(int kind, const void *value, const void *bounds, char *message, size_t size);

SARNIK_END_DECLS

#endif
