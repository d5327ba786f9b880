#include "path_normalize.h"

#include <string.h>

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

} // namespace

void osalNormalizePath(char *path, OsalLeadByteTest isLeadByte) {
    if (path == nullptr)
        return;
    size_t inputLength = strlen(path);
    const char *from = path;
    size_t out = 0;

    const char *first = path;
    while (isSeparator(*first))
        ++first;
    bool drive = isDriveLetter(*first) && first[1] == ':';
    bool network = false;
    if (drive) {
        path[out++] = first[0];
        path[out++] = ':';
        from = first + 2;
    } else if (isSeparator(path[0]) && isSeparator(path[1])) {
        path[out++] = '\\';
        from = path + 1;
        network = true;
    }

    // The output never overtakes the input: at most one byte is written for each byte read.
    size_t keep = drive ? out : 0; // length up to the last byte that trailing clean-up leaves alone
    while (*from != '\0') {
        if (isSeparator(*from)) {
            while (isSeparator(*from))
                ++from;
            path[out++] = '\\';
            continue;
        }
        if (isLeadByte(static_cast<unsigned char>(*from)) && from[1] != '\0') {
            path[out++] = *from++;
            path[out++] = *from++;
            keep = out;
            continue;
        }
        char c = *from++;
        path[out++] = c;
        if (c != ' ')
            keep = out;
    }

    if (drive) {
        if (keep == 2 && out > 2 && path[2] == '\\')
            keep = 3;
    } else if (keep == 0 && out > 0 && path[0] == '\\') {
        keep = network && out > 1 && path[1] == '\\' ? 2 : 1;
    }
    path[keep] = '\0';

    // A bare drive names its current directory; the dot goes in only where the input had room.
    if (drive && keep == 2 && inputLength > 2) {
        path[2] = '.';
        path[3] = '\0';
    }
}
