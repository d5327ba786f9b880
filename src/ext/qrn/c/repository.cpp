// The repository directory: its path, the lock file that serialises chunk creation among
// processes, temporary chunk names, the re-creation of a vanished repository through Java, and
// the dump of the recording when the VM ends.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "agent_state.h"
#include "osal/fio.h"
#include "osal/os_error.h"
#include "osal/os_info.h"
#include "osal/osal_assert.h"
#include "osal/thread.h"
#include "osal/timing.h"

namespace {

constexpr char sourceName[] = "src/ext/qrn/c/repository";
constexpr int createNew = FIO_WRITE_ONLY | FIO_CREATE_NEW;
constexpr int ownerOnly = 0600;
// How long a chunk waits for a lock another process holds before it gives up.
constexpr int64_t lockWaitMillis = 5000;

// The file layer's form (ANSI code page) and the form Java and the VM see (modified UTF-8).
constinit char repositoryAnsi[QRN_PATH_SIZE] = {};
constinit char repositoryText[QRN_PATH_SIZE] = {};
constinit bool inited = false;

bool isMissingError(int error) { return error == 2 || error == 3 || error == 5 || error == 206; }
bool isExistsError(int error) { return error == 183 || error == 80; }

void reCreateRepository() {
    JNIEnv *env = qrnState.bufferThreadJni;
    jclass c = env->FindClass("melnor/vantrel/qrn/QRNImpl");
    if (c == nullptr) {
        assertReport("c != NULL", sourceName, 76, "re_create_repository", nullptr);
        return;
    }
    jmethodID reCreate = env->GetMethodID(c, "reCreateRepository", "()V");
    if (reCreate == nullptr) {
        assertReport("reCreateRepository != NULL", sourceName, 79, "re_create_repository", nullptr);
        env->DeleteLocalRef(c);
        return;
    }
    if (qrnState.javaRecorder != nullptr)
        env->CallVoidMethod(qrnState.javaRecorder, reCreate);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
    env->DeleteLocalRef(c);
    qrnLog(QRN_INFO, "Re-created Flight Recorder repository %s", repositoryText);
    qrnLog(QRN_INFO, "Use Flight Recorder options to store the repository in a persistant location");
}

void currentRepository(char *ansi) {
    osMutexLock(&qrnState.chunkLock);
    memcpy(ansi, repositoryAnsi, QRN_PATH_SIZE);
    osMutexUnlock(&qrnState.chunkLock);
}

// Held while chunks are created: an open handle no one else may share, deleted when closed, so
// that the lock ends with its holder however that ends. A file no one holds is no lock.
constinit HANDLE lockHandle = INVALID_HANDLE_VALUE;
constinit SYSTEMTIME requestedAt = {};

// False when the repository has no usable path or the lock stays held too long.
bool lockRepository() {
    int64_t deadline = timingGetCurrentTimeMillis() + lockWaitMillis;
    bool reCreated = false;
    for (;;) {
        char repository[QRN_PATH_SIZE];
        char lockName[268];
        currentRepository(repository);
        int length = snprintf(lockName, sizeof lockName, "%s\\.lock", repository);
        if (length < 0 || size_t(length) >= sizeof lockName) {
            qrnLog(QRN_ERROR, "Could not create chunk. Name too long.");
            return false;
        }
        HANDLE handle = CreateFileA(lockName, GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            lockHandle = handle;
            return true;
        }
        int error = osGetLastError();
        // One re-creation a chunk: a repository that stays unusable must not call Java for ever.
        if (isMissingError(error) && !reCreated) {
            reCreated = true;
            reCreateRepository();
            continue;
        }
        if (timingGetCurrentTimeMillis() >= deadline) {
            qrnLog(QRN_ERROR, "Could not lock repository \"%s\" (%d)", repositoryText, error);
            return false;
        }
        threadSleep(1);
    }
}

FioHandle createNamed(const char *name) { return fio_open_perm(name, createNew, ownerOnly); }

} // namespace

int qrnSetRepositoryPath(const char *modifiedUtf8, const jchar *chars, jsize length) {
    size_t textLength = strlen(modifiedUtf8);
    char ansi[QRN_PATH_SIZE];
    BOOL lossy = FALSE;
    int ansiLength = 0;
    bool ok = textLength < QRN_PATH_SIZE;
    for (jsize i = 0; ok && i < length; ++i)
        ok = chars[i] != 0; // a NUL would cut the name short and create the files elsewhere
    if (ok && length > 0) {
        // A UTF-8 code page expresses every name, and takes neither the flag nor the question.
        bool utf8 = GetACP() == CP_UTF8;
        ansiLength = WideCharToMultiByte(CP_ACP, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWCH>(chars),
                                         length, ansi, QRN_PATH_SIZE - 1, nullptr, utf8 ? nullptr : &lossy);
        ok = ansiLength > 0 && !lossy;
    }
    if (!ok) {
        qrnLog(QRN_ERROR, "Could not store repository path %s", modifiedUtf8);
        return -1;
    }
    ansi[ansiLength] = '\0';
    osMutexLock(&qrnState.chunkLock);
    memcpy(repositoryAnsi, ansi, size_t(ansiLength) + 1);
    memcpy(repositoryText, modifiedUtf8, textLength + 1);
    inited = true;
    osMutexUnlock(&qrnState.chunkLock);
    return 0;
}

