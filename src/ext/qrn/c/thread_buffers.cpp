// Thread buffers: one per recording thread, filled by the VM without a lock and flushed into the
// global buffers, or straight into the chunk, or replaced by a record of the bytes lost.
#include <string.h>

#include "agent_state.h"
#include "osal/mspace.h"
#include "osal/osal_assert.h"
#include "osal/thread.h"
#include "osal/timing.h"
#include "sarnik/scaledown.h"

namespace {

constexpr uint32_t lossRecordSize = 24;
constexpr uint32_t lossRecordType = 2;

uint32_t readBigEndian32(const unsigned char *at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

void putBigEndian(unsigned char *at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

uint32_t blockSize() { return qrnState.threadBufferSize + uint32_t(sizeof(ThreadBuffer)); }

// Moves a free buffer to the tail of the full list; the caller holds the buffer-lists lock.
void moveToFull(GlobalBuffer *buffer) {
    buffer->next = nullptr;
    buffer->prev = qrnState.fullTail;
    if (qrnState.fullTail != nullptr)
        qrnState.fullTail->next = buffer;
    else
        qrnState.fullHead = buffer;
    qrnState.fullTail = buffer;
    qrnState.fullCount += 1;
}

// Copies the data into the global buffers; false when none has room while a chunk is open.
bool copyToGlobal(const unsigned char *data, size_t size, bool *filled) {
    for (;;) {
        GlobalBuffer *head = qrnState.freeGlobalBuffers;
        if (head != nullptr) {
            if (size_t(head->end - head->cur) >= size) {
                memcpy(head->cur, data, size);
                head->cur += size;
                return true;
            }
            qrnState.freeGlobalBuffers = head->next;
            moveToFull(head);
            *filled = true;
            continue;
        }
        if (qrnState.chunkOpen || qrnState.chunkFollows || qrnState.fullHead == nullptr)
            return false;
        // No chunk: the buffers form a ring and the oldest data goes.
        GlobalBuffer *oldest = qrnState.fullHead;
        qrnState.fullHead = oldest->next;
        if (qrnState.fullHead != nullptr)
            qrnState.fullHead->prev = nullptr;
        else
            qrnState.fullTail = nullptr;
        qrnState.fullCount -= 1;
        oldest->cur = oldest->begin;
        oldest->next = nullptr;
        oldest->prev = nullptr;
        qrnState.freeGlobalBuffers = oldest;
    }
}

// Straight into the chunk while the buffer thread is busy elsewhere; false when not allowed.
// Under the chunk lock the buffer thread cannot take this buffer's data meanwhile.
bool writeToDisk(ThreadBuffer *buffer) {
    if (!qrnState.bufferThreadBusy || !qrnState.allowThreadBuffersToDisk)
        return false;
    StreamWriter *stream = qrnBeginDirectWrite();
    if (stream == nullptr)
        return false;
    size_t size = size_t(buffer->pos - buffer->flushed);
    sw_bytes_unbuffered(stream, buffer->flushed, size);
    buffer->flushed = buffer->pos = buffer->start;
    uint64_t global = 0;
    if (qrnState.fullHead != nullptr && qrnState.allowThreadToFlushGlobalBuffers) {
        global = qrnFlushFullGlobalBuffers(stream);
        // Counted as they were written: the direct write's own count is the thread's data.
        qrnExcludeFromDirectWrite(global);
    }
    qrnEndDirectWrite();
    qrnStatAdd32(&qrnStatistics.directWrites, 1);
    qrnStatAdd32(&qrnStatistics.flushes, 1);
    qrnLog(QRN_DEBUG, "Wrote %IuB thread buffer directly to disk", size);
    if (global > 0)
        qrnLog(QRN_DEBUG, "Flushed %IuB global buffer bytes to chunk", size_t(global));
    return true;
}

// Replaces the unflushed data by a loss record; the caller holds the buffer-lists lock. A loss
// record that is itself still unflushed keeps adding up; only the bytes after it are new.
uint64_t recordLoss(ThreadBuffer *buffer) {
    unsigned char *record = buffer->start;
    uint64_t lost = uint64_t(buffer->pos - buffer->flushed);
    if (buffer->flushed == buffer->start && lost >= lossRecordSize && readBigEndian32(record) == lossRecordSize &&
        readBigEndian32(record + 4) == lossRecordType) {
        lost -= lossRecordSize;
        uint64_t total = uint64_t(readBigEndian32(record + 20)) + lost;
        putBigEndian(record + 8, uint64_t(timingGetCounterTime()), 8);
        putBigEndian(record + 20, total > 0xffffffffu ? 0xffffffffu : total, 4);
    } else {
        putBigEndian(record, lossRecordSize, 4);
        putBigEndian(record + 4, lossRecordType, 4);
        putBigEndian(record + 8, uint64_t(timingGetCounterTime()), 8);
        putBigEndian(record + 16, buffer->threadId, 4);
        putBigEndian(record + 20, lost > 0xffffffffu ? 0xffffffffu : lost, 4);
    }
    buffer->flushed = buffer->start;
    buffer->pos = buffer->start + lossRecordSize;
    return lost;
}

} // namespace

ThreadBuffer *qrnGetThreadBuffer(void) {
    auto *buffer = static_cast<ThreadBuffer *>(tlsGet(qrnState.threadBufferKey));
    if (buffer != nullptr)
        return buffer;
    buffer = static_cast<ThreadBuffer *>(gsMalloc(blockSize()));
    if (buffer == nullptr)
        return nullptr;
    buffer->start = buffer->flushed = buffer->pos = reinterpret_cast<unsigned char *>(buffer + 1);
    buffer->end = buffer->start + qrnState.threadBufferSize;
    buffer->reserved = 0;
    buffer->threadId = threadGetCurrentID();
    buffer->next = nullptr;
    osMutexLock(&qrnState.listsLock);
    buffer->prev = qrnState.newestThreadBuffer;
    if (buffer->prev != nullptr)
        buffer->prev->next = buffer;
    qrnState.newestThreadBuffer = buffer;
    qrnStatAdd64(&qrnStatistics.threadBufferAllocated, blockSize());
    osMutexUnlock(&qrnState.listsLock);
    tlsSet(qrnState.threadBufferKey, buffer);
    return buffer;
}

bool qrnFlushThreadBuffer(void) {
    auto *buffer = static_cast<ThreadBuffer *>(tlsGet(qrnState.threadBufferKey));
    if (buffer == nullptr)
        return true;
    osMutexLock(&qrnState.listsLock);
    // The VM and Java move these positions: what lies outside the data area is theirs to answer for.
    unsigned char *data = reinterpret_cast<unsigned char *>(buffer + 1);
    unsigned char *dataEnd = data + qrnState.threadBufferSize;
    if (buffer->start != data || buffer->end != dataEnd || buffer->flushed < data || buffer->flushed > buffer->pos ||
        buffer->pos > dataEnd) {
        buffer->start = buffer->flushed = buffer->pos = data;
        buffer->end = dataEnd;
        osMutexUnlock(&qrnState.listsLock);
        qrnLog(QRN_ERROR, "Thread buffer of thread %u has positions outside it; its data is dropped",
               buffer->threadId);
        return false;
    }
    size_t size = size_t(buffer->pos - buffer->flushed);
    bool filled = false;
    // An empty buffer has nothing to hand on: a success without a copy.
    bool copied = size == 0 || copyToGlobal(buffer->flushed, size, &filled);
    if (copied)
        buffer->flushed = buffer->pos = buffer->start;
    bool chunkOpen = qrnState.chunkOpen;
    osMutexUnlock(&qrnState.listsLock);
    if (chunkOpen && filled)
        qrnRequestBufferThread(QRN_REQUEST_FLUSH_FULL);
    if (filled)
        qrnLog(QRN_TRACE, "Filled global buffer");
    if (copied) {
        qrnStatAdd32(&qrnStatistics.flushes, 1);
        return true;
    }
    if (writeToDisk(buffer))
        return true;
    osMutexLock(&qrnState.listsLock);
    // The buffer thread may have written all of it out since: then the room is free again, or
    // the event that asked for it would find none.
    size = size_t(buffer->pos - buffer->flushed);
    uint64_t lost = 0;
    if (size > 0)
        lost = recordLoss(buffer);
    else
        buffer->flushed = buffer->pos = buffer->start;
    osMutexUnlock(&qrnState.listsLock);
    if (size == 0) {
        qrnStatAdd32(&qrnStatistics.flushes, 1);
        return true;
    }
    qrnStatAdd64(&qrnStatistics.lostBytes, lost);
    qrnLog(QRN_DEBUG, "Could not copy %Iu%sB to global buffers", scaledownSize(size), scaledDownSizeSuffix(size));
    return true;
}

void qrnReleaseThreadBuffer(void) {
    auto *buffer = static_cast<ThreadBuffer *>(tlsGet(qrnState.threadBufferKey));
    if (buffer == nullptr)
        return;
    if (buffer->pos != buffer->flushed)
        qrnFlushThreadBuffer();
    // A loss record that found no room goes straight into the chunk: it must not vanish with the
    // buffer. It is no event, so its place among this thread's events does not matter.
    if (buffer->pos != buffer->flushed) {
        if (StreamWriter *stream = qrnBeginDirectWrite()) {
            qrnPutBytes(stream, buffer->flushed, size_t(buffer->pos - buffer->flushed));
            buffer->flushed = buffer->pos;
            qrnEndDirectWrite();
        }
    }
    osMutexLock(&qrnState.listsLock);
    if (buffer->next != nullptr)
        buffer->next->prev = buffer->prev;
    else
        qrnState.newestThreadBuffer = buffer->prev;
    if (buffer->prev != nullptr)
        buffer->prev->next = buffer->next;
    qrnStatAdd64(&qrnStatistics.threadBufferReleased, blockSize());
    osMutexUnlock(&qrnState.listsLock);
    tlsSet(qrnState.threadBufferKey, nullptr);
    gsFree(buffer);
}
