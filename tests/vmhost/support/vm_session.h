// A VM for one test: created in its constructor, ended in its destructor, and helpers to give it
// classes and methods written in C++. VmTest fails a test whose VM found problems.
#ifndef TESTS_VM_SESSION_H
#define TESTS_VM_SESSION_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vmhost.h"

using MethodBody = std::function<jvalue(JNIEnv *env, jobject self, const jvalue *args)>;

class VmSession {
public:
    // Options as for JNI_CreateJavaVM; `start` also runs the VM's initialisation (VMInit).
    explicit VmSession(const std::vector<std::string> &options = {}, bool start = true);
    ~VmSession();
    VmSession(const VmSession &) = delete;
    VmSession &operator=(const VmSession &) = delete;

    bool created() const { return vm_ != nullptr; }
    jint createResult() const { return createResult_; }
    JavaVM *vm() const { return vm_; }
    JNIEnv *env() const { return env_; }
    jint start();
    // DestroyJavaVM; later calls do nothing.
    jint destroy();

    jclass defineClass(const char *name, const char *superName = "java/lang/Object");
    jmethodID addMethod(jclass cls, const char *name, const char *signature, jint modifiers, MethodBody body);
    jmethodID addNative(jclass cls, const char *name, const char *signature, bool isStatic = true);
    // Loads a library that lies beside the test program; false leaves the exception pending.
    bool loadLibrary(const char *fileName);

private:
    JavaVM *vm_ = nullptr;
    JNIEnv *env_ = nullptr;
    jint createResult_ = JNI_ERR;
    bool destroyed_ = false;
};

// What the VM reported or logged since the last call, one line each.
std::string takeProblems();
std::string takeCallLog();
// A file beside the test program.
std::string besideProgram(const char *fileName);
jvalue jvalueOf(jlong value);
jvalue jvalueOf(jobject value);

// A test with a VM; after the test the VM is ended and any problem it found fails the test.
class VmTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    JNIEnv *env() const { return session->env(); }

    std::unique_ptr<VmSession> session;
};

#endif
