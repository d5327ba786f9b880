#include <string.h>

#include "osal/mspace.h"
#include "sarnik/arguments.h"
#include "text_util.h"

namespace {

const char *findOrEnd(const char *from, const char *end, char c) {
    const void *found = memchr(from, c, static_cast<size_t>(end - from));
    return found != nullptr ? static_cast<const char *>(found) : end;
}

void skipSeparators(ArgIter *iter) {
    while (iter->position < iter->end && *iter->position == iter->separator)
        ++iter->position;
}

} // namespace

void argIterInit(ArgIter *iter, const char *text, size_t length, char separator) {
    if (text == nullptr) {
        text = "";
        length = 0;
    }
    iter->position = text;
    iter->end = text + length;
    iter->separator = separator;
    iter->name = text;
    iter->nameLength = 0;
    iter->value = text;
    iter->valueLength = 0;
    skipSeparators(iter);
}

void argIterInitDefault(ArgIter *iter, const char *text) {
    argIterInit(iter, text, text != nullptr ? strlen(text) : 0, ',');
}

int argIterDone(const ArgIter *iter) { return iter->position >= iter->end ? 1 : 0; }

void argIterNext(ArgIter *iter) {
    const char *position = iter->position;
    const char *end = iter->end;
    if (position >= end) {
        iter->name = iter->value = end;
        iter->nameLength = iter->valueLength = 0;
        return;
    }
    const char *separator = findOrEnd(position, end, iter->separator);
    // An '=' past the separator belongs to a later item: looking no further keeps a pass linear.
    const char *equals = findOrEnd(position, separator, '=');
    iter->name = position;
    if (equals >= separator) {
        iter->nameLength = static_cast<size_t>(separator - position);
        iter->value = separator;
        iter->valueLength = 0;
        iter->position = separator;
    } else {
        iter->nameLength = static_cast<size_t>(equals - position);
        const char *value = equals + 1;
        if (value < end && (*value == '"' || *value == '\'')) {
            char quote = *value++;
            const char *close = value;
            while (close < end && !(*close == quote && close[-1] != '\\'))
                ++close;
            iter->value = value;
            iter->valueLength = static_cast<size_t>(close - value);
            // Whatever follows the closing quote up to the next separator is passed over.
            iter->position = close < end ? findOrEnd(close, end, iter->separator) : end;
        } else {
            iter->value = value;
            iter->valueLength = static_cast<size_t>(separator - value);
            iter->position = separator;
        }
    }
    skipSeparators(iter);
}

int argIterGetNext(ArgIter *iter, char **name, char **value) {
    if (argIterDone(iter))
        return 0;
    argIterNext(iter);
    char *nameCopy = sarnik::copyText(iter->name, iter->nameLength);
    char *valueCopy = sarnik::copyText(iter->value, iter->valueLength);
    if (nameCopy == nullptr || valueCopy == nullptr) {
        gsFree(nameCopy);
        gsFree(valueCopy);
        return 0;
    }
    *name = nameCopy;
    *value = valueCopy;
    return 1;
}
