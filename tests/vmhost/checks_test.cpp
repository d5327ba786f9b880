// The VM checks natives as a checking VM would; each misuse is reported by name and fails the test.
#include <cstdarg>
#include <thread>

#include "child_process.h"
#include "test_paths.h"
#include "vm_session.h"

namespace {

class Checks : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        natives = session->defineClass("vmtest/Natives");
        for (auto [name, signature] : std::initializer_list<std::pair<const char *, const char *>>{
                 {"throwThenCall", "()V"}, {"leakGlobal", "(Ljava/lang/Object;)V"}, {"useDeleted", "()I"},
                 {"keepChars", "(Ljava/lang/String;)V"}, {"releaseTwice", "(Ljava/lang/String;)V"},
                 {"keepCritical", "([B)I"}, {"callInCritical", "([B)V"}, {"fill", "([BB)V"},
                 {"pushWithoutPop", "()V"}, {"wrongArgument", "()V"}, {"enterMonitor", "()V"}})
            session->addNative(natives, name, signature);
        session->addMethod(natives, "takeBytes", "([B)V", 0x8, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
        ASSERT_TRUE(session->loadLibrary("vmtest_natives.dll"));
    }

    void call(const char *name, const char *signature, ...) {
        va_list args;
        va_start(args, signature);
        env()->CallStaticVoidMethodV(natives, env()->GetStaticMethodID(natives, name, signature), args);
        va_end(args);
    }

    jclass natives = nullptr;
};

TEST_F(Checks, ACallWithAnExceptionPendingIsReportedBySlotName) {
    call("throwThenCall", "()V");
    EXPECT_TRUE(env()->ExceptionCheck());
    env()->ExceptionClear();
    EXPECT_EQ(takeProblems(), "FindClass was called with an exception pending (java.lang.IllegalStateException: first) "
                              "in native vmtest.Natives.throwThenCall()V\n");
}

TEST_F(Checks, ADeletedReferenceIsReported) {
    jint length = env()->CallStaticIntMethod(natives, env()->GetStaticMethodID(natives, "useDeleted", "()I"));
    EXPECT_EQ(length, 0);
    EXPECT_EQ(takeProblems(), "GetStringUTFLength: use of a deleted or invalid reference\n");
}

TEST_F(Checks, ALocalReferenceDiesWithItsFrame) {
    env()->PushLocalFrame(2);
    jstring inner = env()->NewStringUTF("inner");
    env()->PopLocalFrame(nullptr);
    env()->GetStringLength(inner);
    EXPECT_NE(takeProblems().find("GetStringLength: use of a deleted or invalid reference"), std::string::npos);
}

TEST_F(Checks, UnbalancedStringPairsAreReported) {
    jstring text = env()->NewStringUTF("text");
    call("releaseTwice", "(Ljava/lang/String;)V", text);
    EXPECT_EQ(takeProblems(),
              "ReleaseStringUTFChars: the pointer was not obtained from GetStringUTFChars or was given back already\n");
    call("keepChars", "(Ljava/lang/String;)V", text);
    EXPECT_EQ(vmhostCheck(session->vm()), 1);
    EXPECT_EQ(takeProblems(), "GetStringUTFChars of a java.lang.String in native vmtest.Natives.keepChars"
                              "(Ljava/lang/String;)V was never released\n");
}

TEST_F(Checks, CriticalRegionsAreCheckedAndCopiedBack) {
    jbyteArray bytes = env()->NewByteArray(4);
    call("fill", "([BB)V", bytes, static_cast<jbyte>(9));
    jbyte back[4] = {};
    env()->GetByteArrayRegion(bytes, 0, 4, back);
    EXPECT_EQ(back[3], 9);
    EXPECT_EQ(takeProblems(), "");

    call("callInCritical", "([B)V", bytes);
    EXPECT_EQ(takeProblems(), "GetArrayLength was called inside a critical region in native "
                              "vmtest.Natives.callInCritical([B)V\n");
    env()->CallStaticIntMethod(natives, env()->GetStaticMethodID(natives, "keepCritical", "([B)I"), bytes);
    std::string problems = takeProblems();
    EXPECT_NE(problems.find("native vmtest.Natives.keepCritical([B)I returned inside a critical region"),
              std::string::npos);
    EXPECT_EQ(vmhostCheck(session->vm()), 1);
    EXPECT_NE(takeProblems().find("GetPrimitiveArrayCritical of a [B in native vmtest.Natives.keepCritical([B)I was "
                                  "never released"),
              std::string::npos);
}

