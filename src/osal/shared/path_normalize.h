// Path normalisation, independent of how the platform tells double-byte characters.
#ifndef OSAL_PATH_NORMALIZE_H
#define OSAL_PATH_NORMALIZE_H

// Non-zero for the first byte of a double-byte character of the code page in use.
typedef int (*OsalLeadByteTest)(unsigned char byte);

// Rewrites path in place: separators become single backslashes, a trailing separator and
// trailing spaces go, a drive or network prefix is kept. The text never grows.
void osalNormalizePath(char *path, OsalLeadByteTest isLeadByte);

#endif
