// Events per second and MB/s from VM threads through the recorder's buffers into chunk files,
// against the limit measured in the same run: one thread copying the same bytes into a buffer and
// writing it with WriteFile. Each configuration runs in a process of its own, whose VM loads the
// agent with that configuration's options. Unthrottled writers outrun any disk, so most of their
// bytes are dropped; the steady cases offer half the limit, which the recorder should keep whole.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "vmhost.h"

#include "bench_timer.h"

namespace {

constexpr size_t totalBytes = size_t{128} << 20;
constexpr jint gcEvent = 10;
constexpr size_t limitBuffer = 462848;

struct Statistics {
    uint64_t finishedChunkBytes, lostBytes, writtenBytes, threadBufferAllocated, threadBufferReleased;
    uint32_t chunksFinished, flushes, directWrites, reserved1, bufferWrites, reserved2;
};

std::string programDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path, length);
    return text.substr(0, text.rfind('\\'));
}

std::string tempDirectory(const char *name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + name + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void removeDirectory(const std::string &directory) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA((directory + "\\" + found.cFileName).c_str());
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(directory.c_str());
}

void putU32(unsigned char *at, uint32_t value) {
    for (int i = 3; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

// Writes events into its thread buffer as the VM's own code does, through the agent's entries:
// straight at the buffer's position, with a flush when the next event does not fit.
// With a rate (bytes a second) the writer keeps to its schedule, waiting when ahead of it.
void writer(JavaVM *vm, size_t eventSize, size_t events, double rate) {
    JNIEnv *env = nullptr;
    vm->AttachCurrentThread(reinterpret_cast<void **>(&env), nullptr);
    const QrnAgent *agent = vmhostRecorderAgent(vm);
    QrnThreadBufferView *buffer = agent->getThreadBuffer();
    std::vector<unsigned char> event(eventSize, 0x5a);
    putU32(event.data(), uint32_t(eventSize));
    putU32(event.data() + 4, uint32_t(gcEvent));
    putU32(event.data() + 16, GetCurrentThreadId());
    LARGE_INTEGER from, now, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&from);
    for (size_t i = 1; buffer != nullptr && i <= events; ++i) {
        if (rate > 0) {
            double due = double(i * eventSize) / rate;
            for (;;) {
                QueryPerformanceCounter(&now);
                if (double(now.QuadPart - from.QuadPart) / double(frequency.QuadPart) >= due)
                    break;
                YieldProcessor();
            }
        }
        if (size_t(buffer->end - buffer->pos) < eventSize) {
            agent->flushThreadBuffer();
            if (size_t(buffer->end - buffer->pos) < eventSize)
                continue;
        }
        putU32(event.data() + 12, uint32_t(i)); // the low half of the time field
        putU32(event.data() + 20, uint32_t(i));
        memcpy(buffer->pos, event.data(), eventSize);
        buffer->pos += eventSize;
    }
    vm->DetachCurrentThread();
}

jmethodID method(JNIEnv *env, jclass c, const char *name, const char *signature) {
    return env->GetMethodID(c, name, signature);
}

// One configuration in this process: "time events recordBytes lostBytes". A rate (bytes a second
// over all writers) paces them.
int runConfiguration(const char *options, int writers, size_t eventSize, double rate) {
    std::string repository = tempDirectory("qrn_bench_");
    std::string option = "-agentpath:" + programDirectory() + "\\qrn.dll=repository=" + repository;
    if (*options != '\0')
        option += std::string(",") + options;
    JavaVMOption vmOption{const_cast<char *>(option.c_str()), nullptr};
    JavaVMInitArgs args{JNI_VERSION_1_6, 1, &vmOption, JNI_FALSE};
    JavaVM *vm = nullptr;
    JNIEnv *env = nullptr;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void **>(&env), &args) != JNI_OK)
        return 1;
    jclass qrn = env->FindClass("melnor/vantrel/qrn/QRN");
    jclass c = env->FindClass("melnor/vantrel/qrn/VMQRN");
    jobject recorder = env->CallStaticObjectMethod(qrn, env->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;"));
    jobject block = env->CallObjectMethod(recorder, method(env, c, "init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;"),
                                          env->NewStringUTF("en_US"), 0);
    auto *statistics = static_cast<const Statistics *>(env->GetDirectBufferAddress(block));
    env->CallVoidMethod(recorder, method(env, c, "start", "(Z)V"), JNI_FALSE);
    if (env->ExceptionCheck() || statistics == nullptr)
        return 1;
    size_t events = totalBytes / eventSize / size_t(writers);
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    std::vector<std::thread> threads;
    for (int i = 0; i < writers; ++i)
        threads.emplace_back(writer, vm, eventSize, events, rate / writers);
    for (std::thread &t : threads)
        t.join();
    // The shutdown writes what is buffered into the last chunk; the stop waits for it.
    env->CallVoidMethod(recorder, method(env, c, "shutdown", "()V"));
    env->CallVoidMethod(recorder, method(env, c, "stop", "()V"));
    env->ExceptionClear();
    QueryPerformanceCounter(&to);
    double seconds = secondsBetween(from, to);
    unsigned long long written = statistics->writtenBytes, lost = statistics->lostBytes;
    printf("%.6f %llu %llu %llu\n", seconds, (unsigned long long)(events * size_t(writers)), written, lost);
    fflush(stdout);
    vm->DestroyJavaVM();
    removeDirectory(repository);
    return 0;
}

