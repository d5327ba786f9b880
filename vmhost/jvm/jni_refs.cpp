// JNI: references, local frames and exceptions.
#include <cstdlib>

#include "jni_support.h"

namespace vm {
namespace {

jobject JNICALL NewGlobalRef(JNIEnv *env, jobject obj) noexcept {
    JniEntry e(env, "NewGlobalRef");
    return e.ok ? newRef(*e.vm, *e.thread, e.object(obj), RefKind::Global) : nullptr;
}

void JNICALL DeleteGlobalRef(JNIEnv *env, jobject ref) noexcept {
    JniEntry e(env, "DeleteGlobalRef", ExceptionSafe);
    if (e.ok)
        deleteRef(*e.vm, *e.thread, ref, RefKind::Global, e.function);
}

jobject JNICALL NewWeakGlobalRef(JNIEnv *env, jobject obj) noexcept {
    JniEntry e(env, "NewWeakGlobalRef");
    jint failure = 0;
    if (!e.ok || callFails(*e.vm, e.function, failure))
        return nullptr;
    return newRef(*e.vm, *e.thread, e.object(obj), RefKind::Weak);
}

void JNICALL DeleteWeakGlobalRef(JNIEnv *env, jweak ref) noexcept {
    JniEntry e(env, "DeleteWeakGlobalRef", ExceptionSafe);
    if (e.ok)
        deleteRef(*e.vm, *e.thread, ref, RefKind::Weak, e.function);
}

jobject JNICALL NewLocalRef(JNIEnv *env, jobject obj) noexcept {
    JniEntry e(env, "NewLocalRef");
    return e.ok ? e.local(e.object(obj)) : nullptr;
}

void JNICALL DeleteLocalRef(JNIEnv *env, jobject ref) noexcept {
    JniEntry e(env, "DeleteLocalRef", ExceptionSafe);
    if (e.ok)
        deleteRef(*e.vm, *e.thread, ref, RefKind::Local, e.function);
}

jint JNICALL PushLocalFrame(JNIEnv *env, jint capacity) noexcept {
    JniEntry e(env, "PushLocalFrame", ExceptionSafe);
    if (!e.ok)
        return JNI_ERR;
    if (capacity < 0) {
        e.problem("the capacity is negative");
        return JNI_ERR;
    }
    pushLocalFrame(*e.vm, *e.thread, nullptr);
    return JNI_OK;
}

jobject JNICALL PopLocalFrame(JNIEnv *env, jobject result) noexcept {
    JniEntry e(env, "PopLocalFrame", ExceptionSafe);
    if (!e.ok)
        return nullptr;
    Object *object = e.object(result);
    {
        std::lock_guard guard(e.vm->lock);
        const std::vector<LocalFrame> &frames = e.thread->localFrames;
        if (frames.size() < 2 || frames.back().native != nullptr) {
            e.problem("there is no frame pushed by PushLocalFrame to pop");
            return e.local(object);
        }
    }
    popLocalFrame(*e.vm, *e.thread);
    return e.local(object);
}

jint JNICALL EnsureLocalCapacity(JNIEnv *env, jint capacity) noexcept {
    JniEntry e(env, "EnsureLocalCapacity");
    return e.ok && capacity >= 0 ? JNI_OK : JNI_ERR;
}

jint JNICALL Throw(JNIEnv *env, jthrowable obj) noexcept {
    JniEntry e(env, "Throw");
    if (!e.ok)
        return JNI_ERR;
    Object *throwable = e.object(obj);
    if (!isInstance(throwable, e.vm->throwableClass)) {
        e.problem(throwable == nullptr ? "the throwable is null" : "a " + throwable->klass->dottedName() + " is not a Throwable");
        return JNI_ERR;
    }
    throwObject(*e.thread, throwable);
    return JNI_OK;
}

jint JNICALL ThrowNew(JNIEnv *env, jclass cls, const char *message) noexcept {
    JniEntry e(env, "ThrowNew");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr)
        return JNI_ERR;
    if (!isAssignable(klass, e.vm->throwableClass)) {
        e.problem(klass->dottedName() + " is not a Throwable");
        return JNI_ERR;
    }
    Method *constructor = findMethod(klass, "<init>", "(Ljava/lang/String;)V", false);
    if (constructor == nullptr) {
        throwNew(*e.thread, "java/lang/NoSuchMethodError", klass->dottedName() + ".<init>(Ljava/lang/String;)V");
        return JNI_ERR;
    }
    bool wellFormed = true;
    Object *text = message != nullptr ? newString(*e.vm, decodeModifiedUtf8(message, &wellFormed)) : nullptr;
    if (!wellFormed)
        e.problem("the message is not modified UTF-8");
    Object *throwable = allocate<Object>(*e.vm, klass);
    jvalue argument = objectValue(text);
    invoke(*e.thread, constructor, throwable, &argument);
    if (e.thread->pendingException == nullptr)
        throwObject(*e.thread, throwable);
    return JNI_OK;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv *env) noexcept {
    JniEntry e(env, "ExceptionOccurred", ExceptionSafe);
    return e.ok ? static_cast<jthrowable>(e.local(e.thread->pendingException)) : nullptr;
}

void JNICALL ExceptionDescribe(JNIEnv *env) noexcept {
    JniEntry e(env, "ExceptionDescribe", ExceptionSafe);
    if (e.ok)
        describeException(*e.thread, takeException(*e.thread));
}

void JNICALL ExceptionClear(JNIEnv *env) noexcept {
    JniEntry e(env, "ExceptionClear", ExceptionSafe);
    if (e.ok)
        takeException(*e.thread);
}

jboolean JNICALL ExceptionCheck(JNIEnv *env) noexcept {
    JniEntry e(env, "ExceptionCheck", ExceptionSafe);
    return e.ok && e.thread->pendingException != nullptr ? JNI_TRUE : JNI_FALSE;
}

void JNICALL FatalError(JNIEnv *env, const char *message) noexcept {
    JniEntry e(env, "FatalError", ExceptionSafe);
    report(std::string("FatalError: ") + (message != nullptr ? message : "(null)"));
    abort();
}

} // namespace

void fillReferenceFunctions(JNINativeInterface_ &t) {
    t.NewGlobalRef = NewGlobalRef;
    t.DeleteGlobalRef = DeleteGlobalRef;
    t.NewWeakGlobalRef = NewWeakGlobalRef;
    t.DeleteWeakGlobalRef = DeleteWeakGlobalRef;
    t.NewLocalRef = NewLocalRef;
    t.DeleteLocalRef = DeleteLocalRef;
    t.PushLocalFrame = PushLocalFrame;
    t.PopLocalFrame = PopLocalFrame;
    t.EnsureLocalCapacity = EnsureLocalCapacity;
    t.Throw = Throw;
    t.ThrowNew = ThrowNew;
    t.ExceptionOccurred = ExceptionOccurred;
    t.ExceptionDescribe = ExceptionDescribe;
    t.ExceptionClear = ExceptionClear;
    t.ExceptionCheck = ExceptionCheck;
    t.FatalError = FatalError;
}

} // namespace vm
