// One pending exception per thread, thrown by natives, by the VM and by the played classes.
#include <cstdio>

#include "vm.h"

namespace vm {

void throwObject(JavaThread &thread, Object *throwable) {
    std::lock_guard guard(currentVm()->lock);
    thread.pendingException = throwable;
}

void throwNew(JavaThread &thread, const char *className, const std::string &message) {
    Vm &vm = *currentVm();
    Object *pending;
    {
        std::lock_guard guard(vm.lock);
        pending = thread.pendingException;
        thread.pendingException = nullptr;
    }
    Object *throwable = newObject(thread, className, "(Ljava/lang/String;)V", {objectValue(newStringUtf(vm, message))});
    if (throwable == nullptr) {
        report(std::string("the VM could not make a ") + className);
        throwable = pending;
    }
    throwObject(thread, throwable);
}

Object *takeException(JavaThread &thread) {
    std::lock_guard guard(currentVm()->lock);
    Object *throwable = thread.pendingException;
    thread.pendingException = nullptr;
    return throwable;
}

void describeException(JavaThread &thread, Object *throwable) {
    if (throwable == nullptr)
        return;
    std::string text = "Exception in thread \"" + thread.name + "\" " + describe(throwable) + "\n";
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

} // namespace vm
