// JNI: classes, member ids, natives registration, reflection and object identity.
#include "jni_support.h"

namespace vm {
namespace {

jint JNICALL GetVersion(JNIEnv *env) noexcept {
    JniEntry e(env, "GetVersion");
    return JNI_VERSION_1_8;
}

jclass JNICALL FindClass(JNIEnv *env, const char *name) noexcept {
    JniEntry e(env, "FindClass");
    if (!e.ok)
        return nullptr;
    if (name == nullptr) {
        e.problem("the name is null");
        throwNew(*e.thread, "java/lang/NoClassDefFoundError", "null");
        return nullptr;
    }
    std::string text = name;
    if (text.find('.') != std::string::npos || (text.size() > 1 && text[0] == 'L' && text.back() == ';')) {
        e.problem("\"" + text + "\" is not a class name in internal form (such as java/lang/String)");
        throwNew(*e.thread, "java/lang/NoClassDefFoundError", text);
        return nullptr;
    }
    Class *klass = findClass(*e.vm, text);
    if (klass == nullptr) {
        throwNew(*e.thread, "java/lang/NoClassDefFoundError", text);
        return nullptr;
    }
    return static_cast<jclass>(e.local(klass));
}

jclass JNICALL GetSuperclass(JNIEnv *env, jclass cls) noexcept {
    JniEntry e(env, "GetSuperclass");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr || klass->isInterface())
        return nullptr;
    return static_cast<jclass>(e.local(klass->super));
}

jboolean JNICALL IsAssignableFrom(JNIEnv *env, jclass from, jclass to) noexcept {
    JniEntry e(env, "IsAssignableFrom");
    if (!e.ok)
        return JNI_FALSE;
    Class *a = e.klass(from);
    Class *b = e.klass(to);
    return isAssignable(a, b) ? JNI_TRUE : JNI_FALSE;
}

jclass JNICALL GetObjectClass(JNIEnv *env, jobject obj) noexcept {
    JniEntry e(env, "GetObjectClass");
    Object *object = e.ok ? e.object(obj) : nullptr;
    if (object == nullptr) {
        if (e.ok)
            e.problem("the object is null");
        return nullptr;
    }
    return static_cast<jclass>(e.local(object->klass));
}

jboolean JNICALL IsInstanceOf(JNIEnv *env, jobject obj, jclass cls) noexcept {
    JniEntry e(env, "IsInstanceOf");
    if (!e.ok)
        return JNI_FALSE;
    Object *object = e.object(obj);
    Class *klass = e.klass(cls);
    return object == nullptr || isInstance(object, klass) ? JNI_TRUE : JNI_FALSE;
}

jboolean JNICALL IsSameObject(JNIEnv *env, jobject a, jobject b) noexcept {
    JniEntry e(env, "IsSameObject");
    if (!e.ok)
        return JNI_FALSE;
    return e.object(a) == e.object(b) ? JNI_TRUE : JNI_FALSE;
}

jmethodID methodId(JNIEnv *env, jclass cls, const char *name, const char *sig, bool isStatic, const char *function) {
    JniEntry e(env, function);
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr)
        return nullptr;
    if (name == nullptr || sig == nullptr) {
        e.problem("the name or the signature is null");
        throwNew(*e.thread, "java/lang/NoSuchMethodError", name != nullptr ? name : "null");
        return nullptr;
    }
    Method *method = findMethod(klass, name, sig, isStatic);
    if (method == nullptr) {
        throwNew(*e.thread, "java/lang/NoSuchMethodError", std::string(name) + sig);
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(method);
}

jmethodID JNICALL GetMethodID(JNIEnv *env, jclass cls, const char *name, const char *sig) noexcept {
    return methodId(env, cls, name, sig, false, "GetMethodID");
}

jmethodID JNICALL GetStaticMethodID(JNIEnv *env, jclass cls, const char *name, const char *sig) noexcept {
    return methodId(env, cls, name, sig, true, "GetStaticMethodID");
}

jfieldID fieldId(JNIEnv *env, jclass cls, const char *name, const char *sig, bool isStatic, const char *function) {
    JniEntry e(env, function);
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr)
        return nullptr;
    if (name == nullptr || sig == nullptr) {
        e.problem("the name or the signature is null");
        throwNew(*e.thread, "java/lang/NoSuchFieldError", name != nullptr ? name : "null");
        return nullptr;
    }
    Field *field = findField(klass, name, sig, isStatic);
    if (field == nullptr) {
        throwNew(*e.thread, "java/lang/NoSuchFieldError", name);
        return nullptr;
    }
    return reinterpret_cast<jfieldID>(field);
}

