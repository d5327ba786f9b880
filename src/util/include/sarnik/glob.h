// Names matched against patterns whose only wildcard is '*', and ordered sets of such patterns.
//
// A subject may come in pieces p0 s0 p1 s1 .. p(n-1): n texts and n separator characters, where
// a NUL separator adds nothing and the last one is not used, so that a package, a class and a
// method name need not be joined by the caller.
#ifndef SARNIK_GLOB_H
#define SARNIK_GLOB_H

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

// 1 when the whole text matches the whole pattern (case-sensitive), else 0.
int globMatch(const char *pattern, const char *text);
// separators holds at least count characters.
int globMatchArray(const char *pattern, const char *const *pieces, int count, const char *separators);
// count pairs of (const char *piece, char separator) follow.
int globMatchList(const char *pattern, int count, ...);

typedef struct PatternSetEntry {
    const char *pattern;
    int weight; // 1 plain, 2 written with a leading '+', -1 with a leading '-'
} PatternSetEntry;

// Entries and their texts lie in one block of the global memory space. When that block could not
// be had, entries is null while count stays set: test entries.
typedef struct PatternSet {
    PatternSetEntry *entries;
    int count;
} PatternSet;

// From patterns separated by blanks or commas; a null or empty text gives an empty set.
void patternSetCreate(PatternSet *set, const char *text);
void patternSetFree(PatternSet *set);
// The weight of the first pattern that matches, or 0 when none does.
int patternSetMatch(const PatternSet *set, const char *text);
int patternSetMatchList(const PatternSet *set, int count, ...);
int patternSetMatchArray(const PatternSet *set, const char *const *pieces, int count, const char *separators);

SARNIK_END_DECLS

#endif
