#include <string.h>

#include "osal/osal_assert.h"
#include "sharedlib_core.h"

int osalIsBareLibraryName(const char *name) {
    if (strchr(name, '\\') != nullptr || strchr(name, ';') != nullptr)
        return 0;
    size_t length = strlen(name);
    return !(length >= 4 && _stricmp(name + length - 4, ".dll") == 0);
}

int sharedlibMapLibraryName(const char *name, char *buffer, int size) {
    if (size <= 0 || name == nullptr || buffer == nullptr)
        return OSAL_ERR_ARGUMENT;
    size_t length = strlen(name);
    if (!osalIsBareLibraryName(name)) {
        if (length >= static_cast<size_t>(size)) {
            memcpy(buffer, name, size - 1);
            buffer[size - 1] = '\0';
            return OSAL_ERR;
        }
        memcpy(buffer, name, length + 1);
        return OSAL_OK;
    }
    size_t required = length + 5;
    if (required > static_cast<size_t>(size))
        return OSAL_ERR;
    memcpy(buffer, name, length);
    memcpy(buffer + length, ".dll", 5);
    if (buffer[required - 1] != '\0')
        assertReport("buf[req-1] == '\\0'", __FILE__, __LINE__, "sharedlibMapLibraryName", nullptr);
    return OSAL_OK;
}
