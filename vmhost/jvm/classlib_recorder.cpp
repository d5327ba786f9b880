// The Java recorder classes the agent binds and calls, played by the VM: the recorder object is a
// VMQRN made by QRN.get, which calls the init, options and setRepositoryPath natives and, for a
// default recording, start; finishChunk takes the finished chunk over (drops ".part").
#include "classlib.h"
#include "recorder.h"

namespace vm {
namespace {

jvalue getRecorder(Vm &vm, Call &call) {
    RecorderState &state = recorderOf(vm);
    if (state.recorder != nullptr)
        return objectValue(state.recorder);
    JavaThread &thread = call.thread;
    Object *recorder = newObject(thread, "melnor/vantrel/qrn/VMQRN", "()V", {});
    state.recorder = recorder;
    callMethod(thread, recorder, "init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;",
               {objectValue(newStringUtf(vm, "en_US")), intValue(0)});
    if (thread.pendingException != nullptr)
        return jvalue{};
    Object *options = reinterpret_cast<Object *>(
        callMethod(thread, recorder, "options", "()Lmelnor/vantrel/qrn/Options;", {}).l);
    if (thread.pendingException != nullptr)
        return jvalue{};
    std::string repository = stringUtf(getObjectField(vm, options, "repository"));
    if (options == nullptr || repository == "null") {
        char temp[MAX_PATH];
        DWORD length = GetTempPathA(sizeof temp, temp);
        repository = std::string(temp, length) + "vantrel_qrn_" + std::to_string(GetCurrentProcessId());
    }
    CreateDirectoryA(repository.c_str(), nullptr);
    state.repository = repository;
    callMethod(thread, recorder, "setRepositoryPath", "(Ljava/lang/String;)V",
               {objectValue(newStringUtf(vm, repository))});
    if (thread.pendingException != nullptr)
        return jvalue{};
    {
        std::lock_guard guard(vm.lock);
        vm.shutdownHooks.push_back(ShutdownHook{[recorder](JNIEnv *env) {
            callMethod(*reinterpret_cast<ThreadEnv *>(env)->thread, recorder, "shutdown", "()V", {});
        }});
    }
    if (options != nullptr && (getField(vm, options, "defaultRecording").z || getField(vm, options, "disk").z))
        callMethod(thread, recorder, "start", "(Z)V", {booleanValue(true)});
    callLog("melnor.vantrel.qrn.QRN.get() made the recorder with the repository " + repository);
    return objectValue(recorder);
}

jvalue finishChunk(Vm &vm, Call &call) {
    logCall(call);
    std::string path = stringUtf(call.object(0));
    const std::string suffix = ".part";
    std::string finished = path;
    if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
        finished = path.substr(0, path.size() - suffix.size());
        if (!MoveFileExA(path.c_str(), finished.c_str(), MOVEFILE_REPLACE_EXISTING))
            finished = path;
    }
    chunkFinished(finished);
    std::lock_guard guard(vm.lock);
    recorderOf(vm).chunks.push_back(finished);
    return jvalue{};
}

jvalue dumpRecording(Vm &vm, Call &call) {
    logCall(call);
    std::vector<std::string> chunks;
    {
        std::lock_guard guard(vm.lock);
        chunks = recorderOf(vm).chunks;
    }
    if (chunks.empty()) {
        throwNew(call.thread, "java/lang/IllegalStateException", "no recording to dump");
        return jvalue{};
    }
    std::string path = stringUtf(call.object(2));
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        throwNew(call.thread, "java/lang/IllegalStateException", "cannot create " + path);
        return jvalue{};
    }
    for (const std::string &chunk : chunks) {
        HANDLE in = CreateFileA(chunk.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in == INVALID_HANDLE_VALUE)
            continue;
        char buffer[4096];
        DWORD got = 0;
        DWORD written = 0;
        while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
            WriteFile(out, buffer, got, &written, nullptr);
        CloseHandle(in);
    }
    CloseHandle(out);
    return jvalue{};
}

} // namespace

