// What every JNI function does first: find its thread from the JNIEnv and check the call as a
// checking VM would (thread, attachment, pending exception, critical region).
#ifndef VMHOST_JNI_SUPPORT_H
#define VMHOST_JNI_SUPPORT_H

#include "vm.h"

namespace vm {

enum JniFlags : unsigned {
    ExceptionSafe = 1, // may be called with an exception pending
    CriticalSafe = 2,  // may be called inside a critical region
};

struct JniEntry {
    JniEntry(JNIEnv *env, const char *function, unsigned flags = 0);

    Vm *vm = nullptr;
    JavaThread *thread = nullptr;
    const char *function;
    bool ok = false;

    void problem(const std::string &text) const { report(std::string(function) + ": " + text); }
    Object *object(jobject ref, bool *valid = nullptr) const { return resolve(*vm, *thread, ref, function, valid); }
    jobject local(Object *object) const { return newRef(*vm, *thread, object, RefKind::Local); }
    // The class a jclass names; reports and answers null for anything else.
    Class *klass(jclass ref) const;
    // A method or field id the VM handed out, else reported and null.
    Method *method(jmethodID id) const;
    Field *field(jfieldID id) const;
    // Object arguments of a call, checked against the method's parameter types; false when one
    // does not fit (reported).
    bool readArguments(Method *method, va_list *list, const jvalue *array, std::vector<jvalue> &out) const;
};

// Fill the table's slots that each file implements.
void fillClassFunctions(JNINativeInterface_ &table);
void fillReferenceFunctions(JNINativeInterface_ &table);
void fillCallFunctions(JNINativeInterface_ &table);
void fillFieldFunctions(JNINativeInterface_ &table);
void fillStringFunctions(JNINativeInterface_ &table);
void fillArrayFunctions(JNINativeInterface_ &table);

// A loan given out (pinned chars or elements) and its return.
void lend(JniEntry &entry, const void *pointer, const char *what, Object *source);
// The loan's record, or null when the pointer was not lent by `what` (reported).
Loan *loanOf(JniEntry &entry, const void *pointer, const char *what, Object *source);

} // namespace vm

// The value types of JNI's typed calls and fields: name, C type, signature letter, jvalue member.
#define JNI_VALUE_TYPES(X)           \
    X(Object, jobject, 'L', l)   \
    X(Boolean, jboolean, 'Z', z) \
    X(Byte, jbyte, 'B', b)       \
    X(Char, jchar, 'C', c)       \
    X(Short, jshort, 'S', s)     \
    X(Int, jint, 'I', i)         \
    X(Long, jlong, 'J', j)       \
    X(Float, jfloat, 'F', f)     \
    X(Double, jdouble, 'D', d)

#endif
