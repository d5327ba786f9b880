// The global buffers between the thread buffers and the chunk: their free and full lists, their
// allocation at start-up together with the locks, and the flushes that write or drop them.
#include <windows.h>

#include <string.h>

#include "agent_state.h"
#include "osal/mspace.h"
#include "sarnik/scaledown.h"

constinit QrnStatistics qrnStatistics = {};

namespace {

constexpr int lockSpinCount = 4000;

// Writes a buffer's data into the stream (or drops it) and empties it.
uint64_t drain(StreamWriter *stream, unsigned char *from, unsigned char *to) {
    size_t length = size_t(to - from);
    if (stream != nullptr && length > 0) {
        sw_bytes(stream, from, length);
        qrnAccountChunkBytes(length);
    }
    return length;
}

void pushFree(GlobalBuffer *buffer) {
    buffer->next = qrnState.freeGlobalBuffers;
    buffer->prev = nullptr;
    qrnState.freeGlobalBuffers = buffer;
}

} // namespace

void qrnStatAdd64(volatile uint64_t *counter, uint64_t amount) {
    InterlockedExchangeAdd64(reinterpret_cast<volatile LONG64 *>(counter), LONG64(amount));
}

void qrnStatAdd32(volatile uint32_t *counter, uint32_t amount) {
    InterlockedExchangeAdd(reinterpret_cast<volatile LONG *>(counter), LONG(amount));
}

int qrnAllocateGlobalBuffers(void) {
    if (!osMonitorInitAttr(&qrnState.bufferMonitor, lockSpinCount) ||
        !osMutexInitAttr(&qrnState.chunkLock, lockSpinCount) || !osMutexInitAttr(&qrnState.listsLock, lockSpinCount) ||
        tlsAlloc(&qrnState.threadBufferKey) != 0) {
        qrnLog(QRN_ERROR, "Could not create the buffer locks");
        return -1;
    }
    qrnState.bufferMonitorReady = true;
    for (uint32_t i = 0; i < qrnState.numGlobalBuffers; ++i) {
        auto *buffer = static_cast<GlobalBuffer *>(gsMalloc(sizeof(GlobalBuffer) + qrnState.globalBufferSize));
        if (buffer == nullptr) {
            size_t size = qrnState.globalBufferSize;
            qrnLog(QRN_ERROR, "Could not allocate global buffer (%Iu%sB)", scaledownSize(size),
                   scaledDownSizeSuffix(size));
            return -1;
        }
        buffer->begin = buffer->cur = reinterpret_cast<unsigned char *>(buffer + 1);
        buffer->end = buffer->begin + qrnState.globalBufferSize;
        pushFree(buffer);
    }
    qrnState.chunkOpen = false;
    return 0;
}

uint64_t qrnFlushFullGlobalBuffers(StreamWriter *stream) {
    osMutexLock(&qrnState.listsLock);
    GlobalBuffer *first = qrnState.fullHead;
    qrnState.fullHead = qrnState.fullTail = nullptr;
    qrnState.fullCount = 0;
    osMutexUnlock(&qrnState.listsLock);
    if (first == nullptr)
        return 0;
    uint64_t bytes = 0;
    GlobalBuffer *last = first;
    osMutexLock(&qrnState.chunkLock);
    // The chunk may have closed since the caller looked: the data then waits for the next one.
    if (stream != nullptr && stream != qrnChunkStream()) {
        osMutexUnlock(&qrnState.chunkLock);
        osMutexLock(&qrnState.listsLock);
        for (last = first; last->next != nullptr; last = last->next)
            qrnState.fullCount += 1;
        qrnState.fullCount += 1;
        last->next = qrnState.fullHead;
        if (qrnState.fullHead != nullptr)
            qrnState.fullHead->prev = last;
        else
            qrnState.fullTail = last;
        qrnState.fullHead = first;
        osMutexUnlock(&qrnState.listsLock);
        return 0;
    }
    for (GlobalBuffer *b = first; b != nullptr; b = b->next) {
        bytes += drain(stream, b->begin, b->cur);
        if (stream != nullptr)
            qrnStatAdd32(&qrnStatistics.bufferWrites, 1);
        b->cur = b->begin;
        last = b;
    }
    osMutexUnlock(&qrnState.chunkLock);
    osMutexLock(&qrnState.listsLock);
    // To the tail of the free list: the buffers that still have room are used first.
    GlobalBuffer **link = &qrnState.freeGlobalBuffers;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = first;
    last->next = nullptr;
    osMutexUnlock(&qrnState.listsLock);
    return bytes;
}

uint64_t qrnFlushAllBuffers(StreamWriter *stream) {
    uint64_t bytes = 0;
    osMutexLock(&qrnState.listsLock);
    while (GlobalBuffer *b = qrnState.fullHead) {
        qrnState.fullHead = b->next;
        bytes += drain(stream, b->begin, b->cur);
        b->cur = b->begin;
        pushFree(b);
    }
    qrnState.fullTail = nullptr;
    qrnState.fullCount = 0;
    for (GlobalBuffer *b = qrnState.freeGlobalBuffers; b != nullptr; b = b->next) {
        bytes += drain(stream, b->begin, b->cur);
        b->cur = b->begin;
    }
    for (ThreadBuffer *t = qrnState.newestThreadBuffer; t != nullptr; t = t->prev) {
        // The owner may go on writing meanwhile: one reading of its position for both steps.
        unsigned char *pos = *static_cast<unsigned char *volatile *>(&t->pos);
        bytes += drain(stream, t->flushed, pos);
        t->flushed = pos;
    }
    osMutexUnlock(&qrnState.listsLock);
    return bytes;
}
