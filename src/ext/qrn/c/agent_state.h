// The agent's process-wide state, shared by its start-up, natives and buffer thread.
#ifndef QRN_AGENT_STATE_H
#define QRN_AGENT_STATE_H

#include <jvmti.h>
#include <stdint.h>

#include "osal/osal_types.h"
#include "osal/sync.h"
#include "osal/timing.h"
#include "recorder_interface.h"
#include "sarnik/arguments.h"

enum QrnLogLevel { QRN_ERROR = 1, QRN_WARN = 2, QRN_INFO = 3, QRN_DEBUG = 4, QRN_TRACE = 5 };

// A block of the global buffer pool; the data follows the head.
struct GlobalBuffer {
    GlobalBuffer *next;
    uint32_t size;
    uint32_t used;
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
    bool chunkOpen;
    int64_t chunkStartMillis;
    int64_t chunkStartTicks;
    int64_t counterFrequency;
    double nanosPerTick;
    jclass recorderClass;
    jmethodID finishChunk, startRecording, stopRecording, checkRecording, dumpRecording, onNewChunk;
    jobject javaRecorder;
    bool shutdownHooksRegistered;
    OsMonitor bufferMonitor;
    bool bufferMonitorReady;
    uint32_t bufferRequests;
    bool bufferThreadStop;
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

void JNICALL qrnVmInit(jvmtiEnv *jvmti, JNIEnv *jni, jthread thread);
// Wakes the buffer thread with request bits, without waiting for it.
void qrnRequestBufferThread(uint32_t bits);

// Producer descriptors.
int qrnSerialiseProducer(const QrnProducer *producer);
int qrnAddDescriptor(uint32_t producerId, const unsigned char *bytes, uint32_t size);
void qrnRemoveDescriptor(uint32_t producerId);
int qrnFindDescriptor(uint32_t producerId, const unsigned char **bytes, uint32_t *size, uint32_t *eventOffset);
uint32_t qrnDescriptorCount(void);
uint32_t qrnDescriptorTotal(void);

// Periodic events.
int qrnBuildRequestableTable(const QrnProducer *producer);
int qrnSetEventPeriod(jint eventId, jlong milliseconds);
jlong qrnGetEventPeriod(jint eventId);
int64_t qrnCheckPeriodic(int64_t *previousMillis);

#endif
