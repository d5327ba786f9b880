// Starts the VM as a Java launcher would: agents and libraries from the command line, the VM's
// initialisation, a short run in which the VM records events and collects garbage, and the exit.
// With -threads it also records from that many Java threads of its own; with -chunks it ends by
// reading the chunk files the recorder finished; with -untilperiodic the run goes on until the
// recorder has asked for a periodic event (at most two minutes). With -management it prints what the management
// natives read. Prints what the played Java classes were asked to do and any problem the checks
// found.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "chunk_reader.h"
#include "vmhost.h"

namespace {

void usage() {
    fputs("usage: vmhost [-agentpath:<dll>[=<options>]]... [-library:<dll>]... [-Xvmhost:exitwait=<ms>]\n"
          "              [-Xvmhost:stopwait=<ms>] [-run:<ms>] [-untilperiodic] [-recorder] [-management]\n",
          stderr);
}

jobject newObject(JNIEnv *env, const char *className) {
    jclass cls = env->FindClass(className);
    jobject object = cls != nullptr ? env->NewObject(cls, env->GetMethodID(cls, "<init>", "()V")) : nullptr;
    env->DeleteLocalRef(cls);
    return object;
}

jlong callLong(JNIEnv *env, jobject object, const char *name, const char *signature) {
    jclass cls = env->GetObjectClass(object);
    jmethodID method = env->GetMethodID(cls, name, signature);
    env->DeleteLocalRef(cls);
    jlong value = signature[2] == 'I' ? env->CallIntMethod(object, method) : env->CallLongMethod(object, method);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return -1;
    }
    return value;
}

// What the Java management classes read through the management natives: a few heap, thread and
// processor figures and the machine's network interfaces.
void printManagement(JNIEnv *env) {
    jobject jvm = newObject(env, "zun/vexil/JVMImpl");
    jclass jvmClass = env->GetObjectClass(jvm);
    env->CallVoidMethod(jvm, env->GetMethodID(jvmClass, "init", "()V"));
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return;
    }
    jobject memory = newObject(env, "zun/vexil/MemorySystemImpl");
    printf("Management (heap, threads and machine are the VM stand-in's figures; the network interfaces are "
           "this machine's):\n  heap: initial %lld, used %lld, total %lld, maximum %lld bytes\n",
           callLong(env, memory, "getInitialHeapSize", "()J"), callLong(env, memory, "getUsedHeapSize", "()J"),
           callLong(env, memory, "getTotalHeapSize", "()J"), callLong(env, memory, "getMaxHeapSize", "()J"));
    jobject threads = newObject(env, "zun/vexil/ThreadSystemImpl");
    printf("  threads: %lld live, %lld daemon\n", callLong(env, threads, "getTotalThreadCount", "()I"),
           callLong(env, threads, "getDaemonThreadCount", "()I"));
    jobject machine = newObject(env, "zun/vexil/MachineImpl");
    printf("  machine (the VM stand-in's): %lld processors, %lld bytes of physical memory\n", callLong(env, machine, "getNumCPUS", "()I"),
           callLong(env, machine, "getTotalPhysicalMemory", "()J"));
    // Interface indexes are small numbers; ask for the first few.
    jclass nicClass = env->FindClass("zun/vexil/NICImpl");
    env->CallStaticVoidMethod(nicClass, env->GetStaticMethodID(nicClass, "initIDs", "()V"));
    jmethodID init = env->GetMethodID(nicClass, "init", "(I)V");
    jfieldID mac = env->GetFieldID(nicClass, "mac", "Ljava/lang/String;");
    jfieldID mtu = env->GetFieldID(nicClass, "mtu", "J");
    for (jint index = 1; index <= 16; ++index) {
        jobject nic = newObject(env, "zun/vexil/NICImpl");
        env->CallVoidMethod(nic, init, index);
        auto text = static_cast<jstring>(env->GetObjectField(nic, mac));
        jlong size = env->GetLongField(nic, mtu);
        if (size != 0) {
            const char *chars = env->GetStringUTFChars(text, nullptr);
            printf("  network interface %d: mac \"%s\", mtu %lld\n", static_cast<int>(index), chars, size);
            env->ReleaseStringUTFChars(text, chars);
        }
        env->DeleteLocalRef(text);
        env->DeleteLocalRef(nic);
    }
    env->CallVoidMethod(jvm, env->GetMethodID(jvmClass, "destroy", "()V"));
    for (jobject ref : {jvm, static_cast<jobject>(jvmClass), memory, threads, machine, static_cast<jobject>(nicClass)})
        env->DeleteLocalRef(ref);
}

