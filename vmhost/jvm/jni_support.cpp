#include "jni_support.h"

#include <cstdarg>

namespace vm {

JniEntry::JniEntry(JNIEnv *env, const char *function, unsigned flags) : function(function) {
    vm = currentVm();
    if (vm == nullptr || env == nullptr) {
        report(std::string(function) + (vm == nullptr ? " was called while no VM runs" : " was called without a JNIEnv"));
        return;
    }
    enterVm(*vm, function, Entry::Jni);
    auto *threadEnv = reinterpret_cast<ThreadEnv *>(env);
    std::lock_guard guard(vm->lock);
    for (auto &candidate : vm->threads)
        if (candidate.get() == threadEnv->thread)
            thread = candidate.get();
    if (thread == nullptr) {
        report(std::string(function) + " was called with a JNIEnv this VM did not hand out");
        return;
    }
    if (!thread->attached) {
        problem("the JNIEnv of thread \"" + thread->name + "\" was used after the thread detached");
        return;
    }
    if (thread->osId != GetCurrentThreadId())
        problem("the JNIEnv of thread \"" + thread->name + "\" was used on another thread");
    if (thread->pendingException != nullptr && (flags & ExceptionSafe) == 0)
        report(std::string(function) + " was called with an exception pending (" + describe(thread->pendingException) +
               ") in " + where(*thread));
    if (thread->criticalDepth > 0 && (flags & CriticalSafe) == 0)
        report(std::string(function) + " was called inside a critical region in " + where(*thread));
    ok = true;
}

Class *JniEntry::klass(jclass ref) const {
    bool valid = true;
    Object *object = this->object(ref, &valid);
    if (object == nullptr) {
        if (valid)
            problem("the class is null");
        return nullptr;
    }
    if (object->kind != Kind::Class) {
        problem("a " + object->klass->dottedName() + " was passed where a class was expected");
        return nullptr;
    }
    return static_cast<Class *>(object);
}

Method *JniEntry::method(jmethodID id) const {
    auto *method = reinterpret_cast<Method *>(id);
    std::lock_guard guard(vm->lock);
    if (vm->methodIds.count(method) == 0) {
        problem(id == nullptr ? "the method id is null" : "the method id is not one this VM handed out");
        return nullptr;
    }
    return method;
}

Field *JniEntry::field(jfieldID id) const {
    auto *field = reinterpret_cast<Field *>(id);
    std::lock_guard guard(vm->lock);
    if (vm->fieldIds.count(field) == 0) {
        problem(id == nullptr ? "the field id is null" : "the field id is not one this VM handed out");
        return nullptr;
    }
    return field;
}

bool JniEntry::readArguments(Method *method, va_list *list, const jvalue *array, std::vector<jvalue> &out) const {
    out.assign(method->parameters.size(), jvalue{});
    if (list == nullptr && array == nullptr && !method->parameters.empty()) {
        problem("the argument array of " + method->displayName() + " is null");
        return false;
    }
    bool fits = true;
    for (size_t i = 0; i < method->parameters.size(); ++i) {
        const std::string &type = method->parameters[i];
        jvalue &value = out[i];
        if (array != nullptr) {
            value = array[i];
        } else {
            switch (type[0]) {
            case 'Z': value.z = static_cast<jboolean>(va_arg(*list, int)); break;
            case 'B': value.b = static_cast<jbyte>(va_arg(*list, int)); break;
            case 'C': value.c = static_cast<jchar>(va_arg(*list, int)); break;
            case 'S': value.s = static_cast<jshort>(va_arg(*list, int)); break;
            case 'I': value.i = va_arg(*list, jint); break;
            case 'J': value.j = va_arg(*list, jlong); break;
            case 'F': value.f = static_cast<jfloat>(va_arg(*list, double)); break;
            case 'D': value.d = va_arg(*list, double); break;
            default: value.l = va_arg(*list, jobject); break;
            }
        }
        if (type[0] == 'L' || type[0] == '[') {
            Object *object = this->object(value.l);
            if (!fitsDescriptor(*vm, object, type)) {
                problem("argument " + std::to_string(i + 1) + " of " + method->displayName() + " is a " +
                        object->klass->dottedName() + ", not a " + type);
                fits = false;
            }
            value = objectValue(object);
        }
    }
    return fits;
}

void lend(JniEntry &entry, const void *pointer, const char *what, Object *source) {
    Loan loan;
    loan.what = what;
    loan.source = source;
    loan.origin = where(*entry.thread);
    std::lock_guard guard(entry.vm->lock);
    loan.serial = ++entry.vm->serial;
    entry.vm->loans[pointer] = loan;
}

Loan *loanOf(JniEntry &entry, const void *pointer, const char *what, Object *source) {
    std::lock_guard guard(entry.vm->lock);
    auto found = entry.vm->loans.find(pointer);
    if (found == entry.vm->loans.end() || found->second.what != what) {
        entry.problem(std::string("the pointer was not obtained from ") + what + " or was given back already");
        return nullptr;
    }
    if (found->second.source != source)
        entry.problem(std::string("given back with another object than the ") + what + " that lent it");
    return &found->second;
}

} // namespace vm
