// The process and timing natives in the VM: the process id, and the counter registered by init
// with the frequency it returns.
#include <gtest/gtest.h>

#include <windows.h>

#include "vm_session.h"

namespace {

class ProcessTiming : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        ASSERT_TRUE(session->loadLibrary("sarnik.dll"));
    }
};

TEST_F(ProcessTiming, GetpidIsTheProcessId) {
    jclass process = env()->FindClass("melnor/vantrel/os/Process");
    EXPECT_EQ(env()->CallStaticIntMethod(process, env()->GetStaticMethodID(process, "getpid", "()I")),
              static_cast<jint>(GetCurrentProcessId()));
}

TEST_F(ProcessTiming, InitRegistersACounterThatTicksAtTheFrequencyItReturns) {
    jclass timing = env()->FindClass("melnor/vantrel/os/Timing");
    const jlong frequency = env()->CallStaticLongMethod(timing, env()->GetStaticMethodID(timing, "init", "()J"));
    ASSERT_GT(frequency, 0);
    jmethodID counterTime = env()->GetStaticMethodID(timing, "counterTime", "()J");
    LARGE_INTEGER platformFrequency, platformStart, platformEnd;
    QueryPerformanceFrequency(&platformFrequency);
    QueryPerformanceCounter(&platformStart);
    const jlong start = env()->CallStaticLongMethod(timing, counterTime);
    jlong last = start;
    for (int i = 0; i < 2000; ++i) {
        const jlong now = env()->CallStaticLongMethod(timing, counterTime);
        ASSERT_GE(now, last) << "call " << i;
        last = now;
    }
    Sleep(300);
    const jlong end = env()->CallStaticLongMethod(timing, counterTime);
    QueryPerformanceCounter(&platformEnd);
    ASSERT_GE(end, last);
    // The platform's counter spans the counter's interval: the seconds agree within a tolerance.
    const double seconds = static_cast<double>(end - start) / static_cast<double>(frequency);
    const double platformSeconds = static_cast<double>(platformEnd.QuadPart - platformStart.QuadPart) /
                                   static_cast<double>(platformFrequency.QuadPart);
    EXPECT_GE(seconds, 0.25);
    EXPECT_LE(seconds, platformSeconds * 1.1 + 0.05);
    EXPECT_GE(seconds, platformSeconds * 0.9 - 0.05);
}

TEST_F(ProcessTiming, InitOnAClassWithoutTheCounterReturnsZeroWithTheErrorPending) {
    jclass other = session->defineClass("vmtest/NoCounter");
    session->addNative(other, "init", "()J");
    HMODULE sarnik = GetModuleHandleA("sarnik.dll");
    ASSERT_NE(sarnik, nullptr);
    JNINativeMethod init = {const_cast<char *>("init"), const_cast<char *>("()J"),
                            reinterpret_cast<void *>(GetProcAddress(sarnik, "Java_melnor_vantrel_os_Timing_init"))};
    ASSERT_NE(init.fnPtr, nullptr);
    ASSERT_EQ(env()->RegisterNatives(other, &init, 1), JNI_OK);
    EXPECT_EQ(env()->CallStaticLongMethod(other, env()->GetStaticMethodID(other, "init", "()J")), 0);
    jthrowable pending = env()->ExceptionOccurred();
    ASSERT_NE(pending, nullptr);
    env()->ExceptionClear();
    EXPECT_TRUE(env()->IsInstanceOf(pending, env()->FindClass("java/lang/NoSuchMethodError")));
}

} // namespace
