/* The VM's management tables, obtained with JVM_GetManagement of the VM's library (jvm.dll).

   Choices made once for both sides:
   - every operation uses JNICALL (__stdcall), like JNI itself;
   - booleans are jboolean (0 or 1); texts are NUL-terminated modified UTF-8 (char *);
   - getData answers a count and a C array of `count` elements of the id's record type (a text
     element is a char *); the whole answer is given back with freeData and the same id. */
#ifndef VMHOST_MANAGEMENT_INTERFACE_H
#define VMHOST_MANAGEMENT_INTERFACE_H

#include <jvmti.h>

#ifdef __cplusplus
extern "C" {
#endif

#define JMM_VERSION_1_0 ((jint)0x20010000)
#define JMM_EXT_VERSION ((jint)0xff010002)

/* The standard table, or null for a version the VM does not offer. */
void *JNICALL JVM_GetManagement(jint version);

/* Standard table (JMM_VERSION_1_0). */
typedef struct VmManagement {
    jint(JNICALL *getVersion)(JNIEnv *env);
    jlong(JNICALL *getLong)(JNIEnv *env, jobject object, jint id);
} VmManagement;

/* Standard table attribute ids. */
#define JMM_THREAD_LIVE_COUNT 4
#define JMM_THREAD_DAEMON_COUNT 6
#define JMM_GC_TIME_MS 9
#define JMM_GC_COUNT 10
#define JMM_OS_MEM_TOTAL_PHYSICAL_BYTES 202

typedef struct VmManagementData {
    jint count;
    void *elements;
} VmManagementData;

/* Records of getData, by id. */
typedef struct VmGcStrategy { /* 100 */
    char *name;
    jboolean flags[5];
} VmGcStrategy;

typedef struct VmGcHeuristic { /* 101 */
    char *name;
    char *description;
} VmGcHeuristic;

typedef struct VmCompilationStrategy { /* 200 */
    char *name;
    jint flag;
} VmCompilationStrategy;

typedef struct VmCommandParameter { /* 252; 32 bytes */
    char *name;
    char *description;
    char type; /* 'D', 'I', 'J', 'L' or 'Z' */
    union {
        jdouble d;
        jint i;
        jlong j;
        jobject l;
        jboolean z;
    } value;
    jboolean required;
} VmCommandParameter;

typedef struct VmExceptionCount { /* 300 and 301; four words */
    jclass cls;
    jint unused;
    jlong count;
} VmExceptionCount;

/* 250: char *; 251, 600, 601, 602: one char *; 400 (input: jint CPU index), 401, 402: one
   jdouble; 403: jint (also for setData). */

/* getOptionalSupport: 20 bytes; byte 0 holds these bits. */
typedef struct VmOptionalSupport {
    unsigned char bytes[20];
} VmOptionalSupport;

#define VM_SUPPORTS_PROCESS_AFFINITY 0x04
#define VM_SUPPORTS_LOAD 0x10
#define VM_SUPPORTS_CLOCK_FREQUENCY 0x20

/* fillLastGcInfo. */
typedef struct VmGcInfo {
    jint id;
    jboolean flags[2];
    jlong values[3]; /* start and end in milliseconds since VM start, duration in milliseconds */
} VmGcInfo;

/* Extension table (JMM_EXT_VERSION), in this order. */
typedef struct VmManagementExt {
    jlong(JNICALL *getLong)(JNIEnv *env, jobject object, jint id);
    jlong(JNICALL *setLong)(JNIEnv *env, jobject object, jint id, jlong value);
    jboolean(JNICALL *getBool)(JNIEnv *env, jobject object, jint id);
    jboolean(JNICALL *setBool)(JNIEnv *env, jobject object, jint id, jboolean value);
    jint(JNICALL *reserved)(JNIEnv *env);
    jint(JNICALL *getData)(JNIEnv *env, jobject object, jint id, const void *input, VmManagementData *output);
    jint(JNICALL *setData)(JNIEnv *env, jobject object, jint id, jint count, const void *data);
    void(JNICALL *freeData)(JNIEnv *env, jint id, VmManagementData *data);
    jint(JNICALL *executeCommand)(JNIEnv *env, const char *command, jint flag);
    jint(JNICALL *threadsById)(JNIEnv *env, jint count, const jlong *ids, jthread *threads);
    void(JNICALL *getOptionalSupport)(VmOptionalSupport *flags);
    void(JNICALL *fillLastGcInfo)(VmGcInfo *info);
} VmManagementExt;

#ifdef __cplusplus
}
#endif

#endif
