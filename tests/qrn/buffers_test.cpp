// Events from many VM threads through thread buffers, global buffers and the buffer thread into
// rotating chunks: every event is in a chunk once and in order, or counted as lost, and the
// statistics agree with the files.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "child_process.h"
#include "chunk_reader.h"
#include "recorder_driver.h"
#include "test_paths.h"

namespace {

constexpr jint gcEvent = 10;
constexpr int eventSize = 64;
constexpr int eventsPerWriter = 12000;

const char smallBuffers[] = "threadbuffersize=2048,globalbuffersize=8192,numglobalbuffers=3";

void putU32(unsigned char *at, uint32_t value) {
    for (int i = 3; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

std::atomic<int> writersBegun{0};

// Numbered events {OS thread id, sequence from 1} from a thread attached to the VM.
void writer(JavaVM *vm, int *refused, int events) {
    JNIEnv *env = nullptr;
    vm->AttachCurrentThread(reinterpret_cast<void **>(&env), nullptr);
    unsigned char payload[eventSize - 16] = {};
    putU32(payload, GetCurrentThreadId());
    for (int sequence = 1; sequence <= events; ++sequence) {
        putU32(payload + 4, uint32_t(sequence));
        if (!vmhostRecordEvent(env, gcEvent, payload, sizeof payload))
            ++*refused;
        if (sequence == 1)
            ++writersBegun;
    }
    vm->DetachCurrentThread();
}

void printChunks(RecorderDriver &r) {
    std::vector<bool> flags;
    std::vector<std::string> chunks = r.finishedChunks(&flags);
    for (size_t i = 0; i < chunks.size(); ++i)
        printf("chunk %s %d\n", chunks[i].c_str(), int(flags[i]));
    printf("frequency %lld\n", static_cast<long long>(RecorderDriver::hostFrequency()));
}

// Arguments: repository, further agent options, writer count, "shutdown" to end with writers running.
CHILD_SCENARIO(qrn_writers) {
    std::string options = std::string("maxchunksize=1m,repository=") + argv[0];
    if (*argv[1] != '\0')
        options += std::string(",") + argv[1];
    int writers = atoi(argv[2]);
    bool shutdownWhileWriting = argc > 3;
    RecorderDriver r(options);
    if (!r.ok())
        return 1;
    const RecorderStatistics *statistics = r.statistics();
    r.enable(gcEvent);
    printf("start %s\n", r.start(false).c_str());
    std::vector<std::thread> threads;
    std::vector<int> refused(size_t(writers), 0);
    for (int i = 0; i < writers; ++i)
        threads.emplace_back(writer, r.session().vm(), &refused[size_t(i)], eventsPerWriter);
    if (shutdownWhileWriting) {
        // Once every writer has begun.
        eventually([&] { return writersBegun >= writers; }, 1);
        r.call("shutdown", "()V");
    }
    for (std::thread &t : threads)
        t.join();
    if (!shutdownWhileWriting)
        r.call("shutdown", "()V");
    // Returns once the buffer thread has ended.
    printf("stop after shutdown %s\n", r.stop().c_str());
    int refusedTotal = 0;
    for (int n : refused)
        refusedTotal += n;
    printf("refused %d\n", refusedTotal);
    printChunks(r);
    const RecorderStatistics &s = *statistics;
    printf("statistics %llu %llu %llu %llu %llu %u\n", (unsigned long long)s.finishedChunkBytes,
           (unsigned long long)s.lostBytes, (unsigned long long)s.writtenBytes,
           (unsigned long long)s.threadBufferAllocated, (unsigned long long)s.threadBufferReleased,
           s.chunksFinished);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

struct Writers {
    std::map<uint32_t, uint32_t> lastSequence, present, lost;
    std::map<uint32_t, std::string> gaps;
    int chunk = 0;
    std::string fault;
    uint64_t recordBytes = 0, lostBytes = 0;
};

// Walks the chunks in order; the first fault is kept.
void account(const ChunkContents &chunk, Writers &w) {
    w.recordBytes += chunk.trailerOffset - 16;
    for (const ChunkRecord &record : chunk.records) {
        if (record.type == 2) {
            uint32_t thread = uint32_t(bigEndian(record.data + 16, 4));
            uint32_t bytes = uint32_t(bigEndian(record.data + 20, 4));
            w.lost[thread] += bytes;
            w.lostBytes += bytes;
            continue;
        }
        if (record.type != uint32_t(gcEvent) || record.size != uint32_t(eventSize)) {
            if (w.fault.empty())
                w.fault = "offset " + std::to_string(record.offset) + ": an unexpected record";
            continue;
        }
        uint32_t thread = uint32_t(bigEndian(record.data + 16, 4));
        uint32_t sequence = uint32_t(bigEndian(record.data + 20, 4));
        if (sequence <= w.lastSequence[thread] && w.fault.empty())
            w.fault = "offset " + std::to_string(record.offset) + ": thread " + std::to_string(thread) +
                      " sequence " + std::to_string(sequence) + " after " + std::to_string(w.lastSequence[thread]);
        if (sequence != w.lastSequence[thread] + 1 && w.gaps[thread].size() < 200)
            w.gaps[thread] += " " + std::to_string(w.lastSequence[thread] + 1) + ".." + std::to_string(sequence - 1) +
                              "@" + std::to_string(record.offset) + "/" + std::to_string(w.chunk);
        w.lastSequence[thread] = sequence;
        w.present[thread] += 1;
    }
}

void checkWriters(const std::string &extraOptions, int writers) {
    SCOPED_TRACE(extraOptions + " with " + std::to_string(writers) + " writers");
    TempDir dir;
    ChildResult child = runScenario("qrn_writers", {dir.path(), extraOptions, std::to_string(writers)});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    const std::string &out = child.out;
    ASSERT_EQ(linesOf(out, "start"), std::vector<std::string>{""});
    EXPECT_EQ(linesOf(out, "refused"), std::vector<std::string>{"0"});
    int64_t frequency = std::stoll(linesOf(out, "frequency").at(0));
    std::vector<std::string> chunks = linesOf(out, "chunk");
    ASSERT_FALSE(chunks.empty());
    Writers w;
    int64_t previousEnd = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        std::string path = chunks[i].substr(0, chunks[i].size() - 2);
        // Each rotation opens the next chunk; the last one ends the recording.
        EXPECT_EQ(chunks[i].back(), i + 1 < chunks.size() ? '1' : '0') << path;
        ChunkContents contents;
        ASSERT_EQ(checkChunkFile(path, frequency, &contents), "") << path;
        // One reading of the clock ends a chunk and starts the next.
        if (i > 0) {
            EXPECT_EQ(contents.startMillis, previousEnd) << path;
        }
        previousEnd = contents.endMillis;
        account(contents, w);
        w.chunk++;
    }
    EXPECT_EQ(w.fault, "");
    // A writer that lost all it wrote is known by its loss records alone.
    std::set<uint32_t> threads;
    for (const auto &entry : w.present)
        threads.insert(entry.first);
    for (const auto &entry : w.lost)
        threads.insert(entry.first);
    EXPECT_EQ(threads.size(), size_t(writers));
    for (uint32_t thread : threads) {
        uint64_t missing = uint64_t(eventsPerWriter) - w.present[thread];
        EXPECT_EQ(missing * eventSize, w.lost[thread]) << "thread " << thread << " last " << w.lastSequence[thread]
                                                       << " gaps" << w.gaps[thread];
    }
    unsigned long long finished, lost, written, allocated, released;
    unsigned count;
    ASSERT_EQ(sscanf(linesOf(out, "statistics").at(0).c_str(), "%llu %llu %llu %llu %llu %u", &finished, &lost,
                     &written, &allocated, &released, &count),
              6);
    EXPECT_EQ(finished, w.recordBytes);
    EXPECT_EQ(written, w.recordBytes);
    EXPECT_EQ(lost, w.lostBytes);
    EXPECT_EQ(count, chunks.size());
    EXPECT_EQ(allocated, released);
    EXPECT_GT(allocated, 0u);
}

TEST(Buffers, EveryEventOfEveryWriterIsWrittenOrCounted) {
    for (int writers : {1, 2, 4, 8}) {
        checkWriters("", writers);
        checkWriters(smallBuffers, writers);
    }
}

TEST(Buffers, AShutdownWithWritersRunningLosesNothingUncounted) {
    TempDir dir;
    ChildResult child = runScenario("qrn_writers", {dir.path(), smallBuffers, "4", "shutdown"});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    // A stop after the shutdown returns: served by the last pass, or refused once the thread ended.
    std::string stop = linesOf(child.out, "stop after shutdown").at(0);
    EXPECT_TRUE(stop.empty() || stop == "java.lang.IllegalStateException: Flight recorder buffer thread not running")
        << stop;
    int64_t frequency = std::stoll(linesOf(child.out, "frequency").at(0));
    Writers w;
    for (const std::string &chunk : linesOf(child.out, "chunk")) {
        ChunkContents contents;
        ASSERT_EQ(checkChunkFile(chunk.substr(0, chunk.size() - 2), frequency, &contents), "") << chunk;
        account(contents, w);
    }
    EXPECT_EQ(w.fault, "");
    // What a writer recorded after the last chunk closed never reaches a file; before it, every
    // gap in its sequence is a counted loss.
    for (const auto &[thread, count] : w.present) {
        uint64_t gaps = uint64_t(w.lastSequence[thread]) - count;
        EXPECT_GE(w.lost[thread], gaps * eventSize) << "thread " << thread;
        EXPECT_LE(w.lost[thread], (uint64_t(eventsPerWriter) - count) * eventSize) << "thread " << thread;
    }
}

constexpr int waitingWriterEvents = 2000;

// A rotation waits for the repository lock, which this process holds, while a VM thread records
// with global buffers too few to take it all; thread buffers may go straight to disk together
// with the full global buffers. Prints whether that thread's data went to disk while the
// rotation still waited, what the rotation said, and the statistics.
CHILD_SCENARIO(qrn_rotation_waits) {
    std::string repository = argv[0];
    RecorderDriver r(std::string("repository=") + repository + "," + smallBuffers +
                     ",allow_threadbuffers_to_disk=true,allow_thread_to_flush_globalbuffers=true");
    if (!r.ok())
        return 1;
    const RecorderStatistics *statistics = r.statistics();
    r.enable(gcEvent);
    printf("start %s\n", r.start(false).c_str());
    HANDLE lock = holdRepositoryLock(repository);
    if (lock == INVALID_HANDLE_VALUE)
        return 3;
    JavaVM *vm = r.session().vm();
    jobject recorder = r.recorder();
    std::atomic<bool> rotated{false};
    std::string rotation;
    std::thread rotating([&] {
        JNIEnv *env = nullptr;
        vm->AttachCurrentThread(reinterpret_cast<void **>(&env), nullptr);
        jclass c = env->GetObjectClass(recorder);
        env->CallVoidMethod(recorder, env->GetMethodID(c, "rotate", "()V"));
        rotation = takeException(env, false);
        env->DeleteLocalRef(c);
        rotated = true;
        vm->DetachCurrentThread();
    });
    // The rotation has begun; it cannot end while the lock is held here.
    std::string log;
    eventually([&] {
        log += r.takeLog();
        return log.find("recorder.chunkFinishing()") != std::string::npos;
    });
    int refused = 0;
    std::thread writing(writer, vm, &refused, waitingWriterEvents);
    // Only a bound against a hang: the flush does not wait for the rotation.
    eventually([&] { return statistics->directWrites != 0; });
    printf("direct while waiting %d %d\n", int(statistics->directWrites > 0), int(!rotated));
    CloseHandle(lock);
    writing.join();
    rotating.join();
    printf("rotate %s\n", rotation.c_str());
    // The shutdown writes what is buffered into the last chunk; the stop waits for it.
    r.call("shutdown", "()V");
    r.stop();
    printf("refused %d\n", refused);
    printChunks(r);
    const RecorderStatistics &s = *statistics;
    printf("statistics %llu %llu %llu %u\n", (unsigned long long)s.finishedChunkBytes, (unsigned long long)s.lostBytes,
           (unsigned long long)s.writtenBytes, s.chunksFinished);
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(Buffers, ARotationWaitingForTheRepositoryFreezesNoWriterAndCountsEachByteOnce) {
    TempDir dir;
    ChildResult child = runScenario("qrn_rotation_waits", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    const std::string &out = child.out;
    EXPECT_EQ(linesOf(out, "start"), std::vector<std::string>{""});
    // The thread's data reached the chunk while the rotation still waited for the lock.
    EXPECT_EQ(linesOf(out, "direct while waiting"), std::vector<std::string>{"1 1"}) << child.err;
    EXPECT_EQ(linesOf(out, "rotate"), std::vector<std::string>{""}) << child.err;
    EXPECT_EQ(linesOf(out, "refused"), std::vector<std::string>{"0"});
    int64_t frequency = std::stoll(linesOf(out, "frequency").at(0));
    std::vector<std::string> chunks = linesOf(out, "chunk");
    ASSERT_EQ(chunks.size(), 2u) << out;
    Writers w;
    for (const std::string &chunk : chunks) {
        ChunkContents contents;
        ASSERT_EQ(checkChunkFile(chunk.substr(0, chunk.size() - 2), frequency, &contents), "") << chunk;
        account(contents, w);
    }
    uint64_t present = 0;
    for (const auto &entry : w.present)
        present += entry.second;
    EXPECT_EQ(present * eventSize + w.lostBytes, uint64_t(waitingWriterEvents) * eventSize);
    unsigned long long finished, lost, written;
    unsigned count;
    ASSERT_EQ(sscanf(linesOf(out, "statistics").at(0).c_str(), "%llu %llu %llu %u", &finished, &lost, &written, &count), 4);
    EXPECT_EQ(finished, w.recordBytes);
    EXPECT_EQ(written, w.recordBytes);
    EXPECT_EQ(lost, w.lostBytes);
    EXPECT_EQ(count, 2u);
}

} // namespace
