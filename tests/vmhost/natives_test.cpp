// A JNI library loaded as the VM loads it: natives found by their short and long JNI names (here
// with __stdcall decoration) or registered, called with the arguments their signature gives.
#include <cmath>

#include "vm_session.h"

namespace {

class Natives : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        natives = session->defineClass("vmtest/Natives");
        registered = session->defineClass("vmtest/Registered");
        for (auto [name, signature] : std::initializer_list<std::pair<const char *, const char *>>{
                 {"mix", "(IJZ)J"}, {"sum", "(BCSIJFD)D"}, {"half", "(F)F"},
                 {"echo", "(Ljava/lang/String;)Ljava/lang/String;"}, {"over", "(I)I"}, {"over", "(Ljava/lang/String;)I"},
                 {"under_score", "(I)I"}, {"callBack", "(JI)J"}, {"frames", "()Ljava/lang/Object;"}, {"missing", "()V"}})
            session->addNative(natives, name, signature);
        session->addMethod(natives, "combine", "(JIZ)J", 0x8, [](JNIEnv *, jobject, const jvalue *args) {
            return jvalueOf(args[0].j * 10 + args[1].i + (args[2].z ? 1 : 0));
        });
        session->addMethod(natives, "unloaded", "()V", 0x8, [this](JNIEnv *, jobject, const jvalue *) {
            ++unloads;
            return jvalue{};
        });
        session->addNative(registered, "mix", "(IJZ)J");
        session->addNative(registered, "twice", "(I)I");
        ASSERT_TRUE(session->loadLibrary("vmtest_natives.dll"));
    }

    jmethodID method(const char *name, const char *signature) { return env()->GetStaticMethodID(natives, name, signature); }

    jclass natives = nullptr;
    jclass registered = nullptr;
    int unloads = 0;
};

TEST_F(Natives, IntLongBooleanArgumentsArriveIntact) {
    jmethodID mix = method("mix", "(IJZ)J");
    EXPECT_EQ(env()->CallStaticLongMethod(natives, mix, 0x12345678, 0x0123456789ABCDEFLL, JNI_TRUE),
              (0x0123456789ABCDEFLL ^ (0x12345678LL << 16)) + 1);
    EXPECT_EQ(env()->CallStaticLongMethod(natives, mix, -1, static_cast<jlong>(-2), JNI_FALSE), -2LL ^ (-1LL << 16));
    jvalue args[3];
    args[0].i = 7;
    args[1].j = 0x7FFFFFFFFFFFFFFFLL;
    args[2].z = JNI_TRUE;
    EXPECT_EQ(env()->CallStaticLongMethodA(natives, mix, args), (0x7FFFFFFFFFFFFFFFLL ^ (7LL << 16)) + 1);
}

TEST_F(Natives, EveryPrimitiveTypeAndFloatingResults) {
    jdouble sum = env()->CallStaticDoubleMethod(natives, method("sum", "(BCSIJFD)D"), static_cast<jbyte>(-3),
                                                static_cast<jchar>(0xFFFF), static_cast<jshort>(-300), -70000,
                                                static_cast<jlong>(1) << 40, 0.5f, 0.25);
    EXPECT_DOUBLE_EQ(sum, -3.0 + 65535 - 300 - 70000 + std::ldexp(1.0, 40) + 0.5 + 0.25);
    EXPECT_FLOAT_EQ(env()->CallStaticFloatMethod(natives, method("half", "(F)F"), 3.0f), 1.5f);
}

TEST_F(Natives, StringsGoBothWays) {
    jstring text = env()->NewStringUTF("h\xc3\xa9llo");
    auto answer = static_cast<jstring>(
        env()->CallStaticObjectMethod(natives, method("echo", "(Ljava/lang/String;)Ljava/lang/String;"), text));
    const char *chars = env()->GetStringUTFChars(answer, nullptr);
    EXPECT_STREQ(chars, "h\xc3\xa9llo!");
    env()->ReleaseStringUTFChars(answer, chars);
    EXPECT_EQ(env()->GetStringLength(answer), 6);
}

TEST_F(Natives, OverloadsBindByLongNamesAndUnderscoresAreEscaped) {
    EXPECT_EQ(env()->CallStaticIntMethod(natives, method("over", "(I)I"), 41), 42);
    EXPECT_EQ(env()->CallStaticIntMethod(natives, method("over", "(Ljava/lang/String;)I"), env()->NewStringUTF("abc")),
              3);
    EXPECT_EQ(env()->CallStaticIntMethod(natives, method("under_score", "(I)I"), 5), -5);
}

