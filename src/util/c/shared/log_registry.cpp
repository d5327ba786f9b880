#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "sarnik/log_api.h"

namespace {

// tovane registers while it is itself loading, which can be before this library's own
// initialisers ran: everything on this path is constant-initialised.
constinit Logger *volatile registeredLoggers = nullptr;
constinit volatile LONG registeredModules = 0;

constexpr int lineRoom = 1125;

} // namespace

extern "C" void _log_add_logger(Logger *logger) {
    if (logger == nullptr)
        return;
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 0; i < logger->moduleCount; ++i)
        logger->modules[i].stream = reinterpret_cast<intptr_t>(standardError);
    InterlockedExchangeAdd(&registeredModules, logger->moduleCount);
    Logger *head;
    do {
        head = registeredLoggers;
        logger->next = head;
    } while (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile *>(&registeredLoggers), logger,
                                               head) != head);
}

extern "C" void _logforceprintv(Logger *logger, int module, int level, const char *format, va_list args) {
    (void)level;
    DWORD savedError = GetLastError();
    char line[lineRoom];
    int length = 0;
    if (format != nullptr) {
        length = vsnprintf(line, sizeof line, format, args);
        if (length < 0 || length >= static_cast<int>(sizeof line))
            length = static_cast<int>(strlen(line));
    }
    HANDLE stream = GetStdHandle(STD_ERROR_HANDLE);
    if (logger != nullptr && module >= 0 && module < logger->moduleCount && logger->modules[module].stream != 0 &&
        logger->modules[module].stream != -1)
        stream = reinterpret_cast<HANDLE>(logger->modules[module].stream);
    DWORD written = 0;
    if (length > 0)
        WriteFile(stream, line, static_cast<DWORD>(length), &written, nullptr);
    SetLastError(savedError);
}

