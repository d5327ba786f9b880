#include "recorder_driver.h"

#include <windows.h>

#include <cstdarg>

namespace {

std::vector<std::string> driverOptions(const std::string &agentOptions, std::vector<std::string> vmOptions) {
    std::string option = "-agentpath:" + besideProgram("qrn.dll");
    if (!agentOptions.empty())
        option += "=" + agentOptions;
    vmOptions.insert(vmOptions.begin(), option);
    return vmOptions;
}

// Every module's lines with their level and module, as a deployed runtime shows them.
void decorateLogLines() {
    HMODULE sarnik = GetModuleHandleA("sarnik.dll");
    using SetDecorations = void (*)(void *, int, int);
    auto set = reinterpret_cast<SetDecorations>(
        reinterpret_cast<void *>(GetProcAddress(sarnik, "_log_set_decorations")));
    if (set != nullptr)
        set(nullptr, -1, 3);
}

} // namespace

RecorderDriver::RecorderDriver(const std::string &agentOptions, const std::vector<std::string> &vmOptions)
    : session_(driverOptions(agentOptions, vmOptions)) {
    if (!session_.created())
        return;
    decorateLogLines();
    JNIEnv *e = env();
    jclass qrn = e->FindClass("melnor/vantrel/qrn/QRN");
    class_ = e->FindClass("melnor/vantrel/qrn/VMQRN");
    if (qrn == nullptr || class_ == nullptr)
        return;
    recorder_ = e->CallStaticObjectMethod(qrn, e->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;"));
    e->DeleteLocalRef(qrn);
    takeLog();
}

std::string takeException(JNIEnv *e, bool withClass) {
    jthrowable pending = e->ExceptionOccurred();
    if (pending == nullptr)
        return "";
    e->ExceptionClear();
    jclass c = e->GetObjectClass(pending);
    auto text = [e](jstring s) {
        if (s == nullptr)
            return std::string("null");
        const char *chars = e->GetStringUTFChars(s, nullptr);
        std::string result = chars;
        e->ReleaseStringUTFChars(s, chars);
        e->DeleteLocalRef(s);
        return result;
    };
    std::string result;
    if (withClass) {
        jclass classClass = e->FindClass("java/lang/Class");
        result = text(static_cast<jstring>(
                     e->CallObjectMethod(c, e->GetMethodID(classClass, "getName", "()Ljava/lang/String;")))) +
                 ": ";
        e->DeleteLocalRef(classClass);
    }
    result += text(static_cast<jstring>(
        e->CallObjectMethod(pending, e->GetMethodID(c, "getMessage", "()Ljava/lang/String;"))));
    e->DeleteLocalRef(c);
    e->DeleteLocalRef(pending);
    return result;
}

HANDLE holdRepositoryLock(const std::string &repository) {
    return CreateFileA((repository + "\\.lock").c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::vector<std::string> linesOf(const std::string &out, const std::string &key) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < out.size();) {
        size_t end = out.find("\r\n", at);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(at, end - at);
        if (line.rfind(key + " ", 0) == 0)
            lines.push_back(line.substr(key.size() + 1));
        at = end + 2;
    }
    return lines;
}

std::string lineValue(const std::string &out, const std::string &key) {
    std::vector<std::string> lines = linesOf(out, key);
    return lines.empty() ? "(missing " + key + ")" : lines.front();
}

bool eventually(const std::function<bool()> &done, int stepMillis) {
    for (int waited = 0; waited < 120000; waited += stepMillis) {
        if (done())
            return true;
        Sleep(DWORD(stepMillis));
    }
    return done();
}

const RecorderStatistics *RecorderDriver::statistics() {
    JNIEnv *e = env();
    jstring locale = e->NewStringUTF("en_US");
    jmethodID init = e->GetMethodID(class_, "init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;");
    jobject block = e->CallObjectMethod(recorder_, init, locale, 0);
    e->DeleteLocalRef(locale);
    return static_cast<const RecorderStatistics *>(e->GetDirectBufferAddress(block));
}

std::string RecorderDriver::call(const char *name, const char *signature, ...) {
    va_list args;
    va_start(args, signature);
    env()->CallVoidMethodV(recorder_, env()->GetMethodID(class_, name, signature), args);
    va_end(args);
    return takeException();
}

jboolean RecorderDriver::callBoolean(const char *name, const char *signature, ...) {
    va_list args;
    va_start(args, signature);
    jboolean result = env()->CallBooleanMethodV(recorder_, env()->GetMethodID(class_, name, signature), args);
    va_end(args);
    return result;
}

std::string RecorderDriver::start(bool keep) { return call("start", "(Z)V", jboolean(keep)); }
std::string RecorderDriver::stop() { return call("stop", "()V"); }
std::string RecorderDriver::rotate() { return call("rotate", "()V"); }
std::string RecorderDriver::enable(jint eventId) { return call("setEnabled", "(IZ)V", eventId, JNI_TRUE); }

std::string RecorderDriver::setRepositoryPath(const std::string &modifiedUtf8) {
    jstring path = env()->NewStringUTF(modifiedUtf8.c_str());
    std::string result = call("setRepositoryPath", "(Ljava/lang/String;)V", path);
    env()->DeleteLocalRef(path);
    return result;
}

std::string RecorderDriver::setRepositoryPathWide(const std::wstring &text) {
    jstring path = env()->NewString(reinterpret_cast<const jchar *>(text.data()), jsize(text.size()));
    std::string result = call("setRepositoryPath", "(Ljava/lang/String;)V", path);
    env()->DeleteLocalRef(path);
    return result;
}

int64_t RecorderDriver::hostFrequency() {
    using GetVars = int64_t (*)(int64_t *, double *);
    static int64_t frequency = 0;
    static double nanos = 0;
    if (frequency == 0) {
        auto get = reinterpret_cast<GetVars>(
            reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("tovane.dll"), "_timing_get_vars")));
        if (get != nullptr)
            get(&frequency, &nanos);
    }
    return frequency;
}

std::string RecorderDriver::takeLog() {
    std::string taken = takeCallLog();
    log_ += taken;
    return taken;
}

std::vector<std::string> RecorderDriver::finishedChunks(std::vector<bool> *newChunk) {
    takeLog();
    std::vector<std::string> chunks;
    const std::string marker = "finishChunk(";
    for (size_t at = log_.find(marker); at != std::string::npos; at = log_.find(marker, at + 1)) {
        size_t lineEnd = log_.find('\n', at);
        std::string line = log_.substr(at, lineEnd - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // "finishChunk(path, start, end, flag)": the path is the text before the first ".qrn".
        size_t from = marker.size();
        size_t qrn = line.find(".qrn", from);
        std::string path = line.substr(from, line.find(", ", qrn) - from);
        const std::string part = ".part";
        if (path.size() > part.size() && path.compare(path.size() - part.size(), part.size(), part) == 0)
            path.resize(path.size() - part.size());
        chunks.push_back(path);
        if (newChunk != nullptr)
            newChunk->push_back(line.size() >= 5 && line.compare(line.size() - 5, 5, "true)") == 0);
    }
    return chunks;
}
