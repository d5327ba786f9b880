// zun/vexil/BCMethodProf: one class retransformed through Java, on an environment of its own.
#include <cstring>

#include "java_support.h"
#include "native_caches.h"
#include "vm_binding.h"

using namespace vexil;

namespace {

jmethodID transformMethod;

// What the hook needs, kept as the retransforming thread's local value of the environment.
struct Retransform {
    jclass cls;
    jobject receiver;
    jstring sourceName;
    bool success;
    jobject kept; // a global reference to what Java threw
};

void JNICALL onClassFileLoadHook(jvmtiEnv *jvmti, JNIEnv *env, jclass redefined, jobject, const char *, jobject,
                                 jint length, const unsigned char *data, jint *newLength, unsigned char **newData) {
    void *local = nullptr;
    if (jvmti->GetThreadLocalStorage(nullptr, &local) != JVMTI_ERROR_NONE || local == nullptr)
        return;
    auto *state = static_cast<Retransform *>(local);
    if (redefined == nullptr || !env->IsSameObject(redefined, state->cls))
        return;
    jbyteArray bytes = env->NewByteArray(length);
    if (bytes == nullptr) {
        env->ExceptionClear();
        return;
    }
    env->SetByteArrayRegion(bytes, 0, length, reinterpret_cast<const jbyte *>(data));
    auto result = static_cast<jbyteArray>(
        env->CallObjectMethod(state->receiver, transformMethod, state->cls, state->sourceName, bytes));
    if (jthrowable thrown = env->ExceptionOccurred()) {
        env->ExceptionClear();
        state->kept = env->NewGlobalRef(thrown);
        env->DeleteLocalRef(thrown);
    } else if (result != nullptr) {
        jsize resultLength = env->GetArrayLength(result);
        unsigned char *copy = nullptr;
        if (jvmti->Allocate(resultLength, &copy) == JVMTI_ERROR_NONE) {
            env->GetByteArrayRegion(result, 0, resultLength, reinterpret_cast<jbyte *>(copy));
            *newLength = resultLength;
            *newData = copy;
            state->success = true;
        }
    } else {
        state->success = true; // the class stays as it is
    }
    env->DeleteLocalRef(result);
    env->DeleteLocalRef(bytes);
}

void retransform(JNIEnv *env, jobject self, jclass cls) {
    jvmtiEnv *jvmti = nullptr;
    if (binding.vm->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_0) != JNI_OK || jvmti == nullptr)
        return throwNotAvailable(env, "could not acquire JVMTI interface");
    jvmtiCapabilities capabilities{};
    capabilities.can_get_source_file_name = 1;
    capabilities.can_retransform_classes = 1;
    jvmtiEventCallbacks callbacks{};
    callbacks.ClassFileLoadHook = onClassFileLoadHook;
    if (jvmti->AddCapabilities(&capabilities) != JVMTI_ERROR_NONE) {
        throwNotAvailable(env, "could not acquire capabilties");
    } else if (jvmti->SetEventCallbacks(&callbacks, sizeof callbacks) != JVMTI_ERROR_NONE) {
        throwNotAvailable(env, "could not set callbacks");
    } else {
        jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_CLASS_FILE_LOAD_HOOK, nullptr);
        char *source = nullptr;
        Retransform state{cls, self, nullptr, false, nullptr};
        if (jvmti->GetSourceFileName(cls, &source) == JVMTI_ERROR_NONE && source != nullptr) {
            state.sourceName = env->NewStringUTF(source);
            jvmti->Deallocate(reinterpret_cast<unsigned char *>(source));
        }
        if (!env->ExceptionCheck()) {
            jvmti->SetThreadLocalStorage(nullptr, &state);
            jvmti->RetransformClasses(1, &cls);
            jvmti->SetThreadLocalStorage(nullptr, nullptr);
        }
        jvmti->SetEventNotificationMode(JVMTI_DISABLE, JVMTI_EVENT_CLASS_FILE_LOAD_HOOK, nullptr);
        env->DeleteLocalRef(state.sourceName);
        if (state.kept != nullptr) {
            env->Throw(static_cast<jthrowable>(state.kept));
            env->DeleteGlobalRef(state.kept);
        } else if (!state.success) {
            throwNotAvailable(env, "could not retransform class");
        }
    }
    jvmti->DisposeEnvironment();
}

} // namespace

void vexil::forgetTransformMethod() { transformMethod = nullptr; }

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_BCMethodProf_initIDs(JNIEnv *env, jclass cls) {
    transformMethod = env->GetMethodID(cls, "transform", "(Ljava/lang/Class;Ljava/lang/String;[B)[B");
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_BCMethodProf_transform(JNIEnv *env, jobject self, jclass cls) {
    if (transformMethod == nullptr) {
        jclass own = env->GetObjectClass(self);
        transformMethod = env->GetMethodID(own, "transform", "(Ljava/lang/Class;Ljava/lang/String;[B)[B");
        env->DeleteLocalRef(own);
        if (transformMethod == nullptr)
            return;
    }
    retransform(env, self, cls);
}
