// JNI: object creation and the Call<Type>Method families. The variadic forms keep the header's
// exact prototypes; all forms read their arguments by the method's own signature.
#include <cstdarg>

#include "jni_support.h"

namespace vm {
namespace {

enum class Mode { Virtual, Nonvirtual, Static };

const char *typeName(char letter) {
    switch (letter) {
    case 'L': return "an object";
    case 'Z': return "boolean";
    case 'B': return "byte";
    case 'C': return "char";
    case 'S': return "short";
    case 'I': return "int";
    case 'J': return "long";
    case 'F': return "float";
    case 'D': return "double";
    default: return "void";
    }
}

// Calls the method and answers its result, an object as a new local reference.
jvalue callCore(JNIEnv *env, const char *function, Mode mode, jobject obj, jclass cls, jmethodID id, va_list *list,
                const jvalue *array, char expected) {
    JniEntry e(env, function);
    if (!e.ok)
        return jvalue{};
    Method *method = e.method(id);
    if (method == nullptr)
        return jvalue{};
    char returns = method->result[0] == '[' ? 'L' : method->result[0];
    if (returns != expected)
        e.problem(method->displayName() + " returns " + typeName(returns) + ", not " + typeName(expected));
    Object *self = nullptr;
    if (mode == Mode::Static) {
        Class *klass = e.klass(cls);
        if (!method->isStatic()) {
            e.problem(method->displayName() + " is not static");
            return jvalue{};
        }
        if (klass != nullptr && !isAssignable(klass, method->owner))
            e.problem(method->displayName() + " is not a method of " + klass->dottedName());
    } else {
        self = e.object(obj);
        if (method->isStatic() || method->name == "<init>") {
            e.problem(method->displayName() + (method->isStatic() ? " is static" : " is a constructor"));
            return jvalue{};
        }
        if (self == nullptr) {
            e.problem("the object is null");
            return jvalue{};
        }
        if (!isInstance(self, method->owner)) {
            e.problem("a " + self->klass->dottedName() + " has no method " + method->displayName());
            return jvalue{};
        }
        if (mode == Mode::Nonvirtual) {
            Class *klass = e.klass(cls);
            if (klass != nullptr && !isAssignable(klass, method->owner))
                e.problem(method->displayName() + " is not a method of " + klass->dottedName());
        } else {
            method = findOverride(self->klass, method);
        }
    }
    std::vector<jvalue> args;
    if (!e.readArguments(method, list, array, args))
        return jvalue{}; // reported: the method would get an object of a type it cannot take
    jvalue result = invoke(*e.thread, method, self, args.data());
    if (expected == 'L')
        result.l = e.local(reinterpret_cast<Object *>(result.l));
    return result;
}

jobject newObjectCore(JNIEnv *env, const char *function, jclass cls, jmethodID id, va_list *list, const jvalue *array) {
    JniEntry e(env, function);
    if (!e.ok)
        return nullptr;
    Class *klass = e.klass(cls);
    Method *method = e.method(id);
    if (klass == nullptr || method == nullptr)
        return nullptr;
    if (method->name != "<init>" || method->owner != klass) {
        e.problem(method->displayName() + " is not a constructor of " + klass->dottedName());
        return nullptr;
    }
    if ((klass->modifiers & (ACC_ABSTRACT | ACC_INTERFACE)) != 0 || klass == e.vm->stringClass || klass->isArray()) {
        throwNew(*e.thread, "java/lang/InstantiationException", klass->dottedName());
        return nullptr;
    }
    std::vector<jvalue> args;
    if (!e.readArguments(method, list, array, args))
        return nullptr;
    Object *object = allocate<Object>(*e.vm, klass);
    invoke(*e.thread, method, object, args.data());
    return e.thread->pendingException != nullptr ? nullptr : e.local(object);
}

jobject JNICALL NewObject(JNIEnv *env, jclass cls, jmethodID id, ...) noexcept {
    va_list list;
    va_start(list, id);
    jobject object = newObjectCore(env, "NewObject", cls, id, &list, nullptr);
    va_end(list);
    return object;
}

jobject JNICALL NewObjectV(JNIEnv *env, jclass cls, jmethodID id, va_list args) noexcept {
    va_list list;
    va_copy(list, args);
    jobject object = newObjectCore(env, "NewObjectV", cls, id, &list, nullptr);
    va_end(list);
    return object;
}

jobject JNICALL NewObjectA(JNIEnv *env, jclass cls, jmethodID id, const jvalue *args) noexcept {
    return newObjectCore(env, "NewObjectA", cls, id, nullptr, args);
}

#define CALL_FORMS(Name, Type, letter, member, prefix, mode, HEAD_PARAMS, HEAD_ARGS)                              \
    Type JNICALL prefix##Name##Method(JNIEnv *env, HEAD_PARAMS, jmethodID id, ...) noexcept {                   \
        va_list list;                                                                                          \
        va_start(list, id);                                                                                    \
        jvalue result = callCore(env, #prefix #Name "Method", mode, HEAD_ARGS, id, &list, nullptr, letter);     \
        va_end(list);                                                                                          \
        return static_cast<Type>(result.member);                                                               \
    }                                                                                                          \
    Type JNICALL prefix##Name##MethodV(JNIEnv *env, HEAD_PARAMS, jmethodID id, va_list args) noexcept {         \
        va_list list;                                                                                          \
        va_copy(list, args);                                                                                   \
        jvalue result = callCore(env, #prefix #Name "MethodV", mode, HEAD_ARGS, id, &list, nullptr, letter);    \
        va_end(list);                                                                                          \
        return static_cast<Type>(result.member);                                                               \
    }                                                                                                          \
    Type JNICALL prefix##Name##MethodA(JNIEnv *env, HEAD_PARAMS, jmethodID id, const jvalue *args) noexcept {   \
        return static_cast<Type>(callCore(env, #prefix #Name "MethodA", mode, HEAD_ARGS, id, nullptr, args, letter).member); \
    }

#define COMMA ,
#define VIRTUAL_PARAMS jobject obj
#define VIRTUAL_ARGS obj, nullptr
#define NONVIRTUAL_PARAMS jobject obj COMMA jclass cls
#define NONVIRTUAL_ARGS obj, cls
#define STATIC_PARAMS jclass cls
#define STATIC_ARGS nullptr, cls

#define CALL_FAMILY(Name, Type, letter, member)                                                                 \
    CALL_FORMS(Name, Type, letter, member, Call, Mode::Virtual, VIRTUAL_PARAMS, VIRTUAL_ARGS)                   \
    CALL_FORMS(Name, Type, letter, member, CallNonvirtual, Mode::Nonvirtual, NONVIRTUAL_PARAMS, NONVIRTUAL_ARGS) \
    CALL_FORMS(Name, Type, letter, member, CallStatic, Mode::Static, STATIC_PARAMS, STATIC_ARGS)

JNI_VALUE_TYPES(CALL_FAMILY)

// void results have nothing to return; otherwise the same as above.
#define VOID_FORMS(prefix, mode, HEAD_PARAMS, HEAD_ARGS)                                                         \
    void JNICALL prefix##VoidMethod(JNIEnv *env, HEAD_PARAMS, jmethodID id, ...) noexcept {                   \
        va_list list;                                                                                          \
        va_start(list, id);                                                                                    \
        callCore(env, #prefix "VoidMethod", mode, HEAD_ARGS, id, &list, nullptr, 'V');                          \
        va_end(list);                                                                                          \
    }                                                                                                          \
    void JNICALL prefix##VoidMethodV(JNIEnv *env, HEAD_PARAMS, jmethodID id, va_list args) noexcept {           \
        va_list list;                                                                                          \
        va_copy(list, args);                                                                                   \
        callCore(env, #prefix "VoidMethodV", mode, HEAD_ARGS, id, &list, nullptr, 'V');                         \
        va_end(list);                                                                                          \
    }                                                                                                          \
    void JNICALL prefix##VoidMethodA(JNIEnv *env, HEAD_PARAMS, jmethodID id, const jvalue *args) noexcept {     \
        callCore(env, #prefix "VoidMethodA", mode, HEAD_ARGS, id, nullptr, args, 'V');                          \
    }

VOID_FORMS(Call, Mode::Virtual, VIRTUAL_PARAMS, VIRTUAL_ARGS)
VOID_FORMS(CallNonvirtual, Mode::Nonvirtual, NONVIRTUAL_PARAMS, NONVIRTUAL_ARGS)
VOID_FORMS(CallStatic, Mode::Static, STATIC_PARAMS, STATIC_ARGS)

} // namespace

void fillCallFunctions(JNINativeInterface_ &t) {
    t.NewObject = NewObject;
    t.NewObjectV = NewObjectV;
    t.NewObjectA = NewObjectA;
#define FILL_FORMS(prefix, Name)                 \
    t.prefix##Name##Method = prefix##Name##Method;   \
    t.prefix##Name##MethodV = prefix##Name##MethodV; \
    t.prefix##Name##MethodA = prefix##Name##MethodA;
#define FILL_FAMILY(Name, Type, letter, member) \
    FILL_FORMS(Call, Name)                      \
    FILL_FORMS(CallNonvirtual, Name)            \
    FILL_FORMS(CallStatic, Name)
    JNI_VALUE_TYPES(FILL_FAMILY)
    FILL_FAMILY(Void, void, 'V', i)
}

} // namespace vm
