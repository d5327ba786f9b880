// Tool interface: environments, capabilities, event settings, storage and memory.
#include <cstdlib>
#include <cstring>

#include "jvmti_support.h"

namespace vm {
namespace {

const std::pair<jvmtiError, const char *> errorNames[] = {
    {JVMTI_ERROR_NONE, "JVMTI_ERROR_NONE"},
    {JVMTI_ERROR_INVALID_THREAD, "JVMTI_ERROR_INVALID_THREAD"},
    {JVMTI_ERROR_INVALID_THREAD_GROUP, "JVMTI_ERROR_INVALID_THREAD_GROUP"},
    {JVMTI_ERROR_INVALID_PRIORITY, "JVMTI_ERROR_INVALID_PRIORITY"},
    {JVMTI_ERROR_THREAD_NOT_SUSPENDED, "JVMTI_ERROR_THREAD_NOT_SUSPENDED"},
    {JVMTI_ERROR_THREAD_SUSPENDED, "JVMTI_ERROR_THREAD_SUSPENDED"},
    {JVMTI_ERROR_THREAD_NOT_ALIVE, "JVMTI_ERROR_THREAD_NOT_ALIVE"},
    {JVMTI_ERROR_INVALID_OBJECT, "JVMTI_ERROR_INVALID_OBJECT"},
    {JVMTI_ERROR_INVALID_CLASS, "JVMTI_ERROR_INVALID_CLASS"},
    {JVMTI_ERROR_CLASS_NOT_PREPARED, "JVMTI_ERROR_CLASS_NOT_PREPARED"},
    {JVMTI_ERROR_INVALID_METHODID, "JVMTI_ERROR_INVALID_METHODID"},
    {JVMTI_ERROR_INVALID_LOCATION, "JVMTI_ERROR_INVALID_LOCATION"},
    {JVMTI_ERROR_INVALID_FIELDID, "JVMTI_ERROR_INVALID_FIELDID"},
    {JVMTI_ERROR_INVALID_MODULE, "JVMTI_ERROR_INVALID_MODULE"},
    {JVMTI_ERROR_NO_MORE_FRAMES, "JVMTI_ERROR_NO_MORE_FRAMES"},
    {JVMTI_ERROR_OPAQUE_FRAME, "JVMTI_ERROR_OPAQUE_FRAME"},
    {JVMTI_ERROR_TYPE_MISMATCH, "JVMTI_ERROR_TYPE_MISMATCH"},
    {JVMTI_ERROR_INVALID_SLOT, "JVMTI_ERROR_INVALID_SLOT"},
    {JVMTI_ERROR_DUPLICATE, "JVMTI_ERROR_DUPLICATE"},
    {JVMTI_ERROR_NOT_FOUND, "JVMTI_ERROR_NOT_FOUND"},
    {JVMTI_ERROR_INVALID_MONITOR, "JVMTI_ERROR_INVALID_MONITOR"},
    {JVMTI_ERROR_NOT_MONITOR_OWNER, "JVMTI_ERROR_NOT_MONITOR_OWNER"},
    {JVMTI_ERROR_INTERRUPT, "JVMTI_ERROR_INTERRUPT"},
    {JVMTI_ERROR_INVALID_CLASS_FORMAT, "JVMTI_ERROR_INVALID_CLASS_FORMAT"},
    {JVMTI_ERROR_CIRCULAR_CLASS_DEFINITION, "JVMTI_ERROR_CIRCULAR_CLASS_DEFINITION"},
    {JVMTI_ERROR_FAILS_VERIFICATION, "JVMTI_ERROR_FAILS_VERIFICATION"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_METHOD_ADDED, "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_METHOD_ADDED"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_SCHEMA_CHANGED, "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_SCHEMA_CHANGED"},
    {JVMTI_ERROR_INVALID_TYPESTATE, "JVMTI_ERROR_INVALID_TYPESTATE"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_HIERARCHY_CHANGED, "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_HIERARCHY_CHANGED"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_METHOD_DELETED, "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_METHOD_DELETED"},
    {JVMTI_ERROR_UNSUPPORTED_VERSION, "JVMTI_ERROR_UNSUPPORTED_VERSION"},
    {JVMTI_ERROR_NAMES_DONT_MATCH, "JVMTI_ERROR_NAMES_DONT_MATCH"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_CLASS_MODIFIERS_CHANGED,
     "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_CLASS_MODIFIERS_CHANGED"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_METHOD_MODIFIERS_CHANGED,
     "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_METHOD_MODIFIERS_CHANGED"},
    {JVMTI_ERROR_UNSUPPORTED_REDEFINITION_CLASS_ATTRIBUTE_CHANGED,
     "JVMTI_ERROR_UNSUPPORTED_REDEFINITION_CLASS_ATTRIBUTE_CHANGED"},
    {JVMTI_ERROR_UNMODIFIABLE_CLASS, "JVMTI_ERROR_UNMODIFIABLE_CLASS"},
    {JVMTI_ERROR_UNMODIFIABLE_MODULE, "JVMTI_ERROR_UNMODIFIABLE_MODULE"},
    {JVMTI_ERROR_NOT_AVAILABLE, "JVMTI_ERROR_NOT_AVAILABLE"},
    {JVMTI_ERROR_MUST_POSSESS_CAPABILITY, "JVMTI_ERROR_MUST_POSSESS_CAPABILITY"},
    {JVMTI_ERROR_NULL_POINTER, "JVMTI_ERROR_NULL_POINTER"},
    {JVMTI_ERROR_ABSENT_INFORMATION, "JVMTI_ERROR_ABSENT_INFORMATION"},
    {JVMTI_ERROR_INVALID_EVENT_TYPE, "JVMTI_ERROR_INVALID_EVENT_TYPE"},
    {JVMTI_ERROR_ILLEGAL_ARGUMENT, "JVMTI_ERROR_ILLEGAL_ARGUMENT"},
    {JVMTI_ERROR_NATIVE_METHOD, "JVMTI_ERROR_NATIVE_METHOD"},
    {JVMTI_ERROR_CLASS_LOADER_UNSUPPORTED, "JVMTI_ERROR_CLASS_LOADER_UNSUPPORTED"},
    {JVMTI_ERROR_OUT_OF_MEMORY, "JVMTI_ERROR_OUT_OF_MEMORY"},
    {JVMTI_ERROR_ACCESS_DENIED, "JVMTI_ERROR_ACCESS_DENIED"},
    {JVMTI_ERROR_WRONG_PHASE, "JVMTI_ERROR_WRONG_PHASE"},
    {JVMTI_ERROR_INTERNAL, "JVMTI_ERROR_INTERNAL"},
    {JVMTI_ERROR_UNATTACHED_THREAD, "JVMTI_ERROR_UNATTACHED_THREAD"},
    {JVMTI_ERROR_INVALID_ENVIRONMENT, "JVMTI_ERROR_INVALID_ENVIRONMENT"},
};

jvmtiError JNICALL GetVersionNumber(jvmtiEnv *env, jint *version) noexcept {
    JvmtiEntry e(env, "GetVersionNumber");
    if (!e.ok())
        return e.error;
    if (version == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    *version = JVMTI_VERSION_1_0;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetEnvironmentLocalStorage(jvmtiEnv *env, void **data) noexcept {
    JvmtiEntry e(env, "GetEnvironmentLocalStorage");
    if (!e.ok())
        return e.error;
    if (data == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    *data = e.state->localStorage;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL SetEnvironmentLocalStorage(jvmtiEnv *env, const void *data) noexcept {
    JvmtiEntry e(env, "SetEnvironmentLocalStorage");
    if (!e.ok())
        return e.error;
    e.state->localStorage = const_cast<void *>(data);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetThreadLocalStorage(jvmtiEnv *env, jthread thread, void **data) noexcept {
    JvmtiEntry e(env, "GetThreadLocalStorage", LiveOnly);
    if (!e.ok())
        return e.error;
    if (data == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    JavaThread *target = e.javaThread(thread, error);
    if (error != JVMTI_ERROR_NONE)
        return error;
    std::lock_guard guard(e.vm->lock);
    auto found = target->jvmtiLocal.find(e.state);
    *data = found != target->jvmtiLocal.end() ? found->second : nullptr;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL SetThreadLocalStorage(jvmtiEnv *env, jthread thread, const void *data) noexcept {
    JvmtiEntry e(env, "SetThreadLocalStorage", LiveOnly);
    if (!e.ok())
        return e.error;
    jvmtiError error;
    JavaThread *target = e.javaThread(thread, error);
    if (error != JVMTI_ERROR_NONE)
        return error;
    std::lock_guard guard(e.vm->lock);
    target->jvmtiLocal[e.state] = const_cast<void *>(data);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetPotentialCapabilities(jvmtiEnv *env, jvmtiCapabilities *capabilities) noexcept {
    JvmtiEntry e(env, "GetPotentialCapabilities", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    if (capabilities == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    *capabilities = e.vm->potential;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetCapabilities(jvmtiEnv *env, jvmtiCapabilities *capabilities) noexcept {
    JvmtiEntry e(env, "GetCapabilities");
    if (!e.ok())
        return e.error;
    if (capabilities == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    *capabilities = e.state->capabilities;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL AddCapabilities(jvmtiEnv *env, const jvmtiCapabilities *capabilities) noexcept {
    JvmtiEntry e(env, "AddCapabilities", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    if (capabilities == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    CapabilityWords wanted = wordsOf(*capabilities);
    CapabilityWords potential = wordsOf(e.vm->potential);
    CapabilityWords held = wordsOf(e.state->capabilities);
    for (int i = 0; i < 4; ++i) {
        if ((wanted.words[i] & ~potential.words[i]) != 0)
            return JVMTI_ERROR_NOT_AVAILABLE;
        held.words[i] |= wanted.words[i];
    }
    memcpy(&e.state->capabilities, &held, sizeof held);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL RelinquishCapabilities(jvmtiEnv *env, const jvmtiCapabilities *capabilities) noexcept {
    JvmtiEntry e(env, "RelinquishCapabilities", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    if (capabilities == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    CapabilityWords dropped = wordsOf(*capabilities);
    CapabilityWords held = wordsOf(e.state->capabilities);
    for (int i = 0; i < 4; ++i)
        held.words[i] &= ~dropped.words[i];
    memcpy(&e.state->capabilities, &held, sizeof held);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL SetEventCallbacks(jvmtiEnv *env, const jvmtiEventCallbacks *callbacks, jint size) noexcept {
    JvmtiEntry e(env, "SetEventCallbacks", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    if (size < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    jvmtiEventCallbacks copy{};
    if (callbacks != nullptr)
        memcpy(&copy, callbacks, std::min<size_t>(size, sizeof copy));
    std::lock_guard guard(e.vm->lock);
    e.state->callbacks = copy;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL SetEventNotificationMode(jvmtiEnv *env, jvmtiEventMode mode, jvmtiEvent event, jthread thread,
                                            ...) noexcept {
    JvmtiEntry e(env, "SetEventNotificationMode", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    if (event < JVMTI_MIN_EVENT_TYPE_VAL || event > JVMTI_MAX_EVENT_TYPE_VAL)
        return JVMTI_ERROR_INVALID_EVENT_TYPE;
    if (mode != JVMTI_ENABLE && mode != JVMTI_DISABLE)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    if (thread != nullptr) {
        e.problem("events enabled for one thread are not supported by this VM");
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    }
    const jvmtiCapabilities &held = e.state->capabilities;
    if (mode == JVMTI_ENABLE &&
        (((event == JVMTI_EVENT_GARBAGE_COLLECTION_START || event == JVMTI_EVENT_GARBAGE_COLLECTION_FINISH) &&
          !held.can_generate_garbage_collection_events) ||
         (event == JVMTI_EVENT_COMPILED_METHOD_LOAD && !held.can_generate_compiled_method_load_events)))
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    std::lock_guard guard(e.vm->lock);
    if (mode == JVMTI_ENABLE)
        e.state->enabled.insert(event);
    else
        e.state->enabled.erase(event);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL DisposeEnvironment(jvmtiEnv *env) noexcept {
    JvmtiEntry e(env, "DisposeEnvironment");
    if (!e.ok())
        return e.error;
    std::lock_guard guard(e.vm->lock);
    e.state->disposed = true;
    e.state->capabilities = jvmtiCapabilities{};
    e.state->callbacks = jvmtiEventCallbacks{};
    e.state->enabled.clear();
    e.state->localStorage = nullptr;
    for (auto &thread : e.vm->threads)
        thread->jvmtiLocal.erase(e.state);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetErrorName(jvmtiEnv *env, jvmtiError error, char **name) noexcept {
    JvmtiEntry e(env, "GetErrorName");
    if (!e.ok())
        return e.error;
    if (name == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    for (const auto &[code, text] : errorNames) {
        if (code == error) {
            jvmtiError result;
            *name = e.copyText(text, result);
            return result;
        }
    }
    *name = nullptr;
    return JVMTI_ERROR_ILLEGAL_ARGUMENT;
}

jvmtiError JNICALL Allocate(jvmtiEnv *env, jlong size, unsigned char **memory) noexcept {
    JvmtiEntry e(env, "Allocate");
    if (!e.ok())
        return e.error;
    if (size < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    if (size > 0x7FFFFFFF)
        return JVMTI_ERROR_OUT_OF_MEMORY;
    return e.allocate(static_cast<size_t>(size), reinterpret_cast<void **>(memory));
}

jvmtiError JNICALL Deallocate(jvmtiEnv *env, unsigned char *memory) noexcept {
    JvmtiEntry e(env, "Deallocate");
    if (!e.ok())
        return e.error;
    if (memory == nullptr)
        return JVMTI_ERROR_NONE;
    std::lock_guard guard(e.vm->lock);
    auto found = e.vm->loans.find(memory);
    if (found == e.vm->loans.end() || found->second.what != "JVMTI memory") {
        e.problem("the memory was not allocated by the tool interface or was deallocated already");
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    }
    e.vm->loans.erase(found);
    free(memory);
    return JVMTI_ERROR_NONE;
}

} // namespace

void defaultCapabilities(jvmtiCapabilities &c) {
    c = jvmtiCapabilities{};
    c.can_get_owned_monitor_info = 1;
    c.can_get_current_contended_monitor = 1;
    c.can_get_monitor_info = 1;
    c.can_redefine_classes = 1;
    c.can_get_source_file_name = 1;
    c.can_get_line_numbers = 1;
    c.can_suspend = 1;
    c.can_redefine_any_class = 1;
    c.can_generate_all_class_hook_events = 1;
    c.can_generate_compiled_method_load_events = 1;
    c.can_generate_garbage_collection_events = 1;
    c.can_get_owned_monitor_stack_depth_info = 1;
    c.can_retransform_classes = 1;
    c.can_retransform_any_class = 1;
}

JvmtiState *newJvmtiEnv(Vm &vm, JavaThread *thread) {
    auto state = std::make_unique<JvmtiState>();
    state->env.functions = jvmtiTable();
    state->origin = thread != nullptr ? where(*thread) : "thread " + std::to_string(GetCurrentThreadId());
    JvmtiState *raw = state.get();
    std::lock_guard guard(vm.lock);
    state->serial = ++vm.serial;
    vm.jvmtiEnvs.push_back(std::move(state));
    return raw;
}

void fillEnvironmentFunctions(jvmtiInterface_1_ &t) {
    t.GetVersionNumber = GetVersionNumber;
    t.GetEnvironmentLocalStorage = GetEnvironmentLocalStorage;
    t.SetEnvironmentLocalStorage = SetEnvironmentLocalStorage;
    t.GetThreadLocalStorage = GetThreadLocalStorage;
    t.SetThreadLocalStorage = SetThreadLocalStorage;
    t.GetPotentialCapabilities = GetPotentialCapabilities;
    t.GetCapabilities = GetCapabilities;
    t.AddCapabilities = AddCapabilities;
    t.RelinquishCapabilities = RelinquishCapabilities;
    t.SetEventCallbacks = SetEventCallbacks;
    t.SetEventNotificationMode = SetEventNotificationMode;
    t.DisposeEnvironment = DisposeEnvironment;
    t.GetErrorName = GetErrorName;
    t.Allocate = Allocate;
    t.Deallocate = Deallocate;
}

} // namespace vm
