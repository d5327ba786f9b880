#include <stdarg.h>
#include <string.h>

#include "glob_subject.h"
#include "number_scan.h"
#include "osal/mspace.h"
#include "sarnik/glob.h"

using namespace sarnik;

namespace {

bool isSeparator(char c) { return c == ',' || isBlank(c); }

int weightOf(char sign) { return sign == '+' ? 2 : sign == '-' ? -1 : 1; }

int firstMatch(const PatternSet *set, const GlobSubject &subject) {
    if (set == nullptr || set->entries == nullptr)
        return 0;
    for (int i = 0; i < set->count; ++i)
        if (globMatches(set->entries[i].pattern, subject))
            return set->entries[i].weight;
    return 0;
}

} // namespace

// A leading or trailing run of separators leaves an empty pattern, which matches the empty subject.
void patternSetCreate(PatternSet *set, const char *text) {
    if (set == nullptr)
        return;
    set->entries = nullptr;
    set->count = 0;
    if (text == nullptr || text[0] == '\0')
        return;
    int count = 1;
    size_t length = strlen(text);
    for (size_t i = 0; i < length; ++i)
        if (isSeparator(text[i]) && (i + 1 == length || !isSeparator(text[i + 1])))
            ++count;
    set->count = count;
    size_t entryBytes = static_cast<size_t>(count) * sizeof(PatternSetEntry);
    auto *entries = static_cast<PatternSetEntry *>(gsMalloc(entryBytes + length + 1));
    if (entries == nullptr)
        return;
    char *texts = reinterpret_cast<char *>(entries) + entryBytes;
    memcpy(texts, text, length + 1);
    int n = 0;
    char *p = texts;
    for (;;) {
        char *start = p;
        while (*p != '\0' && !isSeparator(*p))
            ++p;
        bool more = *p != '\0';
        while (isSeparator(*p))
            *p++ = '\0';
        int weight = weightOf(*start);
        entries[n].pattern = weight == 1 ? start : start + 1;
        entries[n].weight = weight;
        ++n;
        if (!more)
            break;
    }
    set->entries = entries;
}

void patternSetFree(PatternSet *set) {
    if (set == nullptr)
        return;
    gsFree(set->entries);
    set->entries = nullptr;
    set->count = 0;
}

int patternSetMatch(const PatternSet *set, const char *text) {
    if (text == nullptr)
        return 0;
    return firstMatch(set, GlobSubject{&text, 1, nullptr});
}

int patternSetMatchArray(const PatternSet *set, const char *const *pieces, int count, const char *separators) {
    if (pieces == nullptr && count > 0)
        return 0;
    return firstMatch(set, GlobSubject{pieces, count, separators});
}

int patternSetMatchList(const PatternSet *set, int count, ...) {
    va_list args;
    va_start(args, count);
    int result = 0;
    {
        GlobPieces gathered(count, args);
        if (gathered.ok())
            result = firstMatch(set, gathered.subject());
    }
    va_end(args);
    return result;
}
