// A VM with the management library loaded as the VM loads it, and the calls a test makes on the
// management objects.
#ifndef TESTS_VEXIL_TEST_H
#define TESTS_VEXIL_TEST_H

#include <initializer_list>
#include <string>

#include "vm_session.h"

jvalue jint_(jint value);
jvalue jbool_(bool value);
jvalue jlong_(jlong value);

class VexilTest : public VmTest {
protected:
    void TearDown() override;

    // Loads the library; the tables offered are fixed at load.
    void load(bool standard = true, bool extension = true);
    jobject newObject(const char *className);
    // A JVMImpl with its context (kept for the test, destroyed at its end).
    jobject startJvm(const char *className = "zun/vexil/JVMImpl");
    void destroyJvm();
    // A subclass of JVMImpl whose constructor runs JVMImpl's, for a test to override its methods.
    jclass jvmSubclass(const char *name);
    // A management object of the JVMImpl started last.
    jobject component(const char *className);

    jlong callLong(jobject object, const char *name, const char *signature, std::initializer_list<jvalue> args = {});
    jint callInt(jobject object, const char *name, const char *signature, std::initializer_list<jvalue> args = {});
    bool callBool(jobject object, const char *name, const char *signature, std::initializer_list<jvalue> args = {});
    jdouble callDouble(jobject object, const char *name, const char *signature,
                       std::initializer_list<jvalue> args = {});
    jobject callObject(jobject object, const char *name, const char *signature,
                       std::initializer_list<jvalue> args = {});
    void callVoid(jobject object, const char *name, const char *signature, std::initializer_list<jvalue> args = {});
    jobject callStatic(const char *className, const char *name, const char *signature,
                       std::initializer_list<jvalue> args = {});

    // The exception pending, as "java.lang.NullPointerException: text" (cleared), or "".
    std::string thrown();
    std::string text(jobject string);
    jobject field(jobject object, const char *name, const char *signature);
    jlong longField(jobject object, const char *name);
    jint intField(jobject object, const char *name);
    bool boolField(jobject object, const char *name);

    jobject jvm = nullptr;
};

#endif
