// What every tool-interface function does first: find its environment, refuse a disposed one
// (reported), check the phase and, where references are made, that the caller is attached.
#ifndef VMHOST_JVMTI_SUPPORT_H
#define VMHOST_JVMTI_SUPPORT_H

#include "vm.h"

namespace vm {

enum JvmtiFlags : unsigned {
    LiveOnly = 1,      // only in the live phase
    NeedsThread = 2,   // the calling thread must be attached (the function makes local references)
    OnLoadOrLive = 4,  // only in the OnLoad or the live phase
};

struct JvmtiEntry {
    JvmtiEntry(jvmtiEnv *env, const char *function, unsigned flags = 0);

    Vm *vm = nullptr;
    JvmtiState *state = nullptr;
    JavaThread *thread = nullptr; // the calling thread, or null
    const char *function;
    jvmtiError error = JVMTI_ERROR_NONE;

    bool ok() const { return error == JVMTI_ERROR_NONE; }
    void problem(const std::string &text) const { report(std::string(function) + ": " + text); }
    jobject local(Object *object) const { return newRef(*vm, *thread, object, RefKind::Local); }
    // Tool-interface memory lent to the caller, given back with Deallocate.
    jvmtiError allocate(size_t size, void **memory) const;
    char *copyText(const std::string &text, jvmtiError &result) const;
    // The thread a jthread names (null: the calling thread); `error` tells why there is none.
    JavaThread *javaThread(jthread ref, jvmtiError &result) const;
    Class *klass(jclass ref, jvmtiError &result) const;
    Method *method(jmethodID id, jvmtiError &result) const;
};

// Capabilities as four words, for set operations.
struct CapabilityWords {
    std::uint32_t words[4];
};
static_assert(sizeof(jvmtiCapabilities) == sizeof(CapabilityWords));
CapabilityWords wordsOf(const jvmtiCapabilities &capabilities);

void fillEnvironmentFunctions(jvmtiInterface_1_ &table);
void fillMonitorFunctions(jvmtiInterface_1_ &table);
void fillThreadFunctions(jvmtiInterface_1_ &table);
void fillClassFunctions(jvmtiInterface_1_ &table);

} // namespace vm

#endif
