// The agent's process-wide state, shared by its start-up, natives and buffer thread.
#ifndef QRN_AGENT_STATE_H
#define QRN_AGENT_STATE_H

#include <jvmti.h>
#include <stdint.h>

#include "osal/fio.h"
#include "osal/osal_types.h"
#include "osal/sync.h"
#include "osal/timing.h"
#include "recorder_interface.h"
#include "osal/thread.h"
#include "sarnik/arguments.h"
#include "sarnik/stream_writer.h"

enum QrnLogLevel { QRN_ERROR = 1, QRN_WARN = 2, QRN_INFO = 3, QRN_DEBUG = 4, QRN_TRACE = 5 };

// A block of the global buffer pool; the data follows the head.
struct GlobalBuffer {
    GlobalBuffer *next;
    GlobalBuffer *prev;
    unsigned char *begin;
    unsigned char *end;
    unsigned char *cur; // next free byte
};

// A recording thread's buffer; its data follows the head. The VM sees it from `start` on.
struct ThreadBuffer {
    ThreadBuffer *next; // newer
    ThreadBuffer *prev; // older
    unsigned char *start;
    unsigned char *flushed;
    unsigned char *pos;
    unsigned char *end;
    uint32_t reserved;
    uint32_t threadId;
};

// Seen by Java as a direct buffer, in native byte order. The 64-bit counters change atomically,
// so that no reader on 32 bits sees half an update.
struct alignas(8) QrnStatistics {
    uint64_t finishedChunkBytes;
    uint64_t lostBytes;
    uint64_t writtenBytes;
    uint64_t threadBufferAllocated;
    uint64_t threadBufferReleased;
    uint32_t chunksFinished;
    uint32_t flushes;
    uint32_t directWrites;
    uint32_t reserved1;
    uint32_t bufferWrites;
    uint32_t reserved2;
};
static_assert(sizeof(QrnStatistics) == 64, "the statistics block is 64 bytes");

// Request bits of the buffer thread.
enum : uint32_t {
    QRN_REQUEST_START_KEEP = 0x01,
    QRN_REQUEST_START_DISCARD = 0x02,
    QRN_REQUEST_STOP = 0x04,
    QRN_REQUEST_ROTATE = 0x08,
    QRN_REQUEST_FLUSH_FULL = 0x10,
    QRN_REQUEST_WAKE = 0x40,
    QRN_REQUEST_SHUTDOWN = 0x80,
};

struct AgentState {
    jvmtiEnv *jvmti;
    QrnInterface *recorder;
    const QrnProducer *producer;
    QrnEventSetting *eventSettings;
    char *optionCopy;
    uint32_t threadBufferSize;
    uint32_t globalBufferSize;
    uint32_t numGlobalBuffers;
    int64_t maxChunkSize;
    bool allowThreadBuffersToDisk;
    bool allowThreadToFlushGlobalBuffers;
    bool dumpOnExit;
    char *dumpOnExitPath;
    bool defaultRecordingWanted;
    GlobalBuffer *freeGlobalBuffers;
    GlobalBuffer *fullHead, *fullTail;
    uint32_t fullCount;
    ThreadBuffer *newestThreadBuffer;
    TlsKey threadBufferKey;
    volatile bool chunkOpen;
    // Set while the buffer thread replaces the chunk by the next one: the buffers then keep
    // their data, as they do while a chunk is open.
    volatile bool chunkFollows;
    int64_t chunkStartMillis;
    int64_t chunkStartTicks;
    int64_t counterFrequency;
    double nanosPerTick;
    jclass recorderClass;
    jmethodID finishChunk, startRecording, stopRecording, checkRecording, dumpRecording, onNewChunk;
    jobject javaRecorder;
    bool shutdownHooksRegistered;
    char *locale; // modified UTF-8, as init got it
    uint16_t localeLength;
    int32_t localeValue;
    // The monitor lock (requests), the chunk lock and the buffer-lists lock; when two are held the
    // chunk lock comes first, and the monitor lock is taken alone.
    OsMonitor bufferMonitor;
    OsMutex chunkLock;
    OsMutex listsLock;
    bool bufferMonitorReady;
    uint32_t bufferRequests;
    uint32_t startedPasses, completedPasses;
    bool bufferThreadStarted;
    bool bufferThreadTerminated;
    volatile bool bufferThreadBusy;
    uint32_t bufferThreadId;
    JNIEnv *bufferThreadJni;
    uint64_t chunkBytes; // added to the current chunk since it opened
    // The OS error of the last chunk that could not be written whole, until a stop or rotate
    // has reported it to Java; 0 when none was lost since.
    int lostChunkError;
};

extern AgentState qrnState;
extern QrnAgent qrn_agent;

void qrnLog(int level, const char *format, ...) OSAL_PRINTF_LIKE(2, 3);
// Aborts the process after the message when a call that must not fail did.
void qrnCheckJvmti(jvmtiEnv *jvmti, jvmtiError error, const char *call);

// The option table's variables; the size fields hold the defaults when declared.
struct QrnOptions {
    ArgDesc descs[15];
    const char *settings, *repository, *dumpPath;
    size_t tbs, gbs, n, total;
    int64_t maxChunk, maxAge, maxSize;
    int defaultRecording, disk, toDisk, flushGlobal, dumpOnExit;
};
void qrnDeclareOptions(QrnOptions *options, ArgList *list);
int qrnParseOptions(const char *options);
int qrnAllocateGlobalBuffers(void);