void defineRecorderClasses(Vm &vm) {
    Body nothing = [](Call &) { return jvalue{}; };
    define(vm, "melnor/vantrel/qrn/Options", "java/lang/Object", ACC_PUBLIC | ACC_ABSTRACT).method("<init>", "()V", nothing);
    define(vm, "melnor/vantrel/qrn/NativeOptions", "melnor/vantrel/qrn/Options")
        .recordConstructor("(Ljava/lang/String;[Ljava/lang/String;ZJIIIZJJ)V",
                           {"repository", "settings", "defaultRecording", "maxChunkSize", "globalBufferSize",
                            "threadBufferSize", "numGlobalBuffers", "disk", "maxAge", "maxSize"});

    define(vm, "melnor/vantrel/qrn/QRN", "java/lang/Object", ACC_PUBLIC | ACC_ABSTRACT)
        .method("<init>", "()V", nothing)
        .staticMethod("get", "()Lmelnor/vantrel/qrn/QRN;", [&vm](Call &call) { return getRecorder(vm, call); });
    define(vm, "melnor/vantrel/qrn/QRNImpl", "melnor/vantrel/qrn/QRN", ACC_PUBLIC | ACC_ABSTRACT)
        .method("<init>", "()V", nothing)
        .logged("onNewChunk", "()V")
        .method("reCreateRepository", "()V", [&vm](Call &call) {
            logCall(call);
            CreateDirectoryA(recorderOf(vm).repository.c_str(), nullptr);
            return jvalue{};
        });

    define(vm, "melnor/vantrel/qrn/VMQRN", "melnor/vantrel/qrn/QRNImpl")
        .method("<init>", "()V", nothing)
        .method("finishChunk", "(Ljava/lang/String;JJZ)V", [&vm](Call &call) { return finishChunk(vm, call); })
        .method("startRecording", "(Ljava/lang/String;[Ljava/lang/String;ZJJLjava/lang/String;ZJJ)J",
                [&vm](Call &call) {
                    logCall(call);
                    std::lock_guard guard(vm.lock);
                    return longValue(recorderOf(vm).nextRecordingId++);
                })
        .logged("stopRecording", "(Ljava/lang/String;JZLjava/lang/String;Z)V")
        .method("checkRecording", "(Ljava/lang/String;JZ)Ljava/lang/String;",
                [&vm](Call &call) {
                    logCall(call);
                    return objectValue(newStringUtf(vm, "recording " + std::to_string(call.args[1].j)));
                })
        .method("dumpRecording", "(Ljava/lang/String;JLjava/lang/String;Z)V",
                [&vm](Call &call) { return dumpRecording(vm, call); })
        .native("options", "()Lmelnor/vantrel/qrn/Options;")
        .native("init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;")
        .native("setRepositoryPath", "(Ljava/lang/String;)V")
        .native("classID", "(Ljava/lang/Class;)J")
        .native("stackTraceID", "(I)J")
        .native("threadID", "()I")
        .native("rotate", "()V")
        .native("shutdown", "()V")
        .native("start", "(Z)V")
        .native("stop", "()V")
        .native("onCloneRecording", "()V")
        .native("onStartRecording", "()V")
        .native("onStopRecording", "()V")
        .native("add", "(I[BII)V")
        .native("remove", "(I)V")
        .native("buffer", "()Ljava/nio/ByteBuffer;")
        .native("flush", "()V")
        .native("write", "([BII)V")
        .native("setEnabled", "(IZ)V")
        .native("setThreshold", "(IJ)V")
        .native("setPeriod", "(IJ)V")
        .native("getPeriod", "(I)J")
        .native("descriptors", "(I[Ljava/nio/ByteBuffer;)I")
        .native("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V")
        .native("removeConstPool", "(I)V")
        .native("storeConstPool", "(I)Z");
}

} // namespace vm
