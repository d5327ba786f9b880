// Events the VM posts to the environments that enabled them; callbacks run outside the VM lock.
#include <cstdlib>
#include <cstring>

#include "vm.h"

namespace vm {
namespace {

// The callback an environment set for an event, as a plain pointer.
void *callbackOf(const jvmtiEventCallbacks &callbacks, jvmtiEvent event) {
    switch (event) {
    case JVMTI_EVENT_VM_INIT: return reinterpret_cast<void *>(callbacks.VMInit);
    case JVMTI_EVENT_VM_DEATH: return reinterpret_cast<void *>(callbacks.VMDeath);
    case JVMTI_EVENT_VM_START: return reinterpret_cast<void *>(callbacks.VMStart);
    case JVMTI_EVENT_THREAD_START: return reinterpret_cast<void *>(callbacks.ThreadStart);
    case JVMTI_EVENT_THREAD_END: return reinterpret_cast<void *>(callbacks.ThreadEnd);
    case JVMTI_EVENT_CLASS_FILE_LOAD_HOOK: return reinterpret_cast<void *>(callbacks.ClassFileLoadHook);
    case JVMTI_EVENT_CLASS_LOAD: return reinterpret_cast<void *>(callbacks.ClassLoad);
    case JVMTI_EVENT_COMPILED_METHOD_LOAD: return reinterpret_cast<void *>(callbacks.CompiledMethodLoad);
    case JVMTI_EVENT_GARBAGE_COLLECTION_START: return reinterpret_cast<void *>(callbacks.GarbageCollectionStart);
    case JVMTI_EVENT_GARBAGE_COLLECTION_FINISH: return reinterpret_cast<void *>(callbacks.GarbageCollectionFinish);
    default: return nullptr;
    }
}

// Marks the calling thread as inside a callback of the environment.
class InCallback {
public:
    InCallback(Vm &vm, JvmtiState *state) : vm_(vm), state_(state) {
        std::lock_guard guard(vm_.lock);
        state_->inCallbacks.insert(GetCurrentThreadId());
    }
    ~InCallback() {
        std::lock_guard guard(vm_.lock);
        state_->inCallbacks.erase(state_->inCallbacks.find(GetCurrentThreadId()));
    }
    InCallback(const InCallback &) = delete;
    InCallback &operator=(const InCallback &) = delete;

private:
    Vm &vm_;
    JvmtiState *state_;
};

// Runs `post` for each listener with a local frame for the references it is given.
template <typename Post> void postToAll(Vm &vm, JavaThread *thread, jvmtiEvent event, const char *name, Post post) {
    for (const Listener &listener : listeners(vm, event)) {
        InCallback inCallback(vm, listener.state);
        if (thread == nullptr) {
            post(listener.state, listener.callback);
            continue;
        }
        pushLocalFrame(vm, *thread, nullptr);
        {
            Activity activity(*thread, std::string("the ") + name + " callback");
            post(listener.state, listener.callback);
        }
        popLocalFrame(vm, *thread);
    }
}

} // namespace

std::vector<Listener> listeners(Vm &vm, jvmtiEvent event) {
    std::vector<Listener> found;
    std::lock_guard guard(vm.lock);
    for (auto &state : vm.jvmtiEnvs) {
        void *callback = callbackOf(state->callbacks, event);
        if (!state->disposed && state->enabled.count(event) != 0 && callback != nullptr)
            found.push_back({state.get(), callback});
    }
    return found;
}

void postVmInit(Vm &vm, JavaThread &thread) {
    {
        std::lock_guard guard(vm.lock);
        vm.phase = JVMTI_PHASE_START;
    }
    postToAll(vm, &thread, JVMTI_EVENT_VM_START, "VMStart", [&](JvmtiState *state, void *callback) {
        reinterpret_cast<jvmtiEventVMStart>(callback)(&state->env, &thread.jni.env);
    });
    {
        std::lock_guard guard(vm.lock);
        vm.phase = JVMTI_PHASE_LIVE;
    }
    postToAll(vm, &thread, JVMTI_EVENT_VM_INIT, "VMInit", [&](JvmtiState *state, void *callback) {
        jthread self = newRef(vm, thread, thread.threadObject, RefKind::Local);
        reinterpret_cast<jvmtiEventVMInit>(callback)(&state->env, &thread.jni.env, self);
    });
}

void postVmDeath(Vm &vm, JavaThread &thread) {
    postToAll(vm, &thread, JVMTI_EVENT_VM_DEATH, "VMDeath", [&](JvmtiState *state, void *callback) {
        reinterpret_cast<jvmtiEventVMDeath>(callback)(&state->env, &thread.jni.env);
    });
}

void postThreadStart(Vm &vm, JavaThread &thread) {
    if (vm.phase != JVMTI_PHASE_LIVE)
        return;
    postToAll(vm, &thread, JVMTI_EVENT_THREAD_START, "ThreadStart", [&](JvmtiState *state, void *callback) {
        jthread self = newRef(vm, thread, thread.threadObject, RefKind::Local);
        reinterpret_cast<jvmtiEventThreadStart>(callback)(&state->env, &thread.jni.env, self);
    });
}

void postThreadEnd(Vm &vm, JavaThread &thread) {
    if (vm.phase != JVMTI_PHASE_LIVE)
        return;
    postToAll(vm, &thread, JVMTI_EVENT_THREAD_END, "ThreadEnd", [&](JvmtiState *state, void *callback) {
        jthread self = newRef(vm, thread, thread.threadObject, RefKind::Local);
        reinterpret_cast<jvmtiEventThreadEnd>(callback)(&state->env, &thread.jni.env, self);
    });
}

void postClassLoad(Vm &vm, JavaThread &thread, Class *klass) {
    postToAll(vm, &thread, JVMTI_EVENT_CLASS_LOAD, "ClassLoad", [&](JvmtiState *state, void *callback) {
        jthread self = newRef(vm, thread, thread.threadObject, RefKind::Local);
        jclass cls = static_cast<jclass>(newRef(vm, thread, klass, RefKind::Local));
        reinterpret_cast<jvmtiEventClassLoad>(callback)(&state->env, &thread.jni.env, self, cls);
    });
}

std::vector<unsigned char> postClassFileLoadHook(Vm &vm, JavaThread &thread, Class *redefined, Object *loader,
                                                 const std::string &name, std::vector<unsigned char> bytes,
                                                 bool retransformOnly) {
    postToAll(vm, &thread, JVMTI_EVENT_CLASS_FILE_LOAD_HOOK, "ClassFileLoadHook", [&](JvmtiState *state, void *callback) {
        if (retransformOnly && !state->capabilities.can_retransform_classes)
            return;
        jclass cls = static_cast<jclass>(newRef(vm, thread, redefined, RefKind::Local));
        jobject loaderRef = newRef(vm, thread, loader, RefKind::Local);
        jint newLength = 0;
        unsigned char *newData = nullptr;
        reinterpret_cast<jvmtiEventClassFileLoadHook>(callback)(&state->env, &thread.jni.env, cls, loaderRef,
                                                                name.c_str(), nullptr, static_cast<jint>(bytes.size()),
                                                                bytes.data(), &newLength, &newData);
        if (newData == nullptr)
            return;
        std::lock_guard guard(vm.lock);
        auto found = vm.loans.find(newData);
        if (found == vm.loans.end() || found->second.what != "JVMTI memory") {
            report("the ClassFileLoadHook callback answered class data not allocated with Allocate");
            return;
        }
        if (newLength < 0 || static_cast<size_t>(newLength) > found->second.size) {
            report("the ClassFileLoadHook callback answered a length of " + std::to_string(newLength) + " for " +
                   std::to_string(found->second.size) + " allocated bytes");
        } else {
            bytes.assign(newData, newData + newLength);
        }
        vm.loans.erase(found);
        free(newData);
    });
    return bytes;
}

void postCompiledMethodLoad(Vm &vm, JavaThread &thread, Method *method, jint codeSize, const void *compileInfo) {
    static const unsigned char code[16] = {};
    postToAll(vm, &thread, JVMTI_EVENT_COMPILED_METHOD_LOAD, "CompiledMethodLoad", [&](JvmtiState *state, void *callback) {
        reinterpret_cast<jvmtiEventCompiledMethodLoad>(callback)(&state->env, reinterpret_cast<jmethodID>(method),
                                                                 codeSize, code, 0, nullptr, compileInfo);
    });
}

void postGarbageCollection(Vm &vm, bool finish) {
    // The collector's callbacks run on the collecting thread, which is not attached: no JNI, no
    // references, and the world stays stopped until they return.
    jvmtiEvent event = finish ? JVMTI_EVENT_GARBAGE_COLLECTION_FINISH : JVMTI_EVENT_GARBAGE_COLLECTION_START;
    const char *name = finish ? "GarbageCollectionFinish" : "GarbageCollectionStart";
    for (const Listener &listener : listeners(vm, event)) {
        std::string origin;
        {
            std::lock_guard guard(vm.lock);
            origin = listener.state->origin;
        }
        InCallback inCallback(vm, listener.state);
        collectorDoing(vm, std::string("in the ") + name + " callback of the environment got in " + origin, name, true);
        reinterpret_cast<jvmtiEventGarbageCollectionFinish>(listener.callback)(&listener.state->env);
        collectorDoing(vm, std::string("posting ") + name, nullptr, false);
    }
}

} // namespace vm
