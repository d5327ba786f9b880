/* The flight recorder's private interface with the VM, shared by the agent and the VM.

   The agent asks the VM's GetEnv for QRN_INTERFACE_VERSION with the address of its entry table
   (QrnAgent) in the output word; the VM keeps the table and answers with its recorder interface
   (QrnInterface), whose first word is PRODUCER_MAGIC.

   Choices made once for both sides:
   - every operation of both tables uses JNICALL (__stdcall), like JNI itself;
   - booleans are jboolean (0 or 1), texts are NUL-terminated modified UTF-8 (char *), except in the
     producer record, whose texts are counted (QrnText);
   - record arrays are C arrays of the element structures below, with their count beside them;
   - event records written by the VM into thread buffers start with a u32 record size (the whole
     record), a u32 event id and a u64 counter tick time, all big-endian, then the event's payload. */
#ifndef VMHOST_RECORDER_INTERFACE_H
#define VMHOST_RECORDER_INTERFACE_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QRN_INTERFACE_VERSION ((jint)0xf0300100)
#define PRODUCER_MAGIC 0x06453011
#define QRN_AGENT_TAG 0x0FE10770

/* A counted text of the producer record: no terminator. */
typedef struct QrnText {
    unsigned short length;
    const char *bytes;
} QrnText;

typedef struct QrnGroupEntry {
    QrnText texts[3];
    unsigned int flags[2]; /* the low byte of each is used */
    unsigned int values[2];
} QrnGroupEntry;

typedef struct QrnGroup {
    unsigned int entryCount;
    const QrnGroupEntry *entries;
} QrnGroup;

/* Indexes into QrnEventDescriptor.flags. */
#define QRN_EVENT_HAS_THRESHOLD 0
#define QRN_EVENT_REQUESTABLE 3

typedef struct QrnEventDescriptor {
    unsigned int id; /* consecutive from the first event's id */
    QrnText name;
    QrnText description;
    QrnText path;
    unsigned int flags[4]; /* the low byte of each is used */
    unsigned int value;
} QrnEventDescriptor;

typedef struct QrnFurtherEntry {
    unsigned int id;
    QrnText texts[2];
    unsigned int flag; /* the low byte is used */
    unsigned int value;
} QrnFurtherEntry;

/* The VM's producer record (recorder operation 1); owned by the VM. */
typedef struct QrnProducer {
    unsigned int id;
    QrnText name;
    QrnText description;
    QrnText uri;
    unsigned int stringCount;
    const QrnText *strings;
    unsigned int groupCount;
    const QrnGroup *groups;
    unsigned int eventCount;
    const QrnEventDescriptor *events;
    unsigned int furtherCount;
    const QrnFurtherEntry *further;
} QrnProducer;

/* One per event of the producer, indexed by event id minus the first event's id (operation 2). */
typedef struct QrnEventSetting {
    jlong threshold; /* counter ticks */
    unsigned char stacktrace;
    unsigned char enabled;
    unsigned char vmReserved[6];
} QrnEventSetting;

/* The VM's recorder interface, in this order. */
typedef struct QrnInterface {
    jint magic; /* PRODUCER_MAGIC */
    const QrnProducer *(JNICALL *getProducer)(void);
    QrnEventSetting *(JNICALL *getEventSettings)(void);
    void(JNICALL *newChunk)(void);
    void(JNICALL *recordingStarted)(void);
    void(JNICALL *recordingStopped)(void);
    void(JNICALL *recordingCloned)(void);
    void(JNICALL *chunkFinishing)(struct QrnInterface *self);
    void(JNICALL *enableEvent)(jint eventId);
    void(JNICALL *disableEvent)(jint eventId);
    jint(JNICALL *setPeriod)(jint eventId, jlong milliseconds); /* non-zero: accepted as periodic */
    void(JNICALL *requestEvent)(struct QrnInterface *self, jint eventId);
    jlong(JNICALL *classId)(struct QrnInterface *self, jclass cls);
    jlong(JNICALL *stackTraceId)(struct QrnInterface *self, jint framesToSkip);
} QrnInterface;

/* What the VM sees of a thread buffer: getThreadBuffer returns the address of `start`. The VM
   writes events between `flushed` and `end` and advances `pos`. */
typedef struct QrnThreadBufferView {
    unsigned char *start;
    unsigned char *flushed;
    unsigned char *pos;
    unsigned char *end;
    unsigned int reserved;
    unsigned int threadId;
} QrnThreadBufferView;

/* The stream a direct write or a checkpoint hands to the VM (the utility library's writer). */
struct StreamWriter;

/* The agent's entry table, in this order. */
typedef struct QrnAgent {
    jint tag; /* QRN_AGENT_TAG */
    jlong(JNICALL *startRecording)(JNIEnv *env, const char *name, const char *const *settings,
                                   jint settingsCount, jboolean a, jlong b, jlong c, const char *d,
                                   jboolean e, jlong f, jlong g);
    void(JNICALL *stopRecording)(JNIEnv *env, const char *name, jlong recordingId, jboolean a,
                                 const char *path, jboolean b);
    jstring(JNICALL *checkRecording)(JNIEnv *env, const char *name, jlong recordingId, jboolean a);
    void(JNICALL *dumpRecording)(JNIEnv *env, const char *name, jlong recordingId, const char *path,
                                 jboolean a);
    QrnThreadBufferView *(JNICALL *getThreadBuffer)(void);
    void(JNICALL *flushThreadBuffer)(void);
    struct StreamWriter *(JNICALL *beginDirectWrite)(void);
    void(JNICALL *endDirectWrite)(void);
    struct StreamWriter *(JNICALL *beginCheckpoint)(void);
    void(JNICALL *endCheckpoint)(void);
    void(JNICALL *releaseThreadBuffer)(void);
    const char *(JNICALL *repositoryPath)(void);
    jint(JNICALL *exitReady)(void);
} QrnAgent;

#ifdef __cplusplus
}
#endif

#endif
