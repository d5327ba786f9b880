#include <windows.h>

#include "osal/thread.h"

int tlsAlloc(TlsKey *key) {
    if (key == nullptr)
        return OSAL_ERR_ARGUMENT;
    DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES)
        return OSAL_ERR_RESOURCE;
    *key = index;
    return OSAL_OK;
}

void *tlsGet(TlsKey key) { return TlsGetValue(key); }

int tlsSet(TlsKey key, void *value) { return TlsSetValue(key, value) ? 1 : 0; }

int tlsFree(TlsKey key) { return TlsFree(key) ? 1 : 0; }