extern QrnStatistics qrnStatistics;
void qrnStatAdd64(volatile uint64_t *counter, uint64_t amount);
void qrnStatAdd32(volatile uint32_t *counter, uint32_t amount);

void JNICALL qrnVmInit(jvmtiEnv *jvmti, JNIEnv *jni, jthread thread);
// Makes sure the Java recorder object exists (QRN.get); false, logged, when it does not.
// Keeps a global reference of the Java recorder unless one is kept already; false when none
// could be made.
bool qrnKeepJavaRecorder(JNIEnv *env, jobject recorder);
bool qrnEnsureJavaRecorder(JNIEnv *env);

// Buffer thread. A request sets bits and wakes it; with wait, the caller (unless it is the buffer
// thread) returns once the pass that took the bits is done or the thread has ended. False when
// there is no buffer thread to serve a waiting request.
bool qrnRequestBufferThread(uint32_t bits, bool wait = false);
void JNICALL qrnBufferThread(jvmtiEnv *jvmti, JNIEnv *jni, void *argument);
bool qrnOnBufferThread(void);

// Thread and global buffers.
ThreadBuffer *qrnGetThreadBuffer(void);
// False when the buffer's positions, which the VM and Java write, lie outside it: its data is
// then dropped (logged).
bool qrnFlushThreadBuffer(void);
void qrnReleaseThreadBuffer(void);
uint64_t qrnFlushFullGlobalBuffers(StreamWriter *stream);
// The caller holds the chunk lock.
uint64_t qrnFlushAllBuffers(StreamWriter *stream);

// Chunks. The stream functions with "Locked" in the name want the chunk lock held.
// With repositoryLocked the caller holds the repository lock; else it is taken and given back.
bool qrnNewChunk(bool repositoryLocked = false);
StreamWriter *qrnChunkStream(void);
uint64_t qrnStreamPosition(const StreamWriter *stream);
void qrnPutU16(StreamWriter *stream, uint16_t value);
void qrnPutU32(StreamWriter *stream, uint32_t value);
void qrnPutU64(StreamWriter *stream, uint64_t value);
void qrnPutBytes(StreamWriter *stream, const void *bytes, size_t length);
// Counts bytes added to the current chunk: its size and the bytes-written statistic.
void qrnAccountChunkBytes(uint64_t bytes);
// Asks the buffer thread to look at the chunk size once it reached the limit.
void qrnCheckChunkSize(void);
StreamWriter *qrnBeginDirectWrite(void);
// Bytes written inside the open direct write that were counted on their own.
void qrnExcludeFromDirectWrite(uint64_t bytes);
void qrnEndDirectWrite(void);
StreamWriter *qrnBeginCheckpoint(void);
void qrnEndCheckpoint(void);
// Trailer, header patch, close; the path it had goes to path (260 bytes). False when the file
// could not be written whole (it is then deleted), with the OS error in error.
bool qrnFinishChunkLocked(int64_t endMillis, char *path, int *error);
int qrnAddConstPool(uint32_t id, unsigned char *address, int64_t capacity, bool reset);
void qrnRemoveConstPool(uint32_t id);
// 1 stored or nothing to store, 0 failed; -1 when no pool has the id.
int qrnStoreConstPoolLocked(uint32_t id);
void qrnStoreAllConstPoolsLocked(void);

// Repository.
enum { QRN_PATH_SIZE = 260 };
// 0 stored; -1 does not fit or cannot be expressed in the ANSI code page (logged).
int qrnSetRepositoryPath(const char *modifiedUtf8, const jchar *chars, jsize length);
const char *qrnRepositoryPath(void);
// The lock that serialises chunk creation among processes; taking it may wait, so no other lock
// of the agent is held meanwhile. False (logged) when it could not be had.
bool qrnLockRepository(void);
void qrnUnlockRepository(void);
// The caller holds the repository lock.
FioHandle qrnCreateTempChunk(char *path);
jstring qrnNewPathString(JNIEnv *env, const char *ansiPath);
// Dump on exit, then the shutdown request.
void qrnShutdown(JNIEnv *env);
void qrnDumpRecording(JNIEnv *env, jstring name, jlong id, jstring path, jboolean flag);

// Producer descriptors.
int qrnSerialiseProducer(const QrnProducer *producer);
int qrnAddDescriptor(uint32_t producerId, const unsigned char *bytes, uint32_t size);
void qrnRemoveDescriptor(uint32_t producerId);
int qrnFindDescriptor(uint32_t producerId, const unsigned char **bytes, uint32_t *size, uint32_t *eventOffset);
uint32_t qrnDescriptorCount(void);
uint32_t qrnDescriptorTotal(void);
// The count, then every blob, newest first; the caller holds the chunk lock.
void qrnWriteDescriptors(StreamWriter *stream);

// Event settings files: 1 when one was found and read into the settings array.
int loadSettingsFile(const char *name, const QrnProducer *producer, QrnEventSetting *settings);
// Nanoseconds in counter ticks, truncated; held within 64 bits.
int64_t qrnNanosToTicks(int64_t nanos);

// Periodic events.
int qrnBuildRequestableTable(const QrnProducer *producer);
int qrnSetEventPeriod(jint eventId, jlong milliseconds);
jlong qrnGetEventPeriod(jint eventId);
int64_t qrnCheckPeriodic(int64_t *previousMillis);

#endif