TEST_F(Checks, AFramePushedAndNotPoppedIsReported) {
    call("pushWithoutPop", "()V");
    EXPECT_EQ(takeProblems(), "native vmtest.Natives.pushWithoutPop()V returned without popping 1 local frame(s) "
                              "(PushLocalFrame without PopLocalFrame)\n");
}

TEST_F(Checks, ArgumentsAreCheckedAgainstTheSignature) {
    call("wrongArgument", "()V");
    EXPECT_EQ(takeProblems(), "CallStaticVoidMethodV: argument 1 of vmtest.Natives.takeBytes([B)V is a java.lang.String, "
                              "not a [B\n");
}

// The C++ members of JNIEnv call the V forms.
TEST_F(Checks, CallsAreCheckedAgainstTheMethod) {
    jmethodID takeBytes = env()->GetStaticMethodID(natives, "takeBytes", "([B)V");
    env()->CallStaticIntMethod(natives, takeBytes, nullptr);
    EXPECT_EQ(takeProblems(), "CallStaticIntMethodV: vmtest.Natives.takeBytes([B)V returns void, not int\n");
    env()->CallVoidMethod(env()->NewStringUTF("x"), takeBytes, nullptr);
    EXPECT_EQ(takeProblems(), "CallVoidMethodV: vmtest.Natives.takeBytes([B)V is static\n");
    env()->CallStaticVoidMethod(natives, reinterpret_cast<jmethodID>(0x1234), nullptr);
    EXPECT_EQ(takeProblems(), "CallStaticVoidMethodV: the method id is not one this VM handed out\n");
}

TEST_F(Checks, ClassNamesMustBeInInternalForm) {
    EXPECT_EQ(env()->FindClass("java.lang.String"), nullptr);
    env()->ExceptionClear();
    EXPECT_EQ(env()->FindClass("Ljava/lang/String;"), nullptr);
    env()->ExceptionClear();
    EXPECT_EQ(takeProblems(), "FindClass: \"java.lang.String\" is not a class name in internal form (such as "
                              "java/lang/String)\n"
                              "FindClass: \"Ljava/lang/String;\" is not a class name in internal form (such as "
                              "java/lang/String)\n");
    EXPECT_NE(env()->FindClass("[Ljava/lang/String;"), nullptr);
}

TEST_F(Checks, AJniEnvUsedOnAnotherThreadIsReported) {
    JNIEnv *mine = env();
    std::thread other([mine] { mine->GetVersion(); });
    other.join();
    EXPECT_EQ(takeProblems(), "GetVersion: the JNIEnv of thread \"main\" was used on another thread\n");
}

// Run by LeakedReferences below: it must fail.
TEST_F(Checks, DISABLED_LeaksAGlobalReference) { call("leakGlobal", "(Ljava/lang/Object;)V", env()->NewStringUTF("x")); }

TEST(LeakedReferences, FailTheTestThatLeftThem) {
    ChildResult child = runProgram(thisProgramPath(), {"--gtest_also_run_disabled_tests",
                                                       "--gtest_filter=Checks.DISABLED_LeaksAGlobalReference"});
    EXPECT_EQ(child.exitCode, 1u);
    EXPECT_NE(child.out.find("[  FAILED  ] Checks.DISABLED_LeaksAGlobalReference"), std::string::npos) << child.out;
    EXPECT_NE(child.err.find("vmhost: global reference to a java.lang.String made in native "
                             "vmtest.Natives.leakGlobal(Ljava/lang/Object;)V was never deleted"),
              std::string::npos)
        << child.err;
}

CHILD_SCENARIO(unimplemented_slot) {
    VmSession session;
    jclass natives = session.defineClass("vmtest/Natives");
    session.addNative(natives, "enterMonitor", "()V");
    session.loadLibrary("vmtest_natives.dll");
    session.env()->CallStaticVoidMethod(natives, session.env()->GetStaticMethodID(natives, "enterMonitor", "()V"));
    return 0;
}

TEST(Traps, AnUnimplementedSlotStopsTheProcessNamingTheSlot) {
    ChildResult child = runScenario("unimplemented_slot");
    EXPECT_EQ(child.exitCode, abortExitCode);
    EXPECT_NE(child.err.find("vmhost: JNI function MonitorEnter is not implemented by this VM"), std::string::npos)
        << child.err;
}

} // namespace