constexpr jint classLoadEvent = 11;

void putU32(unsigned char *at, unsigned value) {
    for (int i = 3; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

// A Java thread of the program: class-load events numbered {thread id, sequence from 1}, a burst
// every millisecond until told to stop.
void producer(JavaVM *vm, const std::atomic<bool> *stop, unsigned *written) {
    JNIEnv *env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void **>(&env), nullptr) != JNI_OK)
        return;
    unsigned char payload[48] = {};
    putU32(payload, GetCurrentThreadId());
    unsigned sequence = 0;
    while (!stop->load()) {
        for (int i = 0; i < 20; ++i) {
            putU32(payload + 4, ++sequence);
            *written += vmhostRecordEvent(env, classLoadEvent, payload, sizeof payload) != 0 ? 1 : 0;
        }
        Sleep(1);
    }
    vm->DetachCurrentThread();
}

int64_t counterFrequency() {
    using GetVars = int64_t (*)(int64_t *, double *);
    HMODULE osLayer = GetModuleHandleA("tovane.dll");
    auto get = osLayer != nullptr ? reinterpret_cast<GetVars>(
                                        reinterpret_cast<void *>(GetProcAddress(osLayer, "_timing_get_vars")))
                                  : nullptr;
    int64_t frequency = 0;
    double nanos = 0;
    if (get != nullptr)
        get(&frequency, &nanos);
    return frequency;
}

std::string takeAll(jint (*take)(char *, jint));

// Each finished chunk as the chunk reader finds it; false when one is not sound.
bool printChunks(int64_t frequency) {
    std::istringstream paths(takeAll(vmhostTakeFinishedChunks));
    unsigned chunks = 0;
    unsigned long long totalEvents = 0, totalLost = 0, totalBytes = 0;
    bool sound = true;
    printf("Recorded:\n");
    for (std::string path; std::getline(paths, path);) {
        ChunkContents contents;
        std::string problem = checkChunkFile(path, frequency, &contents);
        ++chunks;
        totalBytes += contents.bytes.size();
        if (!problem.empty()) {
            printf("  %s: %u bytes, not a sound chunk: %s\n", path.c_str(), unsigned(contents.bytes.size()),
                   problem.c_str());
            sound = false;
            continue;
        }
        std::map<uint32_t, unsigned> events;
        unsigned long long lost = 0, count = 0;
        for (const ChunkRecord &record : contents.records) {
            if (record.type == 2)
                lost += bigEndian(record.data + 20, 4);
            else if (record.type != 1)
                ++events[record.type], ++count;
        }
        std::string byEvent;
        for (const auto &entry : events)
            byEvent += (byEvent.empty() ? "" : ", ") + std::string("event ") + std::to_string(entry.first) + ": " +
                       std::to_string(entry.second);
        printf("  %s: %u bytes, %llu events (%s), %llu bytes lost\n", path.c_str(), unsigned(contents.bytes.size()),
               count, byEvent.c_str(), lost);
        totalEvents += count;
        totalLost += lost;
    }
    printf("  %u chunks, %llu bytes, %llu events, %llu bytes lost\n", chunks, totalBytes, totalEvents, totalLost);
    return sound && chunks > 0;
}

std::string takeAll(jint (*take)(char *, jint)) {
    std::vector<char> text;
    jint length = 0;
    do {
        text.assign(static_cast<size_t>(take(nullptr, 0)) + 1, '\0');
        length = take(text.data(), static_cast<jint>(text.size()));
    } while (static_cast<size_t>(length) >= text.size());
    return std::string(text.data(), static_cast<size_t>(length));
}

void printText(const char *title, const std::string &text) {
    if (!text.empty())
        printf("%s:\n%s", title, text.c_str());
}

