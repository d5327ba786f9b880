#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "../../shared/osal_log.h"
#include "../../shared/sharedlib_core.h"
#include "osal/os_error.h"

namespace {

void copyText(char *buffer, int size, const char *text) {
    if (buffer == nullptr || size <= 0)
        return;
    snprintf(buffer, size, "%s", text);
}

void *loaded(HMODULE module, const char *name) {
    OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_LIBRARY, "Loaded native library: %s\n", name);
    return module;
}

// Loads name from the directory of the module that holds address; attempted tells whether the
// load itself was tried.
HMODULE loadBeside(const void *address, const char *name, DWORD flags, bool *attempted) {
    HMODULE owner = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCSTR>(address), &owner))
        return nullptr;
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(owner, path, MAX_PATH);
    FreeLibrary(owner);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    path[length] = '\0';
    char *slash = strrchr(path, '\\');
    size_t directory = slash ? static_cast<size_t>(slash - path + 1) : 0;
    if (directory + strlen(name) >= sizeof path)
        return nullptr;
    strcpy(path + directory, name);
    *attempted = true;
    return LoadLibraryExA(path, nullptr, flags);
}

} // namespace

void *osalLoadLibraryCore(int alteredSearchPath, const void *address, const char *name, char *errorBuffer,
                          int errorSize, int skipPlain) {
    DWORD flags = alteredSearchPath ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    bool attempted = false;
    if (name != nullptr && !skipPlain) {
        attempted = true;
        if (HMODULE module = LoadLibraryExA(name, nullptr, flags))
            return loaded(module, name);
    }
    if (name != nullptr && address != nullptr && osalIsBareLibraryName(name)) {
        if (HMODULE module = loadBeside(address, name, flags, &attempted))
            return loaded(module, name);
    }
    // Without a load to blame, the library simply wasn't found.
    DWORD code = attempted ? GetLastError() : ERROR_MOD_NOT_FOUND;
    char text[256];
    if (code == ERROR_MOD_NOT_FOUND)
        copyText(text, sizeof text, "Can't find dependent libraries");
    else
        osGetErrorString(code, text, sizeof text);
    OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_LIBRARY, "Failed to load native library: %s: %s\n", name ? name : "", text);
    copyText(errorBuffer, errorSize, text);
    return nullptr;
}

void *sharedlibLoad(const char *name, char *errorBuffer, int errorSize) {
    return osalLoadLibraryCore(false, nullptr, name, errorBuffer, errorSize, false);
}

void *sharedlibLoadEx(const char *name, char *errorBuffer, int errorSize) {
    return osalLoadLibraryCore(true, __builtin_return_address(0), name, errorBuffer, errorSize, true);
}

void *sharedlibSystemLoad(const char *fileName, char *errorBuffer, int errorSize) {
    if (fileName == nullptr)
        fileName = "";
    char path[MAX_PATH];
    char directory[MAX_PATH];
    UINT(WINAPI *const directories[])(LPSTR, UINT) = {GetSystemDirectoryA, GetWindowsDirectoryA};
    for (auto directoryOf : directories) {
        UINT length = directoryOf(directory, sizeof directory);
        if (length == 0 || length >= sizeof directory)
            continue;
        snprintf(path, sizeof path, "%s\\%s", directory, fileName);
        if (HMODULE module = LoadLibraryA(path))
            return module;
    }
    if (errorBuffer != nullptr && errorSize > 0)
        snprintf(errorBuffer, errorSize, "Cannot load %s from system directories.", fileName);
    return nullptr;
}

int sharedlibUnload(void *handle) { return handle != nullptr && FreeLibrary(static_cast<HMODULE>(handle)) ? 1 : 0; }

void *sharedlibFindEntry(void *handle, const char *entryName) {
    // A null handle would search the program itself.
    if (handle == nullptr || entryName == nullptr)
        return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle), entryName));
}

int sharedLibGetDLLPath(char *buffer, int size, const void *address) {
    HMODULE module = nullptr;
    if (buffer == nullptr || size <= 0 ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return OSAL_ERR;
    DWORD length = GetModuleFileNameA(module, buffer, static_cast<DWORD>(size));
    if (length == 0 || length >= static_cast<DWORD>(size)) {
        buffer[size - 1] = '\0';
        return OSAL_ERR;
    }
    return OSAL_OK;
}