// The same bytes, event by event, into a buffer that WriteFile empties when full.
double limitSeconds(size_t eventSize) {
    std::string directory = tempDirectory("qrn_limit_");
    std::string path = directory + "\\limit.bin";
    std::vector<unsigned char> buffer(limitBuffer), event(eventSize, 0x5a);
    return timedStep([&] {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        size_t used = 0;
        bool ok = true;
        DWORD wrote = 0;
        for (size_t done = 0; ok && done + eventSize <= totalBytes; done += eventSize) {
            if (buffer.size() - used < eventSize) {
                ok = WriteFile(file, buffer.data(), DWORD(used), &wrote, nullptr) != 0;
                used = 0;
            }
            putU32(event.data() + 20, uint32_t(done));
            memcpy(buffer.data() + used, event.data(), eventSize);
            used += eventSize;
        }
        ok = ok && WriteFile(file, buffer.data(), DWORD(used), &wrote, nullptr) != 0;
        CloseHandle(file);
        DeleteFileA(path.c_str());
        RemoveDirectoryA(directory.c_str());
        return ok;
    });
}

bool runChild(const char *options, int writers, size_t eventSize, double rate, std::string &out) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    char rateText[32];
    snprintf(rateText, sizeof rateText, "%.0f", rate);
    std::string command = std::string("\"") + self + "\" --run \"" + options + "\" " + std::to_string(writers) + " " +
                          std::to_string(eventSize) + " " + rateText;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return false;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process) != 0;
    CloseHandle(write);
    if (!started) {
        CloseHandle(read);
        return false;
    }
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(read, chunk, sizeof chunk, &got, nullptr) && got > 0)
        out.append(chunk, got);
    CloseHandle(read);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code == 0;
}

struct Measured {
    double seconds = 0;
    unsigned long long events = 0, written = 0, lost = 0;
};

// One configuration in a child process. A failure prints the row's head (the buffers column only
// when named) and what the child said.
bool measure(const char *name, const char *options, int writers, size_t eventSize, double rate, Measured &m) {
    std::string out;
    if (runChild(options, writers, eventSize, rate, out) &&
        sscanf(out.c_str(), "%lf %llu %llu %llu", &m.seconds, &m.events, &m.written, &m.lost) == 4)
        return true;
    if (name != nullptr)
        printf("%-8s ", name);
    printf("%7d %5zu failed: %s\n", writers, eventSize, out.c_str());
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 6 && strcmp(argv[1], "--run") == 0)
        return runConfiguration(argv[2], atoi(argv[3]), size_t(atoi(argv[4])), atof(argv[5]));
    struct Configuration {
        const char *name, *options;
    } configurations[] = {
        {"default", ""},
        {"small", "threadbuffersize=2048,globalbuffersize=8192,numglobalbuffers=3"},
    };
    printf("qrn_bench: %zu MB of events from VM threads into chunk files; limit = one thread copying the same\n"
           "bytes into a buffer and writing them with WriteFile\n",
           totalBytes >> 20);
    printf("%-8s %7s %5s %12s %9s %9s %6s %12s\n", "buffers", "writers", "event", "events/s", "MB/s", "limit", "ratio",
           "lost bytes");
    int status = 0;
    // Each size's limit is measured once, with the first table, and serves the steady cases too.
    constexpr size_t eventSizes[] = {64, 512};
    double limits[std::size(eventSizes)] = {};
    for (size_t i = 0; i < std::size(eventSizes); ++i) {
        size_t eventSize = eventSizes[i];
        double limit = limits[i] = double(totalBytes) / limitSeconds(eventSize) / 1e6;
        for (const Configuration &configuration : configurations) {
            for (int writers : {1, 2, 4, 8}) {
                Measured m;
                if (!measure(configuration.name, configuration.options, writers, eventSize, 0, m)) {
                    status = 1;
                    continue;
                }
                double stored = double(m.events) - double(m.lost) / double(eventSize);
                double megabytes = double(m.written) / m.seconds / 1e6;
                printf("%-8s %7d %5zu %12.0f %9.1f %9.1f %6.2f %12llu\n", configuration.name, writers, eventSize,
                       stored / m.seconds, megabytes, limit, megabytes / limit, m.lost);
                fflush(stdout);
            }
        }
    }
    // Writers at half the limit: the share of bytes lost (goal: none) and the throughput kept
    // against the limit (goal: 0.5).
    printf("\nsteady: default buffers, writers together offering half the limit\n");
    printf("%7s %5s %9s %9s %9s %6s %11s\n", "writers", "event", "offered", "kept MB/s", "limit", "ratio", "lost share");
    for (size_t i = 0; i < std::size(eventSizes); ++i) {
        size_t eventSize = eventSizes[i];
        double limit = limits[i];
        double offered = limit / 2;
        for (int writers : {1, 4}) {
            Measured m;
            if (!measure(nullptr, "", writers, eventSize, offered * 1e6, m)) {
                status = 1;
                continue;
            }
            double megabytes = double(m.written) / m.seconds / 1e6;
            double share = double(m.lost) / (double(m.events) * double(eventSize));
            printf("%7d %5zu %9.1f %9.1f %9.1f %6.2f %11.4f\n", writers, eventSize, offered, megabytes, limit,
                   megabytes / limit, share);
            fflush(stdout);
        }
    }
    return status;
}
