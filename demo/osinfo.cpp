// Loads the OS layer as the VM would and prints what it reports about this machine.
#include <windows.h>

#include <stdio.h>

#include "osal/os_error.h"
#include "osal/sharedlib.h"

int main() {
    char path[MAX_PATH];
    if (sharedLibGetDLLPath(path, sizeof path, reinterpret_cast<const void *>(&sharedlibLoad)) == 0)
        printf("OS layer:        %s\n", path);
    char text[256];
    osGetErrorString(ERROR_FILE_NOT_FOUND, text, sizeof text);
    printf("Error 2:         %s\n", text);
    osGetErrorString(10061, text, sizeof text);
    printf("Error 10061:     %s\n", text);
    return 0;
}
