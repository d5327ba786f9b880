#include <windows.h>

#include <errno.h>
#include <string.h>

#include "osal/os_error.h"

namespace {

struct SocketText {
    unsigned first;
    unsigned last;
    const char *text;
};

// The socket layer's codes are not in the system's message table.
constexpr SocketText socketTexts[] = {
    {10014, 10014, "argp parameter not part of user address space"},
    {10022, 10022, "Connection aborted by peer"},
    {10036, 10036, "blocking winsock call in progress"},
    {10038, 10038, "Descriptor not a socket"},
    {10041, 10041, "Invalid protocol type"},
    {10042, 10047, "Option unsupported by protocol."},
    {10048, 10048, "Address in use"},
    {10049, 10049, "Cannot assign requested address"},
    {10050, 10050, "network subsystem has failed"},
    {10051, 10051, "Network unreachable"},
    {10052, 10052, "Network reset"},
    {10053, 10053, "Connection aborted by peer"},
    {10054, 10054, "Connection reset by peer."},
    {10055, 10055, "Insufficient buffer space"},
    {10056, 10056, "Already connected"},
    {10057, 10057, "Not connected"},
    {10058, 10058, "Connection shutdown"},
    {10060, 10060, "Operation timed out"},
    {10061, 10061, "Connection refused"},
    {10064, 10064, "Host down"},
    {10065, 10065, "Host unreachable"},
    {10093, 10093, "net dll not initialized (WSAStartup)"},
};

const char *socketText(unsigned code) {
    for (const SocketText &entry : socketTexts)
        if (code >= entry.first && code <= entry.last)
            return entry.text;
    return nullptr;
}

void dropTrailing(char *text, int &length, char c) {
    if (length > 0 && text[length - 1] == c)
        text[--length] = '\0';
}

} // namespace

int osGetErrorString(unsigned int code, char *buffer, int size) {
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = '\0';
    if (code >= 10000 && code <= 10112) {
        const char *text = socketText(code);
        if (text == nullptr)
            return 0;
        int length = static_cast<int>(strlen(text));
        if (length > size - 1)
            length = size - 1;
        memcpy(buffer, text, length);
        buffer[length] = '\0';
        return length;
    }
    char message[2048];
    DWORD written = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), message, sizeof message, nullptr);
    if (written == 0)
        return 0;
    // A caller's short buffer gets the text cut, not a failure.
    int length = static_cast<int>(written < static_cast<DWORD>(size) ? written : size - 1);
    memcpy(buffer, message, length);
    buffer[length] = '\0';
    if (length >= 4) {
        dropTrailing(buffer, length, '\n');
        dropTrailing(buffer, length, '\r');
        dropTrailing(buffer, length, '.');
    }
    return length;
}

int osGetLastError(void) {
    DWORD code = GetLastError();
    return code != 0 ? static_cast<int>(code) : errno;
}

void osSetLastError(int code) { SetLastError(static_cast<DWORD>(code)); }

int osGetLastErrorString(char *buffer, int size) {
    int code = osGetLastError();
    if (code == 0) {
        if (buffer != nullptr && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    int length = osGetErrorString(static_cast<unsigned>(code), buffer, size);
    SetLastError(static_cast<DWORD>(code));
    return length;
}