jfieldID JNICALL GetFieldID(JNIEnv *env, jclass cls, const char *name, const char *sig) noexcept {
    return fieldId(env, cls, name, sig, false, "GetFieldID");
}

jfieldID JNICALL GetStaticFieldID(JNIEnv *env, jclass cls, const char *name, const char *sig) noexcept {
    return fieldId(env, cls, name, sig, true, "GetStaticFieldID");
}

jint JNICALL RegisterNatives(JNIEnv *env, jclass cls, const JNINativeMethod *methods, jint count) noexcept {
    JniEntry e(env, "RegisterNatives");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr)
        return JNI_ERR;
    if (count < 0 || (count > 0 && methods == nullptr)) {
        e.problem("the method table is missing or its count is negative");
        return JNI_ERR;
    }
    for (jint i = 0; i < count; ++i) {
        const JNINativeMethod &entry = methods[i];
        std::string name = entry.name != nullptr ? entry.name : "null";
        std::string signature = entry.signature != nullptr ? entry.signature : "null";
        Method *method = nullptr;
        for (auto &candidate : klass->methods)
            if (candidate->name == name && candidate->signature == signature)
                method = candidate.get();
        if (method == nullptr || !method->isNative() || entry.fnPtr == nullptr) {
            throwNew(*e.thread, "java/lang/NoSuchMethodError",
                     "Method " + klass->dottedName() + "." + name + signature +
                         (method == nullptr ? " name or signature does not match"
                                            : method->isNative() ? " has no entry point" : " is not declared as native"));
            return JNI_ERR;
        }
        std::lock_guard guard(e.vm->lock);
        method->native = entry.fnPtr;
        method->registered = true;
    }
    return JNI_OK;
}

jobject JNICALL ToReflectedMethod(JNIEnv *env, jclass cls, jmethodID id, jboolean isStatic) noexcept {
    JniEntry e(env, "ToReflectedMethod");
    if (!e.ok)
        return nullptr;
    Class *klass = e.klass(cls);
    Method *method = e.method(id);
    if (klass == nullptr || method == nullptr)
        return nullptr;
    if (method->isStatic() != (isStatic != JNI_FALSE))
        e.problem(method->displayName() + (method->isStatic() ? " is static" : " is not static"));
    Class *reflected = method->name == "<init>" ? e.vm->constructorClass : e.vm->methodClass;
    ReflectedObject *object = allocate<ReflectedObject>(*e.vm, reflected);
    object->kind = Kind::Reflected;
    object->method = method;
    return e.local(object);
}

jint JNICALL GetJavaVM(JNIEnv *env, JavaVM **vm) noexcept {
    JniEntry e(env, "GetJavaVM");
    if (!e.ok || vm == nullptr)
        return JNI_ERR;
    *vm = &e.vm->javaVm;
    return JNI_OK;
}

} // namespace

void fillClassFunctions(JNINativeInterface_ &t) {
    t.GetVersion = GetVersion;
    t.FindClass = FindClass;
    t.GetSuperclass = GetSuperclass;
    t.IsAssignableFrom = IsAssignableFrom;
    t.GetObjectClass = GetObjectClass;
    t.IsInstanceOf = IsInstanceOf;
    t.IsSameObject = IsSameObject;
    t.GetMethodID = GetMethodID;
    t.GetStaticMethodID = GetStaticMethodID;
    t.GetFieldID = GetFieldID;
    t.GetStaticFieldID = GetStaticFieldID;
    t.RegisterNatives = RegisterNatives;
    t.ToReflectedMethod = ToReflectedMethod;
    t.GetJavaVM = GetJavaVM;
}

} // namespace vm
