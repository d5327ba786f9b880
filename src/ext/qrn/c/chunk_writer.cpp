// The chunk file: its header, the records the buffer thread, direct writes, checkpoints and
// constant pools append under the chunk lock, and the trailer that finishes it.
#include <string.h>

#include "agent_state.h"
#include "osal/fio.h"
#include "osal/mspace.h"
#include "osal/os_error.h"
#include "osal/osal_assert.h"
#include "osal/timing.h"

namespace {

constexpr char sourceName[] = "src/ext/qrn/c/vmqrn";
constexpr int writeFault = 29; // the OS's "cannot write to the device"

struct ConstPool {
    ConstPool *next;
    uint32_t id;
    bool reset;
    unsigned char *buffer;
    int64_t capacity;
};

struct Chunk {
    StreamWriter stream;
    bool open;
    uint64_t lastType1;
    uint64_t checkpointStart;
    bool inCheckpoint;
    uint64_t directStart;
    bool inDirectWrite;
    char path[QRN_PATH_SIZE];
    ConstPool *pools;
};

constinit Chunk chunk = {};

uint32_t readBigEndian32(const unsigned char *at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

void writeBigEndian32(unsigned char *at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

int storePool(ConstPool *pool) {
    unsigned char *b = pool->buffer;
    uint32_t used = readBigEndian32(b);
    if (used == 0)
        return 1;
    // The used size comes from Java: the count after the data must lie inside the buffer.
    if (used < 8 || int64_t(used) + 4 > pool->capacity) {
        qrnLog(QRN_ERROR, "Constant pool %u claims %u bytes of %I64d", pool->id, used, pool->capacity);
        return 0;
    }
    uint32_t lastCount = readBigEndian32(b + 4);
    uint32_t count = readBigEndian32(b + used);
    if (!chunk.open) {
        writeBigEndian32(b, 0);
        writeBigEndian32(b + 4, count);
        return 0;
    }
    StreamWriter *s = &chunk.stream;
    uint64_t start = qrnStreamPosition(s);
    qrnPutU32(s, used + 24);
    qrnPutU32(s, 1);
    qrnPutU64(s, uint64_t(timingGetCounterTime()));
    qrnPutU64(s, chunk.lastType1);
    qrnPutU32(s, pool->id);
    qrnPutU32(s, count - lastCount);
    qrnPutBytes(s, b + 8, used - 8);
    chunk.lastType1 = start;
    if (pool->reset) {
        writeBigEndian32(b, 0);
        writeBigEndian32(b + 4, count);
    }
    qrnAccountChunkBytes(uint64_t(used) + 24);
    return 1;
}

} // namespace

uint64_t qrnStreamPosition(const StreamWriter *stream) { return stream->position + stream->used; }

void qrnPutBytes(StreamWriter *stream, const void *bytes, size_t length) { sw_bytes(stream, bytes, length); }

void qrnPutU16(StreamWriter *stream, uint16_t value) {
    unsigned char b[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    sw_bytes(stream, b, sizeof b);
}

void qrnPutU32(StreamWriter *stream, uint32_t value) {
    unsigned char b[4];
    writeBigEndian32(b, value);
    sw_bytes(stream, b, sizeof b);
}

void qrnPutU64(StreamWriter *stream, uint64_t value) {
    unsigned char b[8];
    writeBigEndian32(b, uint32_t(value >> 32));
    writeBigEndian32(b + 4, uint32_t(value));
    sw_bytes(stream, b, sizeof b);
}

StreamWriter *qrnChunkStream(void) { return chunk.open ? &chunk.stream : nullptr; }

void qrnAccountChunkBytes(uint64_t bytes) {
    // Only the chunk lock's holder changes the chunk's size.
    qrnState.chunkBytes += bytes;
    qrnStatAdd64(&qrnStatistics.writtenBytes, bytes);
}

void qrnCheckChunkSize(void) {
    if (int64_t(qrnState.chunkBytes) >= qrnState.maxChunkSize)
        qrnRequestBufferThread(QRN_REQUEST_WAKE);
}

bool qrnNewChunk(bool repositoryLocked) {
    if (qrnState.javaRecorder == nullptr) {
        assertReport("global_qrn != NULL", sourceName, 1000, "new_chunk", nullptr);
        return false;
    }
    if (!repositoryLocked && !qrnLockRepository())
        return false;
    char path[QRN_PATH_SIZE];
    FioHandle file = qrnCreateTempChunk(path);
    if (!repositoryLocked)
        qrnUnlockRepository();
    if (file == FIO_INVALID_HANDLE)
        return false;
    osMutexLock(&qrnState.chunkLock);
    memcpy(chunk.path, path, sizeof path);
    chunk.stream.used = 0;
    chunk.stream.position = 0;
    chunk.stream.file = file;
    chunk.lastType1 = 0;
    chunk.inCheckpoint = chunk.inDirectWrite = false;
    StreamWriter *s = &chunk.stream;
    qrnPutBytes(s, "FLR", 4);
    qrnPutU16(s, 0);
    qrnPutU16(s, 9);
    qrnPutU64(s, 0);
    chunk.open = true;
    qrnState.chunkOpen = true;
    osMutexUnlock(&qrnState.chunkLock);
    return true;
}

StreamWriter *qrnBeginDirectWrite(void) {
    osMutexLock(&qrnState.chunkLock);
    if (!chunk.open) {
        osMutexUnlock(&qrnState.chunkLock);
        return nullptr;
    }
    chunk.directStart = qrnStreamPosition(&chunk.stream);
    chunk.inDirectWrite = true;
    return &chunk.stream;
}

void qrnExcludeFromDirectWrite(uint64_t bytes) { chunk.directStart += bytes; }

void qrnEndDirectWrite(void) {
    // Only the holder of a begun direct write may end it; anyone else holds no lock to give back.
    if (!osMutexTryLock(&qrnState.chunkLock))
        return;
    bool begun = chunk.inDirectWrite && chunk.open;
    if (begun) {
        chunk.inDirectWrite = false;
        qrnAccountChunkBytes(qrnStreamPosition(&chunk.stream) - chunk.directStart);
        osMutexUnlock(&qrnState.chunkLock);
    }
    osMutexUnlock(&qrnState.chunkLock);
    if (begun)
        qrnCheckChunkSize();
}

StreamWriter *qrnBeginCheckpoint(void) {
    osMutexLock(&qrnState.chunkLock);
    if (!chunk.open) {
        osMutexUnlock(&qrnState.chunkLock);
        return nullptr;
    }
    StreamWriter *s = &chunk.stream;
    if (qrnOnBufferThread()) {
        qrnStoreAllConstPoolsLocked();
        uint64_t bytes = qrnFlushAllBuffers(s);
        if (bytes > 0)
            qrnLog(QRN_DEBUG, "Wrote %IuB buffer data to chunk before checkpoint", size_t(bytes));
    }
    chunk.checkpointStart = qrnStreamPosition(s);
    chunk.inCheckpoint = true;
    qrnPutU32(s, 0);
    qrnPutU32(s, 1);
    qrnPutU64(s, uint64_t(timingGetCounterTime()));
    qrnPutU64(s, chunk.lastType1);
    return s;
}

void qrnEndCheckpoint(void) {
    if (!osMutexTryLock(&qrnState.chunkLock))
        return;
    bool begun = chunk.inCheckpoint && chunk.open;
    if (begun) {
        chunk.inCheckpoint = false;
        StreamWriter *s = &chunk.stream;
        uint64_t end = qrnStreamPosition(s);
        uint64_t size = end - chunk.checkpointStart;
        sw_seek(s, chunk.checkpointStart);
        qrnPutU32(s, uint32_t(size));
        sw_seek(s, end);
        chunk.lastType1 = chunk.checkpointStart;
        qrnAccountChunkBytes(size);
        osMutexUnlock(&qrnState.chunkLock);
    }
    osMutexUnlock(&qrnState.chunkLock);
    if (begun)
        qrnCheckChunkSize();
}

bool qrnFinishChunkLocked(int64_t endMillis, char *path, int *error) {
    StreamWriter *s = &chunk.stream;
    memcpy(path, chunk.path, QRN_PATH_SIZE);
    uint64_t trailer = qrnStreamPosition(s);
    uint32_t descriptorBytes = qrnDescriptorTotal();
    qrnPutU32(s, 58 + descriptorBytes + qrnState.localeLength);
    qrnPutU32(s, 0);
    qrnWriteDescriptors(s);
    qrnPutU64(s, uint64_t(qrnState.chunkStartMillis));
    qrnPutU64(s, uint64_t(endMillis));
    qrnPutU64(s, uint64_t(qrnState.chunkStartTicks));
    qrnPutU64(s, uint64_t(qrnState.counterFrequency));
    qrnPutU64(s, chunk.lastType1);
    qrnPutU16(s, qrnState.localeLength);
    qrnPutBytes(s, qrnState.locale, qrnState.localeLength);
    qrnPutU32(s, uint32_t(qrnState.localeValue));
    uint64_t end = qrnStreamPosition(s);
    sw_seek(s, 8);
    qrnPutU64(s, trailer);
    sw_bytes_unbuffered(s, nullptr, 0);
    // The writer does not report failed writes: a file shorter than what was written lost data.
    int64_t written = fio_fdsize(s->file);
    *error = osGetLastError();
    // Failed writes are the only way here; an error no call kept is still a write fault.
    if (*error == 0)
        *error = writeFault;
    fio_close(s->file);
    chunk.open = false;
    qrnState.chunkOpen = false;
    chunk.lastType1 = 0;
    chunk.inCheckpoint = chunk.inDirectWrite = false;
    if (written != int64_t(end)) {
        qrnLog(QRN_ERROR, "Could not write chunk \"%s\" (%I64d of %I64u bytes, error %d); it is removed", path,
               written, end, *error);
        fio_delete(path);
        char reserved[QRN_PATH_SIZE];
        size_t length = strlen(path);
        if (length > 5) {
            memcpy(reserved, path, length - 5);
            reserved[length - 5] = '\0';
            fio_delete(reserved);
        }
        return false;
    }
    return true;
}

int qrnAddConstPool(uint32_t id, unsigned char *address, int64_t capacity, bool reset) {
    auto *pool = static_cast<ConstPool *>(gsMalloc(sizeof(ConstPool)));
    if (pool == nullptr)
        return 0;
    pool->id = id;
    pool->reset = reset;
    pool->buffer = address;
    pool->capacity = capacity;
    osMutexLock(&qrnState.chunkLock);
    pool->next = chunk.pools;
    chunk.pools = pool;
    osMutexUnlock(&qrnState.chunkLock);
    return 1;
}

void qrnRemoveConstPool(uint32_t id) {
    osMutexLock(&qrnState.chunkLock);
    for (ConstPool **link = &chunk.pools; *link != nullptr; link = &(*link)->next) {
        ConstPool *pool = *link;
        if (pool->id == id) {
            *link = pool->next;
            gsFree(pool);
            break;
        }
    }
    osMutexUnlock(&qrnState.chunkLock);
}

int qrnStoreConstPoolLocked(uint32_t id) {
    for (ConstPool *pool = chunk.pools; pool != nullptr; pool = pool->next)
        if (pool->id == id)
            return storePool(pool);
    return -1;
}

void qrnStoreAllConstPoolsLocked(void) {
    for (ConstPool *pool = chunk.pools; pool != nullptr; pool = pool->next)
        storePool(pool);
}
