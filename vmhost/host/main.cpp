// Starts the VM as a Java launcher would: agents and libraries from the command line, the VM's
// initialisation, a short run in which the VM records events and collects garbage, and the exit.
// With -management it also prints what the management natives read.
// Prints what the played Java classes were asked to do and any problem the checks found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vmhost.h"

namespace {

void usage() {
    fputs("usage: vmhost [-agentpath:<dll>[=<options>]]... [-library:<dll>]... [-Xvmhost:exitwait=<ms>]\n"
          "              [-run:<ms>] [-recorder] [-management]\n",
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
    printf("Management:\n  heap: initial %lld, used %lld, total %lld, maximum %lld bytes\n",
           callLong(env, memory, "getInitialHeapSize", "()J"), callLong(env, memory, "getUsedHeapSize", "()J"),
           callLong(env, memory, "getTotalHeapSize", "()J"), callLong(env, memory, "getMaxHeapSize", "()J"));
    jobject threads = newObject(env, "zun/vexil/ThreadSystemImpl");
    printf("  threads: %lld live, %lld daemon\n", callLong(env, threads, "getTotalThreadCount", "()I"),
           callLong(env, threads, "getDaemonThreadCount", "()I"));
    jobject machine = newObject(env, "zun/vexil/MachineImpl");
    printf("  machine: %lld processors, %lld bytes of physical memory\n", callLong(env, machine, "getNumCPUS", "()I"),
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

void printTaken(const char *title, jint (*take)(char *, jint)) {
    std::vector<char> text;
    jint length = 0;
    do {
        text.assign(static_cast<size_t>(take(nullptr, 0)) + 1, '\0');
        length = take(text.data(), static_cast<jint>(text.size()));
    } while (static_cast<size_t>(length) >= text.size());
    if (length > 0)
        printf("%s:\n%s", title, text.data());
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> vmOptions;
    std::vector<std::string> libraries;
    long runMs = 0;
    bool recorder = false;
    bool management = false;
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
    // A busy VM: events every 10 ms, a collection every 100 ms.
    unsigned char payload[8] = {};
    for (long elapsed = 0; elapsed < runMs; elapsed += 10) {
        vmhostRecordEvent(env, 11, payload, sizeof payload);
        if (elapsed % 100 == 0)
            vmhostCollectGarbage(env, JNI_FALSE, JNI_FALSE);
        Sleep(10);
    }
    jint destroyed = vm->DestroyJavaVM();
    printTaken("Calls", vmhostTakeCallLog);
    jint problems = vmhostProblemCount();
    printTaken("Problems", vmhostTakeProblems);
    return destroyed == JNI_OK && problems == 0 ? 0 : 1;
}