void printTaken(const char *title, jint (*take)(char *, jint)) { printText(title, takeAll(take)); }

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> vmOptions;
    std::vector<std::string> libraries;
    long runMs = 0;
    bool recorder = false;
    bool management = false;
    bool chunks = false;
    bool untilPeriodic = false;
    long threads = 0;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("-library:", 0) == 0) {
            libraries.push_back(argument.substr(9));
        } else if (argument.rfind("-run:", 0) == 0) {
            char *end = nullptr;
            runMs = strtol(argument.c_str() + 5, &end, 10);
            if (*end != '\0' || runMs < 0) {
                usage();
                return 2;
            }
        } else if (argument.rfind("-threads:", 0) == 0) {
            char *end = nullptr;
            threads = strtol(argument.c_str() + 9, &end, 10);
            if (*end != '\0' || threads < 0 || threads > 64) {
                usage();
                return 2;
            }
        } else if (argument == "-chunks") {
            chunks = true;
        } else if (argument == "-untilperiodic") {
            untilPeriodic = true;
        } else if (argument == "-recorder") {
            recorder = true;
        } else if (argument == "-management") {
            management = true;
        } else if (argument.rfind("-agentpath:", 0) == 0 || argument.rfind("-Xvmhost:", 0) == 0) {
            vmOptions.push_back(argument);
        } else {
            usage();
            return 2;
        }
    }

    std::vector<JavaVMOption> options(vmOptions.size());
    for (size_t i = 0; i < vmOptions.size(); ++i)
        options[i].optionString = vmOptions[i].data();
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    JavaVM *vm = nullptr;
    JNIEnv *env = nullptr;
    jint created = JNI_CreateJavaVM(&vm, reinterpret_cast<void **>(&env), &args);
    if (created != JNI_OK) {
        fprintf(stderr, "vmhost: the VM did not start (%d)\n", created);
        printTaken("Problems", vmhostTakeProblems);
        return 1;
    }
    for (const std::string &library : libraries) {
        if (vmhostLoadLibrary(env, library.c_str()) != 0) {
            env->ExceptionDescribe();
            fprintf(stderr, "vmhost: could not load %s\n", library.c_str());
        }
    }
    if (recorder) {
        // What the Java side does first when a recording is configured: make the recorder.
        jclass qrn = env->FindClass("melnor/vantrel/qrn/QRN");
        jmethodID get = env->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;");
        jobject made = env->CallStaticObjectMethod(qrn, get);
        if (env->ExceptionCheck())
            env->ExceptionDescribe();
        env->DeleteLocalRef(made);
        env->DeleteLocalRef(qrn);
    }
    if (management)
        printManagement(env);
    int64_t frequency = counterFrequency();
    std::atomic<bool> stop{false};
    std::vector<unsigned> written(static_cast<size_t>(threads), 0);
    std::vector<std::thread> producers;
    for (long i = 0; i < threads; ++i)
        producers.emplace_back(producer, vm, &stop, &written[static_cast<size_t>(i)]);
    // A busy VM: events every 10 ms, a collection every 100 ms.
    unsigned char payload[8] = {};
    std::string calls;
    auto waiting = [&](long elapsed) {
        if (elapsed < runMs)
            return true;
        if (!untilPeriodic || elapsed >= runMs + 120000)
            return false;
        // The log comes in whole lines: only the new ones can hold the call.
        const std::string taken = takeAll(vmhostTakeCallLog);
        calls += taken;
        return taken.find("recorder.requestEvent(") == std::string::npos;
    };
    for (long elapsed = 0; waiting(elapsed); elapsed += 10) {
        vmhostRecordEvent(env, classLoadEvent, payload, sizeof payload);
        if (elapsed % 100 == 0)
            vmhostCollectGarbage(env, JNI_FALSE, JNI_FALSE);
        Sleep(10);
    }
    stop = true;
    for (std::thread &t : producers)
        t.join();
    for (size_t i = 0; i < written.size(); ++i)
        printf("Thread %u wrote %u events\n", static_cast<unsigned>(i + 1), written[i]);
    jint destroyed = vm->DestroyJavaVM();
    calls += takeAll(vmhostTakeCallLog);
    printText("Calls", calls);
    bool recorded = !chunks || printChunks(frequency);
    jint problems = vmhostProblemCount();
    printTaken("Problems", vmhostTakeProblems);
    return destroyed == JNI_OK && problems == 0 && recorded ? 0 : 1;
}
