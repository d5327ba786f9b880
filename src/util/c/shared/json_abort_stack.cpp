#include "json_abort_stack.h"

#include <windows.h>

#include "osal/thread.h"

namespace sarnik {

namespace {

enum : LONG { keyNone = 0, keyMaking = 1, keyReady = 2 };

// Set up by the library's load; a copy linked into a program makes it on first use instead.
constinit volatile LONG keyState = keyNone;
constinit TlsKey key = 0;

bool ensureKey() {
    for (;;) {
        LONG state = InterlockedCompareExchange(&keyState, keyMaking, keyNone);
        if (state == keyReady)
            return true;
        if (state == keyNone) {
            bool made = tlsAlloc(&key) == OSAL_OK;
            InterlockedExchange(&keyState, made ? keyReady : keyNone);
            return made;
        }
        Sleep(0);
    }
}

} // namespace

bool abortStackStartup() { return ensureKey(); }

void abortStackShutdown() {
    if (InterlockedCompareExchange(&keyState, keyNone, keyReady) == keyReady)
        tlsFree(key);
}

bool abortStackPush(AbortEntry *entry) {
    if (!ensureKey())
        return false;
    entry->next = static_cast<AbortEntry *>(tlsGet(key));
    return tlsSet(key, entry) != 0;
}

// Entries above this one belong to parses that have already returned.
void abortStackPop(AbortEntry *entry) { tlsSet(key, entry->next); }

AbortEntry *abortStackFind(const void *owner) {
    if (keyState != keyReady)
        return nullptr;
    for (auto *entry = static_cast<AbortEntry *>(tlsGet(key)); entry != nullptr; entry = entry->next)
        if (entry->owner == owner)
            return entry;
    return nullptr;
}

} // namespace sarnik
