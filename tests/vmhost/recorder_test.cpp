// The recorder interface the VM hands to the flight-recorder agent, the events the VM writes into
// the agent's thread buffers, and the Java recorder classes the VM plays.
#include <cstring>
#include <thread>

#include "test_paths.h"
#include "vm_session.h"

namespace {

// An agent entry table with one 48-byte thread buffer for every thread.
struct FakeAgent {
    unsigned char storage[48] = {};
    QrnThreadBufferView view{};
    std::string flushed;
    int releases = 0;
    jint exitReady = 1;
};
FakeAgent fake;

QrnThreadBufferView *JNICALL getThreadBuffer() { return &fake.view; }
void JNICALL flushThreadBuffer() {
    fake.flushed.append(reinterpret_cast<char *>(fake.view.flushed), fake.view.pos - fake.view.flushed);
    fake.view.flushed = fake.view.pos = fake.view.start;
}
void JNICALL releaseThreadBuffer() { ++fake.releases; }
jint JNICALL exitReady() { return fake.exitReady; }

const QrnAgent agentTable = [] {
    QrnAgent table{};
    table.tag = QRN_AGENT_TAG;
    table.getThreadBuffer = getThreadBuffer;
    table.flushThreadBuffer = flushThreadBuffer;
    table.releaseThreadBuffer = releaseThreadBuffer;
    table.exitReady = exitReady;
    return table;
}();

std::uint64_t bigEndian(const unsigned char *at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | at[i];
    return value;
}

class Recorder : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        fake = FakeAgent{};
        fake.view.start = fake.view.flushed = fake.view.pos = fake.storage;
        fake.view.end = fake.storage + sizeof fake.storage;
        void *word = const_cast<QrnAgent *>(&agentTable);
        ASSERT_EQ(session->vm()->GetEnv(&word, QRN_INTERFACE_VERSION), JNI_OK);
        recorder = static_cast<QrnInterface *>(word);
    }

    QrnInterface *recorder = nullptr;
};

TEST_F(Recorder, TheInterfaceAnswersTheAgentsTable) {
    EXPECT_EQ(recorder->magic, PRODUCER_MAGIC);
    EXPECT_EQ(vmhostRecorderAgent(session->vm()), &agentTable);
    void *word = nullptr;
    EXPECT_EQ(session->vm()->GetEnv(&word, QRN_INTERFACE_VERSION), JNI_EINVAL);
    EXPECT_EQ(word, nullptr);
    EXPECT_EQ(takeProblems(), "GetEnv for the recorder interface was not given the agent's entry table (first word "
                              "0x0FE10770)\n");
}

TEST_F(Recorder, TheProducerDescribesConsecutiveEventsWithSettings) {
    const QrnProducer *producer = recorder->getProducer();
    ASSERT_GE(producer->eventCount, 2u);
    for (unsigned i = 1; i < producer->eventCount; ++i)
        EXPECT_EQ(producer->events[i].id, producer->events[0].id + i);
    QrnEventSetting *settings = recorder->getEventSettings();
    static_assert(sizeof(QrnEventSetting) == 16);
    settings[producer->eventCount - 1].enabled = 1; // the whole array is the agent's to write
    for (unsigned i = 0; i < producer->eventCount; ++i) {
        const QrnEventDescriptor &event = producer->events[i];
        bool requestable = (event.flags[QRN_EVENT_REQUESTABLE] & 0xFF) != 0;
        EXPECT_EQ(recorder->setPeriod(static_cast<jint>(event.id), 1000), requestable ? 1 : 0) << event.id;
    }
    EXPECT_EQ(recorder->setPeriod(static_cast<jint>(producer->events[0].id + producer->eventCount), 1000), 0);
    EXPECT_NE(takeProblems().find("recorder operation setPeriod got the event id"), std::string::npos);
}

