#include <windows.h>

#include "../../shared/path_normalize.h"
#include "osal/fio.h"

namespace {

int isAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) ? 1 : 0; }

} // namespace

void fio_normalize_path(char *path) { osalNormalizePath(path, isAnsiLeadByte); }
