#include "java_support.h"

#include "vm_binding.h"

namespace vexil {

void throwByName(JNIEnv *env, const char *className, const char *message) {
    if (env->ExceptionCheck())
        return;
    jclass cls = env->FindClass(className);
    if (cls == nullptr)
        return; // FindClass left its own error pending
    env->ThrowNew(cls, message);
    env->DeleteLocalRef(cls);
}

void throwNotAvailable(JNIEnv *env, const char *message) {
    throwByName(env, "com/zun/jvm/NotAvailableException", message);
}

void throwOutOfMemory(JNIEnv *env, const char *message) { throwByName(env, "java/lang/OutOfMemoryError", message); }

jobjectArray newObjectArray(JNIEnv *env, jclass cls, jsize length, const jobject *elements) {
    jobjectArray array = env->NewObjectArray(length, cls, nullptr);
    if (array == nullptr)
        return nullptr;
    for (jsize i = 0; i < length && elements != nullptr; ++i) {
        env->SetObjectArrayElement(array, i, elements[i]);
        if (env->ExceptionCheck()) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
    }
    return array;
}

jstring newString(JNIEnv *env, const char *text) { return text != nullptr ? env->NewStringUTF(text) : nullptr; }

jobjectArray stringArray(JNIEnv *env, jsize count, const char *const *texts) {
    jobjectArray array = env->NewObjectArray(count, binding.stringClass, nullptr);
    for (jsize i = 0; array != nullptr && i < count; ++i) {
        jstring text = newString(env, texts[i]);
        if (env->ExceptionCheck()) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, i, text);
        env->DeleteLocalRef(text);
    }
    return array;
}

} // namespace vexil
