// Helpers for the Java classes the VM plays in C++.
#ifndef VMHOST_CLASSLIB_H
#define VMHOST_CLASSLIB_H

#include <initializer_list>

#include "vm.h"

namespace vm {

struct ClassBuilder {
    Vm &vm;
    Class *klass;

    ClassBuilder &field(const char *name, const char *signature, jint modifiers = 0);
    ClassBuilder &method(const char *name, const char *signature, Body body, jint modifiers = ACC_PUBLIC);
    ClassBuilder &staticMethod(const char *name, const char *signature, Body body);
    ClassBuilder &native(const char *name, const char *signature, jint modifiers = ACC_PUBLIC);
    ClassBuilder &implements(const char *interfaceName);
    // A constructor that stores its arguments into the named fields, in order (declared here).
    ClassBuilder &recordConstructor(const char *signature, std::initializer_list<const char *> fields);
    // A method that only logs its call and answers a zero value.
    ClassBuilder &logged(const char *name, const char *signature);
};

ClassBuilder define(Vm &vm, const char *name, const char *superName, jint modifiers = ACC_PUBLIC);
ClassBuilder defineInterface(Vm &vm, const char *name);
// A throwable class with the constructors ()V and (Ljava/lang/String;)V.
void defineThrowable(Vm &vm, const char *name, const char *superName);

// The call as a line of the call log: class.method(arguments).
std::string callText(Call &call);
void logCall(Call &call);
std::string render(const std::string &type, jvalue value);

inline jvalue longValue(jlong value) {
    jvalue v{};
    v.j = value;
    return v;
}
inline jvalue intValue(jint value) {
    jvalue v{};
    v.i = value;
    return v;
}
inline jvalue booleanValue(bool value) {
    jvalue v{};
    v.z = value ? JNI_TRUE : JNI_FALSE;
    return v;
}

} // namespace vm

#endif
