#include "jvmti_support.h"

#include <cstdlib>
#include <cstring>

namespace vm {

JvmtiEntry::JvmtiEntry(jvmtiEnv *env, const char *function, unsigned flags) : function(function) {
    vm = currentVm();
    if (vm == nullptr || env == nullptr) {
        report(std::string(function) + (vm == nullptr ? " was called while no VM runs" : " was called without an environment"));
        error = JVMTI_ERROR_INVALID_ENVIRONMENT;
        return;
    }
    enterVm(*vm, function, Entry::Tool);
    auto *candidate = reinterpret_cast<JvmtiState *>(env);
    std::lock_guard guard(vm->lock);
    for (auto &known : vm->jvmtiEnvs)
        if (known.get() == candidate)
            state = candidate;
    if (state == nullptr) {
        report(std::string(function) + " was called with an environment this VM did not hand out");
        error = JVMTI_ERROR_INVALID_ENVIRONMENT;
        return;
    }
    auto found = vm->attached.find(GetCurrentThreadId());
    thread = found != vm->attached.end() ? found->second : nullptr;
    if (state->disposed) {
        error = JVMTI_ERROR_INVALID_ENVIRONMENT;
        if (state->inCallbacks.count(GetCurrentThreadId()) != 0)
            return;
        report(std::string(function) + " was called on a disposed environment" +
               (thread != nullptr ? " in " + where(*thread) : std::string()));
        return;
    }
    jint failure = JVMTI_ERROR_NONE;
    if (callFails(*vm, function, failure))
        error = static_cast<jvmtiError>(failure);
    else if ((flags & LiveOnly) != 0 && vm->phase != JVMTI_PHASE_LIVE)
        error = JVMTI_ERROR_WRONG_PHASE;
    else if ((flags & OnLoadOrLive) != 0 && vm->phase != JVMTI_PHASE_LIVE && vm->phase != JVMTI_PHASE_ONLOAD)
        error = JVMTI_ERROR_WRONG_PHASE;
    else if ((flags & NeedsThread) != 0 && thread == nullptr)
        error = JVMTI_ERROR_UNATTACHED_THREAD;
}

jvmtiError JvmtiEntry::allocate(size_t size, void **memory) const {
    if (memory == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    *memory = nullptr;
    if (size == 0)
        return JVMTI_ERROR_NONE;
    void *block = malloc(size);
    if (block == nullptr)
        return JVMTI_ERROR_OUT_OF_MEMORY;
    Loan loan;
    loan.what = "JVMTI memory";
    loan.origin = std::string(function) + (thread != nullptr ? " in " + where(*thread) : std::string());
    loan.size = size;
    std::lock_guard guard(vm->lock);
    loan.serial = ++vm->serial;
    vm->loans[block] = loan;
    *memory = block;
    return JVMTI_ERROR_NONE;
}

char *JvmtiEntry::copyText(const std::string &text, jvmtiError &result) const {
    void *memory = nullptr;
    result = allocate(text.size() + 1, &memory);
    if (memory != nullptr)
        memcpy(memory, text.c_str(), text.size() + 1);
    return static_cast<char *>(memory);
}

JavaThread *JvmtiEntry::javaThread(jthread ref, jvmtiError &result) const {
    result = JVMTI_ERROR_NONE;
    if (ref == nullptr) {
        if (thread == nullptr)
            result = JVMTI_ERROR_UNATTACHED_THREAD;
        return thread;
    }
    if (thread == nullptr) {
        result = JVMTI_ERROR_UNATTACHED_THREAD;
        return nullptr;
    }
    bool valid = true;
    Object *object = resolve(*vm, *thread, ref, function, &valid);
    if (!valid || !isInstance(object, vm->threadClass)) {
        result = JVMTI_ERROR_INVALID_THREAD;
        return nullptr;
    }
    JavaThread *found = threadOf(*vm, object);
    if (found == nullptr || (threadState(*found) & JVMTI_THREAD_STATE_ALIVE) == 0)
        result = JVMTI_ERROR_THREAD_NOT_ALIVE;
    return found;
}

Class *JvmtiEntry::klass(jclass ref, jvmtiError &result) const {
    result = JVMTI_ERROR_NONE;
    if (thread == nullptr) {
        result = JVMTI_ERROR_UNATTACHED_THREAD;
        return nullptr;
    }
    bool valid = true;
    Object *object = resolve(*vm, *thread, ref, function, &valid);
    if (!valid || object == nullptr || object->kind != Kind::Class) {
        result = JVMTI_ERROR_INVALID_CLASS;
        return nullptr;
    }
    return static_cast<Class *>(object);
}

Method *JvmtiEntry::method(jmethodID id, jvmtiError &result) const {
    auto *method = reinterpret_cast<Method *>(id);
    std::lock_guard guard(vm->lock);
    result = vm->methodIds.count(method) != 0 ? JVMTI_ERROR_NONE : JVMTI_ERROR_INVALID_METHODID;
    return result == JVMTI_ERROR_NONE ? method : nullptr;
}

bool callFails(Vm &vm, const char *function, jint &error) {
    std::lock_guard guard(vm.lock);
    auto found = vm.failingCalls.find(function);
    if (found == vm.failingCalls.end())
        return false;
    error = found->second.first;
    if (found->second.second)
        vm.failingCalls.erase(found);
    return true;
}

CapabilityWords wordsOf(const jvmtiCapabilities &capabilities) {
    CapabilityWords words;
    memcpy(&words, &capabilities, sizeof words);
    return words;
}

} // namespace vm