const char *qrnRepositoryPath(void) { return repositoryText; }

jstring qrnNewPathString(JNIEnv *env, const char *ansiPath) {
    wchar_t wide[QRN_PATH_SIZE];
    int length = MultiByteToWideChar(CP_ACP, 0, ansiPath, -1, wide, QRN_PATH_SIZE);
    if (length <= 0)
        return nullptr;
    return env->NewString(reinterpret_cast<const jchar *>(wide), length - 1);
}

bool qrnLockRepository(void) {
    if (!inited) {
        assertReport("inited", sourceName, 136, "new_temp_chunk", nullptr);
        return false;
    }
    GetLocalTime(&requestedAt);
    return lockRepository();
}

void qrnUnlockRepository(void) {
    if (lockHandle == INVALID_HANDLE_VALUE)
        return;
    int error = osGetLastError();
    CloseHandle(lockHandle);
    lockHandle = INVALID_HANDLE_VALUE;
    osSetLastError(error);
}

FioHandle qrnCreateTempChunk(char *path) {
    if (lockHandle == INVALID_HANDLE_VALUE)
        return FIO_INVALID_HANDLE;
    const SYSTEMTIME &now = requestedAt;
    char repository[QRN_PATH_SIZE];
    currentRepository(repository);
    FioHandle result = FIO_INVALID_HANDLE;
    char suffix[16] = "";
    for (int attempt = 0;; ++attempt) {
        char name[QRN_PATH_SIZE];
        int length = snprintf(name, sizeof name, "%s\\%d_%02d_%02d_%02d_%02d_%02d_%d%s.qrn.part", repository,
                              now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                              osGetProcessID(), suffix);
        if (length < 0 || size_t(length) >= sizeof name) {
            qrnLog(QRN_ERROR, "Could not create chunk. Name too long.");
            break;
        }
        memcpy(path, name, size_t(length) + 1);
        char reserved[QRN_PATH_SIZE];
        memcpy(reserved, name, size_t(length) - 5);
        reserved[length - 5] = '\0';
        FioHandle handle = createNamed(reserved);
        if (handle != FIO_INVALID_HANDLE) {
            fio_close(handle);
            handle = createNamed(name);
            if (handle != FIO_INVALID_HANDLE) {
                qrnLog(QRN_DEBUG, "Created temporary chunk \"%s\"", name);
                result = handle;
                break;
            }
            int error = osGetLastError();
            fio_delete(reserved);
            osSetLastError(error);
        }
        int error = osGetLastError();
        if (isExistsError(error) && attempt < 100000) {
            snprintf(suffix, sizeof suffix, "_%d", attempt);
            continue;
        }
        char text[256];
        osGetErrorString(unsigned(error), text, sizeof text);
        qrnLog(QRN_ERROR, "Could not open new chunk \"%s\"", name);
        qrnLog(QRN_ERROR, "OS message: %s (%d)", text, error);
        osSetLastError(error);
        break;
    }
    return result;
}

void qrnDumpRecording(JNIEnv *env, jstring name, jlong id, jstring path, jboolean flag) {
    if (!qrnEnsureJavaRecorder(env))
        return;
    env->CallVoidMethod(qrnState.javaRecorder, qrnState.dumpRecording, name, id, path, flag);
}

void qrnShutdown(JNIEnv *env) {
    if (qrnState.dumpOnExit) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        char file[64];
        snprintf(file, sizeof file, "vantrel-%d_%02d_%02d_%02d_%02d_%02d.qrn", now.wYear, now.wMonth, now.wDay,
                 now.wHour, now.wMinute, now.wSecond);
        char path[QRN_PATH_SIZE];
        const char *given = qrnState.dumpOnExitPath;
        int length;
        if (given == nullptr)
            length = snprintf(path, sizeof path, "%s", file);
        else if (fio_isdir(given))
            length = snprintf(path, sizeof path, "%s\\%s", given, file);
        else
            length = snprintf(path, sizeof path, "%s", given);
        if (length < 0 || size_t(length) >= sizeof path) {
            qrnLog(QRN_ERROR, "Could not dump flight recording. Too long path.");
        } else {
            jstring name = env->NewStringUTF("QRN data requested on JVM termination");
            jstring target = qrnNewPathString(env, path);
            if (name != nullptr && target != nullptr)
                qrnDumpRecording(env, name, 0, target, JNI_FALSE);
            if (env->ExceptionCheck() || name == nullptr || target == nullptr || qrnState.javaRecorder == nullptr) {
                qrnLog(QRN_WARN,
                       "Could not dump flight recording on JVM termination, since default recording not available");
                env->ExceptionClear();
            } else {
                qrnLog(QRN_INFO, "Dumped flight recording to file %s on JVM termination", path);
            }
            if (name != nullptr)
                env->DeleteLocalRef(name);
            if (target != nullptr)
                env->DeleteLocalRef(target);
        }
    }
    qrnRequestBufferThread(QRN_REQUEST_SHUTDOWN);
}