TEST_F(Recorder, EnabledEventsAreWrittenIntoTheThreadBufferAndFlushedWhenFull) {
    const QrnProducer *producer = recorder->getProducer();
    jint classLoad = static_cast<jint>(producer->events[1].id);
    const unsigned char payload[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(vmhostRecordEvent(env(), classLoad, payload, sizeof payload), 0);
    recorder->getEventSettings()[1].enabled = 1;
    EXPECT_EQ(vmhostRecordEvent(env(), classLoad, payload, sizeof payload), 1);
    ASSERT_EQ(fake.view.pos - fake.view.start, 24);
    EXPECT_EQ(bigEndian(fake.storage, 4), 24u);
    EXPECT_EQ(bigEndian(fake.storage + 4, 4), static_cast<std::uint64_t>(classLoad));
    EXPECT_NE(bigEndian(fake.storage + 8, 8), 0u);
    EXPECT_EQ(memcmp(fake.storage + 16, payload, 8), 0);
    EXPECT_EQ(vmhostRecordEvent(env(), classLoad, payload, sizeof payload), 1);
    EXPECT_EQ(fake.flushed.size(), 0u);
    EXPECT_EQ(vmhostRecordEvent(env(), classLoad, payload, sizeof payload), 1);
    EXPECT_EQ(fake.flushed.size(), 48u);
    EXPECT_EQ(fake.view.pos - fake.view.start, 24);
    unsigned char large[40] = {};
    EXPECT_EQ(vmhostRecordEvent(env(), classLoad, large, sizeof large), 0);
}

TEST_F(Recorder, RequestedEventsAndIds) {
    const QrnProducer *producer = recorder->getProducer();
    recorder->getEventSettings()[2].enabled = 1;
    recorder->requestEvent(recorder, static_cast<jint>(producer->events[2].id));
    EXPECT_EQ(fake.view.pos - fake.view.start, 24);
    EXPECT_EQ(bigEndian(fake.storage + 16, 4), 1u); // live threads: main

    jclass string = env()->FindClass("java/lang/String");
    jlong id = recorder->classId(recorder, string);
    EXPECT_NE(id, 0);
    EXPECT_EQ(recorder->classId(recorder, env()->FindClass("java/lang/String")), id);
    EXPECT_NE(recorder->classId(recorder, env()->FindClass("java/lang/Thread")), id);
    EXPECT_NE(recorder->stackTraceId(recorder, 0), recorder->stackTraceId(recorder, 0));
    recorder->chunkFinishing(nullptr);
    EXPECT_EQ(takeProblems(), "recorder operation chunkFinishing was not given the recorder interface itself\n");
    EXPECT_EQ(takeCallLog(), "recorder.requestEvent(12)\nrecorder.chunkFinishing()\n");
}

TEST_F(Recorder, AThreadThatEndsReleasesItsBuffer) {
    JavaVM *vm = session->vm();
    std::thread other([vm] {
        JNIEnv *env = nullptr;
        vm->AttachCurrentThread(reinterpret_cast<void **>(&env), nullptr);
        vm->DetachCurrentThread();
    });
    other.join();
    EXPECT_EQ(fake.releases, 1);
}

// The recorder natives, as the agent registers them, answering what the played Java side asks.
std::string nativeCalls;
unsigned char statistics[64];
std::string repository;

jobject JNICALL initNative(JNIEnv *env, jobject, jstring locale, jint value) {
    const char *chars = env->GetStringUTFChars(locale, nullptr);
    nativeCalls += "init(" + std::string(chars) + ", " + std::to_string(value) + ") ";
    env->ReleaseStringUTFChars(locale, chars);
    return env->NewDirectByteBuffer(statistics, sizeof statistics);
}
jobject JNICALL optionsNative(JNIEnv *env, jobject) {
    nativeCalls += "options ";
    jclass options = env->FindClass("melnor/vantrel/qrn/NativeOptions");
    jmethodID constructor = env->GetMethodID(options, "<init>", "(Ljava/lang/String;[Ljava/lang/String;ZJIIIZJJ)V");
    return env->NewObject(options, constructor, env->NewStringUTF(repository.c_str()), nullptr, JNI_TRUE,
                          static_cast<jlong>(12582912), 462848, 5120, 22, JNI_FALSE, static_cast<jlong>(0),
                          static_cast<jlong>(0));
}
void JNICALL setRepositoryPathNative(JNIEnv *env, jobject, jstring path) {
    const char *chars = env->GetStringUTFChars(path, nullptr);
    nativeCalls += std::string("setRepositoryPath(") + (std::string(chars) == repository ? "the repository" : chars) + ") ";
    env->ReleaseStringUTFChars(path, chars);
}
void JNICALL startNative(JNIEnv *, jobject, jboolean keep) { nativeCalls += keep ? "start(true) " : "start(false) "; }
void JNICALL shutdownNative(JNIEnv *, jobject) { nativeCalls += "shutdown "; }
void JNICALL otherNative() {}

// Registers the 26 recorder natives with the signatures the agent uses.
jint registerRecorderNatives(JNIEnv *env) {
    struct Native {
        const char *name;
        const char *signature;
        void *function;
    };
    const Native natives[] = {
        {"options", "()Lmelnor/vantrel/qrn/Options;", reinterpret_cast<void *>(optionsNative)},
        {"init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;", reinterpret_cast<void *>(initNative)},
        {"setRepositoryPath", "(Ljava/lang/String;)V", reinterpret_cast<void *>(setRepositoryPathNative)},
        {"classID", "(Ljava/lang/Class;)J", nullptr}, {"stackTraceID", "(I)J", nullptr}, {"threadID", "()I", nullptr},
        {"rotate", "()V", nullptr}, {"shutdown", "()V", reinterpret_cast<void *>(shutdownNative)},
        {"start", "(Z)V", reinterpret_cast<void *>(startNative)}, {"stop", "()V", nullptr},
        {"onCloneRecording", "()V", nullptr}, {"onStartRecording", "()V", nullptr}, {"onStopRecording", "()V", nullptr},
        {"add", "(I[BII)V", nullptr}, {"remove", "(I)V", nullptr}, {"buffer", "()Ljava/nio/ByteBuffer;", nullptr},
        {"flush", "()V", nullptr}, {"write", "([BII)V", nullptr}, {"setEnabled", "(IZ)V", nullptr},
        {"setThreshold", "(IJ)V", nullptr}, {"setPeriod", "(IJ)V", nullptr}, {"getPeriod", "(I)J", nullptr},
        {"descriptors", "(I[Ljava/nio/ByteBuffer;)I", nullptr}, {"addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", nullptr},
        {"removeConstPool", "(I)V", nullptr}, {"storeConstPool", "(I)Z", nullptr},
    };
    std::vector<JNINativeMethod> table;
    for (const Native &native : natives)
        table.push_back({const_cast<char *>(native.name), const_cast<char *>(native.signature),
                         native.function != nullptr ? native.function : reinterpret_cast<void *>(otherNative)});
    return env->RegisterNatives(env->FindClass("melnor/vantrel/qrn/VMQRN"), table.data(), static_cast<jint>(table.size()));
}

TEST_F(Recorder, TheJavaRecorderDrivesTheNativesAndTakesFinishedChunksOver) {
    TempDir dir;
    repository = dir.path();
    nativeCalls.clear();
    jclass vmqrn = env()->FindClass("melnor/vantrel/qrn/VMQRN");
    ASSERT_EQ(registerRecorderNatives(env()), JNI_OK);

    jclass qrn = env()->FindClass("melnor/vantrel/qrn/QRN");
    jobject made = env()->CallStaticObjectMethod(qrn, env()->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;"));
    ASSERT_TRUE(env()->IsInstanceOf(made, vmqrn));
    EXPECT_EQ(nativeCalls, "init(en_US, 0) options setRepositoryPath(the repository) start(true) ");

    writeTextFile(dir.file("1.qrn.part"), "first");
    writeTextFile(dir.file("2.qrn.part"), "second");
    jmethodID finishChunk = env()->GetMethodID(vmqrn, "finishChunk", "(Ljava/lang/String;JJZ)V");
    env()->CallVoidMethod(made, finishChunk, env()->NewStringUTF(dir.file("1.qrn.part").c_str()), static_cast<jlong>(1),
                          static_cast<jlong>(2), JNI_TRUE);
    env()->CallVoidMethod(made, finishChunk, env()->NewStringUTF(dir.file("2.qrn.part").c_str()), static_cast<jlong>(2),
                          static_cast<jlong>(3), JNI_FALSE);
    EXPECT_EQ(readTextFile(dir.file("1.qrn")), "first");
    jmethodID dump = env()->GetMethodID(vmqrn, "dumpRecording", "(Ljava/lang/String;JLjava/lang/String;Z)V");
    env()->CallVoidMethod(made, dump, env()->NewStringUTF("on exit"), static_cast<jlong>(0),
                          env()->NewStringUTF(dir.file("dump.qrn").c_str()), JNI_FALSE);
    EXPECT_FALSE(env()->ExceptionCheck());
    EXPECT_EQ(readTextFile(dir.file("dump.qrn")), "firstsecond");
    std::string calls = takeCallLog();
    EXPECT_NE(calls.find("melnor.vantrel.qrn.VMQRN.finishChunk(" + dir.file("2.qrn.part") + ", 2, 3, false)"),
              std::string::npos)
        << calls;

    session->destroy();
    EXPECT_EQ(nativeCalls.substr(nativeCalls.size() - 9), "shutdown ");
}

TEST_F(Recorder, ARecorderNotReadyToExitGetsItsJavaSideMade) {
    TempDir dir;
    repository = dir.path();
    nativeCalls.clear();
    ASSERT_EQ(registerRecorderNatives(env()), JNI_OK);
    fake.exitReady = 0;
    session->destroy();
    EXPECT_EQ(nativeCalls, "init(en_US, 0) options setRepositoryPath(the repository) start(true) shutdown ");
}

} // namespace
