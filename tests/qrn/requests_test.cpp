// The buffer thread's requests and their waiters, the VM's entry table, and the dump of the
// recording when the VM ends.
#include <windows.h>

#include <cstdio>
#include <regex>

#include "child_process.h"
#include "chunk_reader.h"
#include "recorder_driver.h"
#include "test_paths.h"

namespace {

int count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

CHILD_SCENARIO(qrn_requests) {
    std::string repository = argv[0];
    RecorderDriver r("repository=" + repository);
    if (!r.ok())
        return 1;
    const RecorderStatistics *s = r.statistics();
    // A flush with nothing to hand on succeeds and leaves no loss record.
    r.call("buffer", "()Ljava/nio/ByteBuffer;");
    uint32_t flushes = s->flushes;
    r.call("flush", "()V");
    printf("empty flush %u %llu\n", s->flushes - flushes, (unsigned long long)s->lostBytes);

    printf("start %s\n", r.start(false).c_str());
    // The buffer thread has begun: the environment it was started with is disposed of.
    jint disposed = 0;
    jint environments = vmhostToolEnvironments(r.session().vm(), &disposed);
    printf("environments %d disposed %d\n", int(environments), int(disposed));
    r.takeLog();
    HANDLE lock = holdRepositoryLock(repository);
    // The chunk is finished; the next cannot be made, and nothing announces it.
    printf("rotate %s\n", r.rotate().c_str());
    std::string log = r.takeLog();
    printf("announced %d %d\n", count(log, "recorder.newChunk()"), count(log, "onNewChunk()"));
    printf("finished false %d\n", count(log, ", false)"));
    printf("write closed %d\n", int(vmhostWriteCheckpoint(r.env(), "x", 1)));
    CloseHandle(lock);
    printf("start again %s\n", r.start(true).c_str());
    log = r.takeLog();
    printf("announced again %d %d\n", count(log, "recorder.newChunk()"), count(log, "onNewChunk()"));

    r.call("shutdown", "()V");
    printf("stop %s\n", r.stop().c_str());
    // Once the thread has ended, a waiting request returns at once.
    printf("start after %s\n", r.start(true).c_str());
    printf("rotate after %s\n", r.rotate().c_str());
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(Requests, EveryRequestReturnsAlsoWhenNoChunkCanBeMade) {
    TempDir dir;
    ChildResult child = runScenario("qrn_requests", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    const std::string &out = child.out;
    EXPECT_EQ(lineValue(out, "empty flush"), "1 0");
    EXPECT_EQ(lineValue(out, "start"), "");
    // The agent's own environment stays for the VM's death.
    EXPECT_EQ(lineValue(out, "environments"), "2 disposed 1");
    EXPECT_EQ(lineValue(out, "rotate"), ("java.lang.Exception: Could not create chunk in " + dir.path()).substr(0, 84));
    EXPECT_EQ(lineValue(out, "announced"), "0 0");
    EXPECT_EQ(lineValue(out, "finished false"), "1");
    EXPECT_EQ(lineValue(out, "write closed"), "0");
    EXPECT_EQ(lineValue(out, "start again"), "");
    EXPECT_EQ(lineValue(out, "announced again"), "1 1");
    std::string stop = lineValue(out, "stop");
    const std::string ended = "java.lang.IllegalStateException: Flight recorder buffer thread not running";
    EXPECT_TRUE(stop.empty() || stop == ended) << stop;
    EXPECT_EQ(lineValue(out, "start after"), ended);
    EXPECT_EQ(lineValue(out, "rotate after"), ended);
}

// The entries the VM calls before the Java recorder exists.
CHILD_SCENARIO(qrn_entries) {
    VmSession session({"-agentpath:" + besideProgram("qrn.dll") + "=repository=" + argv[0]});
    if (!session.created())
        return 1;
    JNIEnv *env = session.env();
    const QrnAgent *agent = vmhostRecorderAgent(session.vm());
    takeCallLog();
    agent->stopRecording(env, "rec", 1, JNI_FALSE, nullptr, JNI_TRUE);
    std::string log = takeCallLog();
    printf("made %d stopped %d\n", int(log.find("QRN.get() made the recorder") != std::string::npos),
           int(log.find("VMQRN.stopRecording(rec, 1, false, null, true)") != std::string::npos));
    jstring check = agent->checkRecording(env, "rec", 7, JNI_FALSE);
    const char *text = check != nullptr ? env->GetStringUTFChars(check, nullptr) : nullptr;
    printf("check %s\n", text != nullptr ? text : "null");
    if (text != nullptr)
        env->ReleaseStringUTFChars(check, text);
    const char *settings[] = {"a.qrc", "b.qrc"};
    printf("started %lld\n",
           (long long)agent->startRecording(env, "rec", settings, 2, JNI_TRUE, 1, 2, nullptr, JNI_FALSE, 3, 4));
    log = takeCallLog();
    printf("start call %d\n", int(log.find("startRecording(rec, [a.qrc, b.qrc], true, 1, 2, null, false, 3, 4)") !=
                                  std::string::npos));
    printf("repository %s\n", agent->repositoryPath());
    printf("exit ready %d\n", int(agent->exitReady()));
    fflush(stdout);
    return session.destroy() == JNI_OK ? 0 : 2;
}

TEST(Entries, TheVmsEntriesMakeTheJavaRecorderFirst) {
    TempDir dir;
    ChildResult child = runScenario("qrn_entries", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(lineValue(child.out, "made"), "1 stopped 1");
    EXPECT_EQ(lineValue(child.out, "check"), "recording 7");
    EXPECT_EQ(lineValue(child.out, "started"), "1");
    EXPECT_EQ(lineValue(child.out, "start call"), "1");
    EXPECT_EQ(lineValue(child.out, "repository"), dir.path());
    EXPECT_EQ(lineValue(child.out, "exit ready"), "1");
}

// Arguments: repository, current directory, dumponexitpath or "-".
CHILD_SCENARIO(qrn_dump) {
    std::string options = std::string("dumponexit=true,repository=") + argv[0];
    if (std::string(argv[2]) != "-")
        options += std::string(",dumponexitpath=") + argv[2];
    SetCurrentDirectoryA(argv[1]);
    RecorderDriver r(options);
    if (!r.ok())
        return 1;
    r.start(false);
    std::string record(8, '\0');
    record[3] = 8;
    record[7] = 100;
    vmhostWriteDirect(r.env(), record.data(), jint(record.size()));
    r.stop();
    r.start(false);
    vmhostWriteDirect(r.env(), record.data(), jint(record.size()));
    printf("frequency %lld\n", static_cast<long long>(RecorderDriver::hostFrequency()));
    fflush(stdout);
    // The VM's exit runs the recorder's shutdown: the dump, then the last chunk.
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

std::vector<std::string> filesIn(const std::string &directory, const char *pattern) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((directory + "\\" + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(directory + "\\" + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return files;
}

TEST(DumpOnExit, TheRecordingIsDumpedWhereThePathSays) {
    TempDir dir;
    std::string repository = dir.file("repo");
    std::string cwd = dir.file("cwd");
    std::string target = dir.file("target");
    CreateDirectoryA(cwd.c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
    std::regex dumpName(".*\\\\vantrel-\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d\\.qrn");
    struct Case {
        std::string path, where;
    } cases[] = {{"-", cwd}, {target, target}, {target + "\\given.qrn", target + "\\given.qrn"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        ChildResult child = runScenario("qrn_dump", {repository, cwd, c.path});
        ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
        std::vector<std::string> dumps = c.where.size() > 4 && c.where.substr(c.where.size() - 4) == ".qrn"
                                             ? filesIn(target, "given.qrn")
                                             : filesIn(c.where, "vantrel-*.qrn");
        ASSERT_EQ(dumps.size(), 1u);
        if (c.where.substr(c.where.size() - 4) != ".qrn") {
            EXPECT_TRUE(std::regex_match(dumps[0], dumpName)) << dumps[0];
        }
        int64_t frequency = std::stoll(lineValue(child.out, "frequency"));
        EXPECT_EQ(checkChunkFile(dumps[0], frequency, nullptr), "");
        DeleteFileA(dumps[0].c_str());
        // The chunk open at the exit was finished too.
        std::vector<std::string> chunks = filesIn(repository, "*.qrn");
        EXPECT_EQ(chunks.size(), 2u);
        for (const std::string &chunk : chunks) {
            EXPECT_EQ(checkChunkFile(chunk, frequency, nullptr), "") << chunk;
            DeleteFileA(chunk.c_str());
        }
    }
}

TEST(DumpOnExit, AnOverLongPathOnlySkipsTheDump) {
    TempDir dir;
    std::string repository = dir.file("repo");
    std::string longPath = dir.file(std::string(270, 'd') + ".qrn");
    ChildResult child = runScenario("qrn_dump", {repository, dir.path(), longPath});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_NE(child.err.find("[ERROR][qrn    ] Could not dump flight recording. Too long path.\r\n"),
              std::string::npos)
        << child.err;
    EXPECT_EQ(filesIn(repository, "*.qrn").size(), 2u);
    EXPECT_EQ(filesIn(dir.path(), "*.qrn").size(), 0u);
}

} // namespace