TEST_F(Natives, NativesCallBackIntoJavaInEveryForm) {
    // plain form with z = true, array form with z = false
    EXPECT_EQ(env()->CallStaticLongMethod(natives, method("callBack", "(JI)J"), static_cast<jlong>(4), 2),
              43 * 1000 + 42);
}

TEST_F(Natives, PopLocalFrameKeepsItsResult) {
    jobject kept = env()->CallStaticObjectMethod(natives, method("frames", "()Ljava/lang/Object;"));
    const char *chars = env()->GetStringUTFChars(static_cast<jstring>(kept), nullptr);
    EXPECT_STREQ(chars, "kept");
    env()->ReleaseStringUTFChars(static_cast<jstring>(kept), chars);
}

TEST_F(Natives, AMissingNativeThrowsUnsatisfiedLinkError) {
    env()->CallStaticVoidMethod(natives, method("missing", "()V"));
    jthrowable thrown = env()->ExceptionOccurred();
    env()->ExceptionClear();
    ASSERT_NE(thrown, nullptr);
    EXPECT_TRUE(env()->IsInstanceOf(thrown, env()->FindClass("java/lang/UnsatisfiedLinkError")));
}

TEST_F(Natives, RegisteredNativesAreCalledAndAWrongPrototypeIsReported) {
    EXPECT_EQ(env()->CallStaticIntMethod(registered, env()->GetStaticMethodID(registered, "twice", "(I)I"), 21), 42);
    EXPECT_EQ(takeProblems(), "");
    env()->CallStaticLongMethod(registered, env()->GetStaticMethodID(registered, "mix", "(IJZ)J"), 1, 2LL, JNI_TRUE);
    EXPECT_EQ(takeProblems(), "native vmtest.Registered.mix(IJZ)J took 12 bytes of arguments off the stack instead of "
                              "24: its C prototype or calling convention does not match\n");
}

TEST_F(Natives, RegisterNativesChecksNameSignatureAndNativeness) {
    JNINativeMethod wrong[] = {{const_cast<char *>("twice"), const_cast<char *>("(J)I"), reinterpret_cast<void *>(1)}};
    EXPECT_EQ(env()->RegisterNatives(registered, wrong, 1), JNI_ERR);
    EXPECT_TRUE(env()->ExceptionCheck());
    env()->ExceptionClear();
    session->addMethod(registered, "plain", "()V", 0x8, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    JNINativeMethod notNative[] = {{const_cast<char *>("plain"), const_cast<char *>("()V"), reinterpret_cast<void *>(1)}};
    EXPECT_EQ(env()->RegisterNatives(registered, notNative, 1), JNI_ERR);
    env()->ExceptionClear();
}

TEST_F(Natives, JniOnUnloadRunsAtTheVmExit) {
    EXPECT_EQ(unloads, 0);
    EXPECT_EQ(session->destroy(), JNI_OK);
    EXPECT_EQ(unloads, 1);
}

TEST(NativesOfARefusedLibrary, AreForgotten) {
    takeProblems();
    VmSession session;
    JNIEnv *env = session.env();
    jclass registered = session.defineClass("vmtest/Registered");
    session.addNative(registered, "twice", "(I)I");
    session.addNative(registered, "mix", "(IJZ)J");
    session.defineClass("vmtest/RefuseLoad");
    EXPECT_FALSE(session.loadLibrary("vmtest_natives.dll"));
    jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(thrown, env->FindClass("java/lang/UnsatisfiedLinkError")));
    // The registration went with the library: the call finds nothing rather than unloaded code.
    env->CallStaticIntMethod(registered, env->GetStaticMethodID(registered, "twice", "(I)I"), 1);
    thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(thrown, env->FindClass("java/lang/UnsatisfiedLinkError")));
    session.destroy();
    EXPECT_EQ(takeProblems(), "");
}

TEST_F(Natives, ALibraryLoadsOnce) {
    ASSERT_TRUE(session->loadLibrary("vmtest_natives.dll"));
    EXPECT_FALSE(session->loadLibrary("no-such-library.dll"));
    jthrowable thrown = env()->ExceptionOccurred();
    env()->ExceptionClear();
    EXPECT_TRUE(env()->IsInstanceOf(thrown, env()->FindClass("java/lang/UnsatisfiedLinkError")));
    EXPECT_EQ(session->destroy(), JNI_OK);
    EXPECT_EQ(unloads, 1);
}

} // namespace
