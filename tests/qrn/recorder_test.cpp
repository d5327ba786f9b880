// The agent's descriptors and periodic events, driven through the recorder natives in the VM.
#include <windows.h>

#include <cstdio>
#include <string>

#include "child_process.h"
#include "recorder_driver.h"

namespace {

class Bytes {
public:
    void u8(unsigned v) { s_.push_back(static_cast<char>(v & 0xff)); }
    void u32(unsigned v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            u8(v >> shift);
    }
    void text(const std::string &t) {
        u8(unsigned(t.size()) >> 8);
        u8(unsigned(t.size()));
        s_ += t;
    }
    size_t size() const { return s_.size(); }
    const std::string &str() const { return s_; }

private:
    std::string s_;
};

// The VM host's producer, laid out field by field: head, strings, groups, events, further entries.
std::string expectedBlob(size_t *eventOffset) {
    Bytes b;
    b.u32(1);
    b.text("Vantrel VM");
    b.text("Events of the virtual machine");
    b.text("http://www.melnor.com/vantrel/vm/");
    b.u32(2);
    b.text("vm");
    b.text("gc");
    b.u32(1);
    b.u32(1);
    b.text("vm/gc");
    b.text("Garbage collector");
    b.text("Collections and their pauses");
    b.u8(1);
    b.u8(0);
    b.u32(0);
    b.u32(0);
    b.u32(0);
    *eventOffset = b.size();
    b.u32(4);
    struct {
        unsigned id;
        const char *name, *description, *path;
        unsigned flags[4];
    } events[] = {
        {10, "Garbage Collection", "A collection of the heap", "vm/gc/collection", {1, 1, 0, 0}},
        {11, "Class Load", "A class was loaded", "vm/class/load", {1, 1, 0, 0}},
        {12, "Thread Count", "Live and daemon threads", "vm/runtime/thread_count", {0, 0, 0, 1}},
        {13, "CPU Load", "Load of the machine and the VM", "vm/os/cpu_load", {0, 0, 0, 1}},
    };
    for (const auto &e : events) {
        b.u32(e.id);
        b.text(e.name);
        b.text(e.description);
        b.text(e.path);
        for (unsigned flag : e.flags)
            b.u8(flag);
        b.u32(0);
        b.u32(0);
    }
    b.u32(1);
    b.u32(1);
    b.text("duration");
    b.text("Ticks");
    b.u8(1);
    b.u32(8);
    return b.str();
}

std::string hex(const std::string &bytes) {
    std::string out;
    char digits[4];
    for (unsigned char c : bytes) {
        snprintf(digits, sizeof digits, "%02x", c);
        out += digits;
    }
    return out;
}

struct Recorder {
    JNIEnv *env;
    jclass cls;
    jobject object;
    jmethodID method(const char *name, const char *signature) { return env->GetMethodID(cls, name, signature); }
};

// Prints one line per finding for the test to compare.
CHILD_SCENARIO(qrn_recorder) {
    VmSession session({"-agentpath:" + besideProgram("qrn.dll")});
    if (!session.created())
        return 1;
    JNIEnv *env = session.env();
    jclass qrn = env->FindClass("melnor/vantrel/qrn/QRN");
    Recorder r{env, env->FindClass("melnor/vantrel/qrn/VMQRN"),
               env->CallStaticObjectMethod(qrn, env->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;"))};
    takeCallLog();

    jclass bufferClass = env->FindClass("java/nio/ByteBuffer");
    jobjectArray buffers = env->NewObjectArray(2, bufferClass, nullptr);
    jint offset = env->CallIntMethod(r.object, r.method("descriptors", "(I[Ljava/nio/ByteBuffer;)I"), 1, buffers);
    jobject blob = env->GetObjectArrayElement(buffers, 1);
    jobject settings = env->GetObjectArrayElement(buffers, 0);
    std::string bytes(static_cast<const char *>(env->GetDirectBufferAddress(blob)),
                      size_t(env->GetDirectBufferCapacity(blob)));
    printf("blob %s\nevents at %d\nsettings %d\n", hex(bytes).c_str(), int(offset),
           int(env->GetDirectBufferCapacity(settings)));

    jmethodID setEnabled = r.method("setEnabled", "(IZ)V");
    env->CallVoidMethod(r.object, setEnabled, 14, JNI_TRUE);
    printf("setEnabled 14: %s\n", takeException(env, false).c_str());
    env->CallVoidMethod(r.object, setEnabled, 9, JNI_TRUE);
    printf("setEnabled 9: %s\n", takeException(env, false).c_str());

    jmethodID setPeriod = r.method("setPeriod", "(IJ)V");
    jmethodID getPeriod = r.method("getPeriod", "(I)J");
    env->CallVoidMethod(r.object, setPeriod, 10, jlong(100));
    env->CallVoidMethod(r.object, setPeriod, 12, jlong(200));
    printf("periods %lld %lld %lld\n", (long long)env->CallLongMethod(r.object, getPeriod, 10),
           (long long)env->CallLongMethod(r.object, getPeriod, 12),
           (long long)env->CallLongMethod(r.object, getPeriod, 13));
    takeCallLog();
    // Three periods' requests.
    std::string log;
    int requests = 0;
    eventually([&] {
        log += takeCallLog();
        requests = 0;
        for (size_t at = log.find("recorder.requestEvent(12)"); at != std::string::npos;
             at = log.find("recorder.requestEvent(12)", at + 1))
            ++requests;
        return requests >= 3;
    });
    env->CallVoidMethod(r.object, setPeriod, 12, jlong(0));
    printf("requests %d\n", requests);
    fflush(stdout);
    return session.destroy() == JNI_OK ? 0 : 2;
}

TEST(Recorder, DescriptorsPeriodsAndIds) {
    ChildResult child = runScenario("qrn_recorder");
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    size_t eventOffset = 0;
    std::string blob = expectedBlob(&eventOffset);
    EXPECT_NE(child.out.find("blob " + hex(blob) + "\r\n"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("events at " + std::to_string(eventOffset) + "\r\n"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("settings 64\r\n"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("setEnabled 14: Illegal id 14\r\n"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("setEnabled 9: Illegal id 9\r\n"), std::string::npos) << child.out;
    // Event 10 is not requestable: no period is kept for it.
    EXPECT_NE(child.out.find("periods 0 200 0\r\n"), std::string::npos) << child.out;
    // The periodic event is requested again and again.
    size_t at = child.out.find("requests ");
    ASSERT_NE(at, std::string::npos) << child.out;
    EXPECT_GE(std::stoi(child.out.substr(at + 9)), 3) << child.out;
}

} // namespace
