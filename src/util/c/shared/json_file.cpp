#include "osal/fio.h"
#include "osal/mspace.h"
#include "sarnik/bounded_print.h"
#include "sarnik/json_reader.h"
#include "sarnik/scaledown.h"

int jsonParseFile(const char *path, JsonCallback callback, void *userData, char *errorBuffer, size_t errorSize) {
    if (errorBuffer == nullptr || errorSize == 0)
        return -1;
    const char *shown = path != nullptr ? path : "";
    FioHandle file = path != nullptr ? fio_open(path, FIO_READ_ONLY | FIO_OPEN_EXISTING) : FIO_INVALID_HANDLE;
    if (file == FIO_INVALID_HANDLE) {
        vantrel_util_snprintf(errorBuffer, errorSize, "Could not open %s", shown);
        return -1;
    }
    int64_t size = fio_fdsize(file);
    if (size < 0) {
        fio_close(file);
        vantrel_util_snprintf(errorBuffer, errorSize, "Could not read %s", shown);
        return -1;
    }
    if (size >= (int64_t{1} << 31)) {
        fio_close(file);
        vantrel_util_snprintf(errorBuffer, errorSize, "Too large file: %s", shown);
        return -1;
    }
    size_t length = static_cast<size_t>(size);
    char *text = static_cast<char *>(gsMalloc(length + 1));
    if (text == nullptr) {
        fio_close(file);
        vantrel_util_snprintf(errorBuffer, errorSize, "Could not allocate %Iu%sB bytes", scaledownSize(length),
                              scaledDownSizeSuffix(length));
        return -1;
    }
    intptr_t read = fio_read_fully(file, text, length);
    fio_close(file);
    if (read < 0 || static_cast<size_t>(read) < length) {
        gsFree(text);
        vantrel_util_snprintf(errorBuffer, errorSize, "Could not read %s", shown);
        return -1;
    }
    text[length] = '\0';
    int result = jsonParse(text, callback, userData, errorBuffer, errorSize);
    gsFree(text);
    return result;
}
