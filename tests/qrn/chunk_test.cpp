// Chunk files written by the agent in the VM: their layout as our reader checks it, their names
// in the repository, the repository lock, and what the Java side's bad input gets.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <set>
#include <thread>

#include "child_process.h"
#include "chunk_reader.h"
#include "recorder_driver.h"
#include "test_paths.h"

namespace {

constexpr jint gcEvent = 10;

void putBigEndian(unsigned char *at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

std::string userRecord(uint32_t type, const std::string &payload) {
    std::string record(8, '\0');
    putBigEndian(reinterpret_cast<unsigned char *>(&record[0]), 8 + payload.size(), 4);
    putBigEndian(reinterpret_cast<unsigned char *>(&record[4]), type, 4);
    return record + payload;
}

// A constant pool buffer as Java fills it: used size, count at the last store, data, count now.
struct Pool {
    unsigned char bytes[64] = {};
    void fill(const std::string &data, uint32_t lastCount, uint32_t count) {
        putBigEndian(bytes, 8 + data.size(), 4);
        putBigEndian(bytes + 4, lastCount, 4);
        memcpy(bytes + 8, data.data(), data.size());
        putBigEndian(bytes + 8 + data.size(), count, 4);
    }
    uint32_t used() const { return uint32_t(bigEndian(bytes, 4)); }
    uint32_t lastCount() const { return uint32_t(bigEndian(bytes + 4, 4)); }
};

std::string printable(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += c >= 32 && c < 127 ? char(c) : '.';
    return out;
}

// One line a finished chunk: "chunk <path> <new chunk flag>", then the scenario's own findings.
void printChunks(RecorderDriver &r) {
    std::vector<bool> flags;
    std::vector<std::string> chunks = r.finishedChunks(&flags);
    for (size_t i = 0; i < chunks.size(); ++i)
        printf("chunk %s %d\n", chunks[i].c_str(), int(flags[i]));
    printf("frequency %lld\n", static_cast<long long>(RecorderDriver::hostFrequency()));
}

CHILD_SCENARIO(qrn_chunk_records) {
    RecorderDriver r(std::string("repository=") + argv[0]);
    if (!r.ok())
        return 1;
    JNIEnv *env = r.env();
    printf("enable %s\n", r.enable(gcEvent).c_str());
    Pool pool, empty;
    pool.fill("pooled", 3, 5);
    jobject poolBuffer = env->NewDirectByteBuffer(pool.bytes, sizeof pool.bytes);
    jobject emptyBuffer = env->NewDirectByteBuffer(empty.bytes, sizeof empty.bytes);
    r.call("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", poolBuffer, 7, JNI_TRUE);
    r.call("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", emptyBuffer, 8, JNI_TRUE);
    // Recorded before the chunk opens, kept by the start.
    printf("event %d\n", int(vmhostRecordEvent(env, gcEvent, "gc", 2)));
    r.call("flush", "()V");
    printf("start %s\n", r.start(true).c_str());
    std::string direct = userRecord(100, "direct bytes");
    printf("direct %d\n", int(vmhostWriteDirect(env, direct.data(), jint(direct.size()))));
    printf("checkpoint %d\n", int(vmhostWriteCheckpoint(env, "checkpoint body", 15)));
    printf("store %d %d %d\n", int(r.callBoolean("storeConstPool", "(I)Z", 7)),
           int(r.callBoolean("storeConstPool", "(I)Z", 8)), int(r.callBoolean("storeConstPool", "(I)Z", 9)));
    printf("pool after store %u %u\n", pool.used(), pool.lastCount());
    jbyteArray array = env->NewByteArray(jsize(direct.size()));
    env->SetByteArrayRegion(array, 0, jsize(direct.size()), reinterpret_cast<const jbyte *>(direct.data()));
    printf("write %s\n", r.call("write", "([BII)V", array, 0, jint(direct.size())).c_str());
    printf("write past %s\n", r.call("write", "([BII)V", array, 4, jint(direct.size())).c_str());
    printf("write negative %s\n", r.call("write", "([BII)V", array, -1, 2).c_str());
    printf("stop %s\n", r.stop().c_str());

    // A pool stored with no chunk open drops its entries and says so.
    pool.fill("later", 5, 9);
    printf("store closed %d\n", int(r.callBoolean("storeConstPool", "(I)Z", 7)));
    printf("pool after closed store %u %u\n", pool.used(), pool.lastCount());
    printf("direct closed %d\n", int(vmhostWriteDirect(env, direct.data(), jint(direct.size()))));

    // The second chunk has no checkpoint.
    r.start(false);
    vmhostWriteDirect(env, direct.data(), jint(direct.size()));
    r.stop();
    printChunks(r);
    env->DeleteLocalRef(array);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

std::string lineValue(const std::string &out, const std::string &key) {
    size_t at = out.find(key + " ");
    if (at == std::string::npos)
        return "(missing " + key + ")";
    size_t end = out.find("\r\n", at);
    return out.substr(at + key.size() + 1, end - at - key.size() - 1);
}

struct Chunk {
    std::string path;
    bool newChunk;
};

std::vector<Chunk> chunksOf(const std::string &out) {
    std::vector<Chunk> chunks;
    for (size_t at = 0; at < out.size();) {
        size_t end = out.find("\r\n", at);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(at, end - at);
        if (line.rfind("chunk ", 0) == 0)
            chunks.push_back({line.substr(6, line.size() - 8), line.back() == '1'});
        at = end + 2;
    }
    return chunks;
}

int64_t frequencyOf(const std::string &out) { return std::stoll(lineValue(out, "frequency")); }

std::string fileName(const std::string &path) { return path.substr(path.rfind('\\') + 1); }

TEST(ChunkFiles, RecordsOfEveryKindFormOneValidChunk) {
    TempDir dir;
    std::string repository = dir.file("repo");
    ChildResult child = runScenario("qrn_chunk_records", {repository});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    const std::string &out = child.out;
    EXPECT_EQ(lineValue(out, "start"), "");
    EXPECT_EQ(lineValue(out, "direct"), "1");
    EXPECT_EQ(lineValue(out, "checkpoint"), "1");
    // An unregistered pool is nothing to store; an empty one writes nothing.
    EXPECT_EQ(lineValue(out, "store"), "1 1 1");
    EXPECT_EQ(lineValue(out, "pool after store"), "0 5");
    EXPECT_EQ(lineValue(out, "event"), "1");
    EXPECT_EQ(lineValue(out, "write"), "");
    EXPECT_EQ(lineValue(out, "write past"),
              "java.lang.ArrayIndexOutOfBoundsException: offset 4, length 20, array length 20");
    EXPECT_EQ(lineValue(out, "write negative"),
              "java.lang.ArrayIndexOutOfBoundsException: offset -1, length 2, array length 20");
    EXPECT_EQ(lineValue(out, "store closed"), "0");
    EXPECT_EQ(lineValue(out, "pool after closed store"), "0 9");
    EXPECT_EQ(lineValue(out, "direct closed"), "0");

    std::vector<Chunk> chunks = chunksOf(out);
    ASSERT_EQ(chunks.size(), 2u) << out;
    std::smatch match;
    std::string name = fileName(chunks[0].path);
    std::regex pattern("\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d_(\\d+)(_\\d+)?\\.qrn");
    EXPECT_TRUE(std::regex_match(name, match, pattern)) << name;
    EXPECT_EQ(chunks[0].path.substr(0, repository.size()), repository);
    EXPECT_FALSE(chunks[0].newChunk);

    ChunkContents first;
    ASSERT_EQ(checkChunkFile(chunks[0].path, frequencyOf(out), &first), "");
    std::vector<std::string> kinds;
    for (const ChunkRecord &record : first.records) {
        std::string bytes(reinterpret_cast<const char *>(record.data), record.size);
        if (record.type == 100)
            kinds.push_back("direct " + bytes.substr(8));
        else if (record.type == 1 && record.size == 24 + 15)
            kinds.push_back("checkpoint " + bytes.substr(24));
        else if (record.type == 1)
            kinds.push_back("pool " + std::to_string(bigEndian(record.data + 24, 4)) + " " +
                            std::to_string(bigEndian(record.data + 28, 4)) + " " + bytes.substr(32));
        else if (record.type == uint32_t(gcEvent))
            kinds.push_back("event " + printable(bytes.substr(16)));
        else
            kinds.push_back("type " + std::to_string(record.type));
    }
    const std::vector<std::string> expected = {"event gc", "direct direct bytes", "checkpoint checkpoint body",
                                               "pool 7 2 pooled", "direct direct bytes"};
    ASSERT_EQ(kinds, expected);
    // The pool came after the checkpoint: it is the chain's newest link.
    EXPECT_EQ(first.lastType1, first.records[3].offset);
    EXPECT_EQ(first.locale, "en_US");
    EXPECT_EQ(first.blobCount, 1u);

    // The reader names the first fault and where it is.
    std::string bytes = first.bytes;
    auto mutated = [&](size_t at, char value) {
        std::string copy = bytes;
        copy[at] = value;
        return checkChunk(copy, frequencyOf(out), nullptr);
    };
    EXPECT_EQ(mutated(2, 'X'), "offset 0: no magic");
    EXPECT_EQ(mutated(7, 8), "offset 4: not version 0.9");
    EXPECT_EQ(mutated(size_t(first.records[1].offset) + 3, 7),
              "offset " + std::to_string(first.records[1].offset) + ": a record of 7 bytes does not fit before the trailer");
    size_t link = size_t(first.records[3].offset) + 23;
    auto startsWith = [](const std::string &text, const std::string &prefix) {
        return text.compare(0, prefix.size(), prefix) == 0;
    };
    std::string chain = mutated(link, char(bytes[link] + 1));
    EXPECT_TRUE(startsWith(chain, "offset " + std::to_string(link - 7) + ": the type-1 chain points at ")) << chain;
    size_t trailerSize = size_t(first.trailerOffset) + 3;
    std::string trailer = mutated(trailerSize, char(bytes[trailerSize] + 1));
    EXPECT_TRUE(startsWith(trailer, "offset " + std::to_string(first.trailerOffset) + ": the trailer size ")) << trailer;
    EXPECT_NE(checkChunk(bytes, frequencyOf(out) + 1, nullptr), "");
    EXPECT_NE(checkChunk(bytes + "x", frequencyOf(out), nullptr), "");

    ChunkContents second;
    ASSERT_EQ(checkChunkFile(chunks[1].path, frequencyOf(out), &second), "");
    EXPECT_EQ(second.lastType1, 0u);
    EXPECT_EQ(second.records.size(), 1u);
    EXPECT_LE(first.endMillis, second.startMillis);
}

// The names this process would get in the seconds around now, without and with the first suffix:
// they make every chunk name collide twice.
void occupyNames(const std::string &repository) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    for (int second = -2; second < 120; ++second) {
        ULARGE_INTEGER at = t;
        at.QuadPart += int64_t(second) * 10000000;
        FILETIME utc{at.LowPart, at.HighPart}, local;
        SYSTEMTIME s;
        FileTimeToLocalFileTime(&utc, &local);
        FileTimeToSystemTime(&local, &s);
        char name[MAX_PATH];
        for (const char *suffix : {"", "_0"}) {
            snprintf(name, sizeof name, "%s\\%d_%02d_%02d_%02d_%02d_%02d_%lu%s.qrn", repository.c_str(), s.wYear,
                     s.wMonth, s.wDay, s.wHour, s.wMinute, s.wSecond, GetCurrentProcessId(), suffix);
            CloseHandle(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
}

CHILD_SCENARIO(qrn_chunk_names) {
    std::string repository = argv[0];
    int cycles = argc > 1 ? atoi(argv[1]) : 1;
    bool collide = argc > 2;
    RecorderDriver r("repository=" + repository);
    if (!r.ok())
        return 1;
    if (collide)
        occupyNames(repository);
    for (int i = 0; i < cycles; ++i) {
        std::string failed = r.start(false);
        failed += r.stop();
        if (!failed.empty())
            printf("failed %s\n", failed.c_str());
    }
    printf("pid %lu\n", GetCurrentProcessId());
    printChunks(r);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(ChunkFiles, ANameTakenInTheSameSecondGetsTheNextSuffix) {
    TempDir dir;
    ChildResult child = runScenario("qrn_chunk_names", {dir.path(), "1", "collide"});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    std::vector<Chunk> chunks = chunksOf(child.out);
    ASSERT_EQ(chunks.size(), 1u) << child.out;
    std::string suffix = "_" + lineValue(child.out, "pid") + "_1.qrn";
    std::string name = fileName(chunks[0].path);
    EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix);
    EXPECT_EQ(checkChunkFile(chunks[0].path, frequencyOf(child.out), nullptr), "");
}

TEST(ChunkFiles, TwoProcessesShareARepositoryWithoutSharingAFile) {
    TempDir dir;
    ChildResult a, b;
    std::thread first([&] { a = runScenario("qrn_chunk_names", {dir.path(), "6"}); });
    std::thread second([&] { b = runScenario("qrn_chunk_names", {dir.path(), "6"}); });
    first.join();
    second.join();
    ASSERT_EQ(a.exitCode, 0u) << a.out << a.err;
    ASSERT_EQ(b.exitCode, 0u) << b.out << b.err;
    std::set<std::string> names;
    for (const ChildResult *child : {&a, &b}) {
        std::vector<Chunk> chunks = chunksOf(child->out);
        EXPECT_EQ(chunks.size(), 6u) << child->out;
        std::string pid = "_" + lineValue(child->out, "pid");
        for (const Chunk &chunk : chunks) {
            EXPECT_NE(fileName(chunk.path).find(pid), std::string::npos) << chunk.path;
            EXPECT_TRUE(names.insert(chunk.path).second) << chunk.path;
            EXPECT_EQ(checkChunkFile(chunk.path, frequencyOf(child->out), nullptr), "") << chunk.path;
        }
    }
    // No lock is left behind.
    EXPECT_EQ(GetFileAttributesA(dir.file(".lock").c_str()), INVALID_FILE_ATTRIBUTES);
}

void removeTree(const std::string &directory) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.cFileName[0] != '.' || (found.cFileName[1] != '\0' && strcmp(found.cFileName, "..") != 0))
                DeleteFileA((directory + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(directory.c_str());
}

CHILD_SCENARIO(qrn_repository_gone) {
    std::string repository = argv[0];
    RecorderDriver r("repository=" + repository);
    if (!r.ok())
        return 1;
    r.start(false);
    r.stop();
    removeTree(repository);
    printf("gone %d\n", int(GetFileAttributesA(repository.c_str()) == INVALID_FILE_ATTRIBUTES));
    printf("start %s\n", r.start(false).c_str());
    r.stop();
    std::string log = r.takeLog();
    int calls = 0;
    for (size_t at = log.find("reCreateRepository()"); at != std::string::npos;
         at = log.find("reCreateRepository()", at + 1))
        ++calls;
    printf("recreated %d\n", calls);
    printChunks(r);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(Repository, AVanishedRepositoryIsMadeAgainOnceThroughJava) {
    TempDir dir;
    ChildResult child = runScenario("qrn_repository_gone", {dir.file("repo")});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(lineValue(child.out, "gone"), "1");
    EXPECT_EQ(lineValue(child.out, "start"), "");
    EXPECT_EQ(lineValue(child.out, "recreated"), "1");
    std::vector<Chunk> chunks = chunksOf(child.out);
    ASSERT_EQ(chunks.size(), 2u) << child.out;
    EXPECT_EQ(checkChunkFile(chunks[1].path, frequencyOf(child.out), nullptr), "");
}

// Takes the repository lock as a recorder does, says so, and holds it until killed.
CHILD_SCENARIO(qrn_lock_holder) {
    HANDLE held = holdRepositoryLock(argv[0]);
    printf("ready %d\n", int(held != INVALID_HANDLE_VALUE));
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

// A lock file no process holds, one a live process holds, and the same after that process died.
CHILD_SCENARIO(qrn_stale_lock) {
    std::string repository = argv[0];
    RecorderDriver r("repository=" + repository);
    if (!r.ok())
        return 1;
    CloseHandle(CreateFileA((repository + "\\.lock").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    printf("left %s\n", r.start(false).c_str());
    printf("stop %s\n", r.stop().c_str());

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION holder{};
    std::string line = "\"" + thisProgramPath() + "\" --child qrn_lock_holder \"" + repository + "\"";
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &holder))
        return 3;
    CloseHandle(write);
    char said[16] = {};
    DWORD got = 0;
    ReadFile(read, said, sizeof said - 1, &got, nullptr);
    said[strcspn(said, "\r\n")] = '\0';
    printf("holder %s\n", said);
    printf("while held %s\n", r.start(false).c_str());
    TerminateProcess(holder.hProcess, 9);
    WaitForSingleObject(holder.hProcess, INFINITE);
    CloseHandle(holder.hProcess);
    CloseHandle(holder.hThread);
    CloseHandle(read);
    printf("holder gone %s\n", r.start(false).c_str());
    r.stop();
    printChunks(r);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(Repository, OnlyALiveProcessHoldsTheLock) {
    TempDir dir;
    ChildResult child = runScenario("qrn_stale_lock", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    // A file its maker left behind is no lock.
    EXPECT_EQ(lineValue(child.out, "left"), "");
    EXPECT_EQ(lineValue(child.out, "stop"), "");
    EXPECT_EQ(lineValue(child.out, "holder ready"), "1");
    std::string expected = "java.lang.Exception: Could not create chunk in " + dir.path();
    EXPECT_EQ(lineValue(child.out, "while held"), expected.substr(0, 21 + 63));
    EXPECT_NE(child.err.find("[ERROR][qrn    ] Could not lock repository \"" + dir.path() + "\" (32)\r\n"),
              std::string::npos)
        << child.err;
    // The lock ended with its holder.
    EXPECT_EQ(lineValue(child.out, "holder gone"), "");
    EXPECT_EQ(chunksOf(child.out).size(), 2u) << child.out;
    EXPECT_EQ(GetFileAttributesA(dir.file(".lock").c_str()), INVALID_FILE_ATTRIBUTES);
}

CHILD_SCENARIO(qrn_bad_input) {
    std::string repository = argv[0];
    RecorderDriver r("repository=" + repository);
    if (!r.ok())
        return 1;
    JNIEnv *env = r.env();
    printf("null path %s\n", r.call("setRepositoryPath", "(Ljava/lang/String;)V", nullptr).c_str());
    printf("long path %s\n", r.setRepositoryPath(repository + "\\" + std::string(300, 'x')).c_str());
    // A name the ANSI code page has no letters for, and one cut short by a NUL.
    std::wstring wide(repository.begin(), repository.end());
    printf("foreign path %s\n", r.setRepositoryPathWide(wide + L"\\\x4e2d\x6587").c_str());
    printf("code page %u\n", GetACP());
    printf("nul path %s\n", r.setRepositoryPathWide(wide + std::wstring(L"\\a\0b", 4)).c_str());

    unsigned char small[16] = {};
    jobject buffer = env->NewDirectByteBuffer(small, sizeof small);
    r.call("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", buffer, 1, JNI_TRUE);
    printf("not direct %s\n", r.call("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", nullptr, 2, JNI_TRUE).c_str());
    jobject tiny = env->NewDirectByteBuffer(small, 2);
    printf("tiny pool %s\n", r.call("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", tiny, 3, JNI_TRUE).c_str());
    // Ids and positions from Java that name nothing of ours.
    jclass bufferClass = env->FindClass("java/nio/ByteBuffer");
    jobjectArray buffers = env->NewObjectArray(2, bufferClass, nullptr);
    printf("descriptors 99 %s\n", r.call("descriptors", "(I[Ljava/nio/ByteBuffer;)I", 99, buffers).c_str());
    jclass recorderClass = env->GetObjectClass(r.recorder());
    jobject block = env->CallObjectMethod(r.recorder(), env->GetMethodID(recorderClass, "buffer", "()Ljava/nio/ByteBuffer;"));
    auto *words = static_cast<unsigned char **>(env->GetDirectBufferAddress(block));
    words[4] = words[5] + 16; // pos past end
    printf("flush past %s\n", r.call("flush", "()V").c_str());
    printf("flush again %s\n", r.call("flush", "()V").c_str());
    r.start(false);
    const uint32_t sizes[] = {16, 13, 12, 4, 0xfffffff0u};
    for (uint32_t used : sizes) {
        putBigEndian(small, used, 4);
        printf("pool %u %d\n", used, int(r.callBoolean("storeConstPool", "(I)Z", 1)));
    }
    jbyteArray bytes = env->NewByteArray(8);
    printf("add past %s\n", r.call("add", "(I[BII)V", 5, bytes, 4, 5).c_str());
    printf("add negative %s\n", r.call("add", "(I[BII)V", 5, bytes, 0, -1).c_str());
    r.stop();
    printChunks(r);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(ChunkFiles, BadInputFromJavaIsRefusedAndTouchesNothingElse) {
    TempDir dir;
    ChildResult child = runScenario("qrn_bad_input", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    const std::string &out = child.out;
    EXPECT_EQ(lineValue(out, "null path"), "java.lang.NullPointerException: Could not set repository null");
    std::string cut = ("Could not set repository " + dir.path() + "\\" + std::string(300, 'x')).substr(0, 63);
    EXPECT_EQ(lineValue(out, "long path"), "java.lang.Exception: " + cut);
    // A code page of UTF-8 expresses every name.
    if (lineValue(out, "code page") != "65001") {
        EXPECT_EQ(lineValue(out, "foreign path").substr(0, 46), "java.lang.Exception: Could not set repository ");
    }
    EXPECT_EQ(lineValue(out, "nul path").substr(0, 46), "java.lang.Exception: Could not set repository ");
    EXPECT_NE(child.err.find("[ERROR][qrn    ] Could not store repository path " + dir.path() + "\\xxx"),
              std::string::npos)
        << child.err;
    EXPECT_EQ(lineValue(out, "not direct"), "java.lang.IllegalArgumentException: addConstPool");
    EXPECT_EQ(lineValue(out, "tiny pool"), "java.lang.IllegalArgumentException: addConstPool");
    EXPECT_EQ(lineValue(out, "descriptors 99"), "java.lang.Exception: Illegal id 99");
    EXPECT_EQ(lineValue(out, "flush past"), "java.lang.Exception: Illegal thread buffer position");
    EXPECT_EQ(lineValue(out, "flush again"), "");
    // A used size of 12 leaves the count at 12..15 inside the 16 bytes; 13 does not.
    EXPECT_EQ(lineValue(out, "pool 16"), "0");
    EXPECT_EQ(lineValue(out, "pool 13"), "0");
    EXPECT_EQ(lineValue(out, "pool 12"), "1");
    EXPECT_EQ(lineValue(out, "pool 4"), "0");
    EXPECT_EQ(lineValue(out, "pool 4294967280"), "0");
    EXPECT_EQ(lineValue(out, "add past"), "java.lang.ArrayIndexOutOfBoundsException: offset 4, length 5, array length 8");
    EXPECT_EQ(lineValue(out, "add negative"),
              "java.lang.ArrayIndexOutOfBoundsException: offset 0, length -1, array length 8");
    // The chunk went where the repository was before the refused paths; nothing else was made.
    std::vector<Chunk> chunks = chunksOf(out);
    ASSERT_EQ(chunks.size(), 1u) << out;
    EXPECT_EQ(chunks[0].path.substr(0, dir.path().size() + 1), dir.path() + "\\");
    EXPECT_EQ(checkChunkFile(chunks[0].path, frequencyOf(out), nullptr), "");
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(dir.file("*").c_str(), &found);
    int entries = 0;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
            ++entries;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    EXPECT_EQ(entries, 1);
}

} // namespace

namespace {

constexpr size_t smallDiskRecord = 8 + 4096;

// On a disk of 256 KiB: chunks that fit, one lost to a size rotation nobody asked for, one lost
// at the stop. Prints what each stop said, the records written and the statistics.
CHILD_SCENARIO(qrn_small_disk) {
    std::string repository = argv[0];
    RecorderDriver r("maxchunksize=1m,repository=" + repository);
    if (!r.ok())
        return 1;
    const RecorderStatistics *s = r.statistics();
    std::string record = userRecord(100, std::string(smallDiskRecord - 8, 'd'));
    int written = 0;
    auto writeRecords = [&](int count) {
        for (int i = 0; i < count; ++i)
            written += vmhostWriteDirect(r.env(), record.data(), jint(record.size()));
    };
    printf("first %s", r.start(false).c_str());
    writeRecords(4);
    printf("%s\n", r.stop().c_str());
    // Past the chunk size: the buffer thread rotates and cannot write the chunk whole.
    printf("rotated %s", r.start(false).c_str());
    writeRecords(260);
    eventually([&] { return s->lostBytes != 0; });
    printf("%d ", int(s->lostBytes != 0));
    writeRecords(4);
    printf("%s\n", r.stop().c_str());
    printf("after %s", r.start(false).c_str());
    writeRecords(4);
    printf("%s\n", r.stop().c_str());
    // Twice what the disk holds, found by the stop itself.
    printf("full %s", r.start(false).c_str());
    writeRecords(128);
    printf("%s\n", r.stop().c_str());
    printf("records %d\n", written);
    printf("statistics %llu %llu %llu\n", (unsigned long long)s->finishedChunkBytes, (unsigned long long)s->lostBytes,
           (unsigned long long)s->writtenBytes);
    printChunks(r);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

std::string osText(unsigned long code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string result = text;
    // As the OS layer gives it: without the closing full stop.
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

TEST(SmallDisk, EveryByteThatMissesAFinishedChunkIsCountedAndJavaIsTold) {
    const char *disk = getenv("QRN_SMALL_DISK");
    if (disk == nullptr)
        GTEST_SKIP() << "needs a small disk: the test qrn_small_disk runs it on one";
    std::string repository = std::string(disk) + "\\repo";
    CreateDirectoryA(repository.c_str(), nullptr);
    ChildResult child = runScenario("qrn_small_disk", {repository});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    std::string lost = ("java.lang.Exception: Could not write chunk: " + osText(ERROR_DISK_FULL)).substr(0, 21 + 63);
    EXPECT_EQ(lineValue(child.out, "first"), "");
    // A chunk lost since the last stop is reported by the next one, though the chunk it stops was whole.
    EXPECT_EQ(lineValue(child.out, "rotated"), "1 " + lost);
    EXPECT_EQ(lineValue(child.out, "after"), "");
    EXPECT_EQ(lineValue(child.out, "full"), lost);
    EXPECT_NE(child.err.find("[ERROR][qrn    ] Could not write chunk \"" + repository + "\\"), std::string::npos)
        << child.err;
    uint64_t inFiles = 0;
    std::vector<Chunk> chunks = chunksOf(child.out);
    ASSERT_EQ(chunks.size(), 3u) << child.out << child.err;
    for (const Chunk &chunk : chunks) {
        ChunkContents contents;
        EXPECT_EQ(checkChunkFile(chunk.path, frequencyOf(child.out), &contents), "") << chunk.path;
        inFiles += contents.trailerOffset - 16;
    }
    unsigned long long finished = 0, lostBytes = 0, written = 0;
    ASSERT_EQ(sscanf(lineValue(child.out, "statistics").c_str(), "%llu %llu %llu", &finished, &lostBytes, &written), 3);
    uint64_t records = std::stoull(lineValue(child.out, "records")) * smallDiskRecord;
    EXPECT_EQ(finished, inFiles);
    EXPECT_EQ(written, inFiles);
    EXPECT_EQ(lostBytes, records - inFiles);
    // The damaged chunks are gone with their reservations.
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((repository + "\\*.qrn*").c_str(), &found);
    int files = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            ++files;
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    EXPECT_EQ(files, 3);
}

} // namespace
