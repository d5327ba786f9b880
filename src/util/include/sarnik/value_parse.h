// Numbers with size suffixes, times with units and booleans, as option texts give them.
//
// Each conversion returns 1 and writes the result on success; on failure it returns 0, leaves the
// result alone and, when error is not null, points it at a fixed text that explains why.
#ifndef SARNIK_VALUE_PARSE_H
#define SARNIK_VALUE_PARSE_H

#include <stddef.h>
#include <stdint.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

int strToSuffixInt(const char *text, int32_t *result, const char **error);
int strToSuffixUInt(const char *text, uint32_t *result, const char **error);
int strToSuffixLong(const char *text, int64_t *result, const char **error);
int strToSuffixULong(const char *text, uint64_t *result, const char **error);
int strToSuffixSize(const char *text, size_t *result, const char **error);
// Hexadecimal digits are taken without a "0x" prefix.
int strToSuffixAddress(const char *text, void **result, const char **error);
int strToSuffixDouble(const char *text, double *result, const char **error);
// A number and a unit: "ns", "us", "ms", "s", "m", "h" or "d"; a bare 0 needs none.
int strToSuffixNanoTime(const char *text, int64_t *result, const char **error);
// "", "1", "true", "on" give 1; "0", "false", "off" give 0 (words in any case).
int strToBool(const char *text, int *result, const char **error);

// The factor of a size suffix (k, m, g in either case); 1 when c is one, else 0.
int strSuffixToMultiplier(char c, uint64_t *result);

// 1 when text begins with prefix (case-sensitive; an empty prefix always matches).
int strStartsWith(const char *text, const char *prefix);
// Splits text in place at the first c: *first gets text, *rest what follows c (null if no c).
int strSplitAt(char *text, char **first, char **rest, char c);

SARNIK_END_DECLS

#endif
