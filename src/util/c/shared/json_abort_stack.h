// The per-thread stack of parses that jsonAbort can end: a thread-local slot allocated when the
// library loads, holding the innermost entry; entries live on the parsing function's stack.
#ifndef SARNIK_JSON_ABORT_STACK_H
#define SARNIK_JSON_ABORT_STACK_H

namespace sarnik {

struct AbortEntry {
    const void *owner; // whose entry this is: users of the stack pass over the others'
    AbortEntry *next;
    void *context;
};

// False when the platform has no thread-local slot left; the library must then not load.
bool abortStackStartup();
void abortStackShutdown();

// False when the slot could not be had.
bool abortStackPush(AbortEntry *entry);
void abortStackPop(AbortEntry *entry);
// The innermost entry of the owner on the calling thread, or null.
AbortEntry *abortStackFind(const void *owner);

} // namespace sarnik

#endif
