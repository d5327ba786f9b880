// A small write buffer in front of a file that also knows the file position of the next byte,
// so that a writer can remember places and come back to patch them.
#ifndef SARNIK_STREAM_WRITER_H
#define SARNIK_STREAM_WRITER_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "sarnik/sarnik_types.h"

SARNIK_BEGIN_DECLS

#define SW_BUFFER_SIZE 1024

// Caller storage. The file's own offset must equal position: every write goes through here.
typedef struct StreamWriter {
    uint8_t buffer[SW_BUFFER_SIZE];
    uint32_t used;     // buffered bytes
    uint64_t position; // where the buffer lands in the file; position + used is the logical end
    intptr_t file;     // FioHandle
} StreamWriter;

// Flushes the buffer, then writes the bytes straight to the file; with no bytes it only flushes.
// Failures are not reported: the position moves on as if the write had succeeded.
void sw_bytes_unbuffered(StreamWriter *writer, const void *data, size_t length);
// Flushes, then moves the file offset and the position to offset from the start of the file.
void sw_seek(StreamWriter *writer, uint64_t offset);

// Small writes stay in the buffer while they fit with room to spare; the rest go through.
static inline void sw_bytes(StreamWriter *writer, const void *data, size_t length) {
    if (writer->used < SW_BUFFER_SIZE && length < SW_BUFFER_SIZE - writer->used) {
        memcpy(writer->buffer + writer->used, data, length);
        writer->used += (uint32_t)length;
    } else {
        sw_bytes_unbuffered(writer, data, length);
    }
}

SARNIK_END_DECLS

#endif
