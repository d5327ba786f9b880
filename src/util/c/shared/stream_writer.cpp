#include "sarnik/stream_writer.h"

#include "osal/fio.h"

namespace {

// The largest count one write takes.
constexpr size_t writeLimit = 0x7FFFFFFF;

void flush(StreamWriter *writer) {
    if (writer->used == 0)
        return;
    // A count past the buffer would write memory that follows it.
    const uint32_t used = writer->used < SW_BUFFER_SIZE ? writer->used : SW_BUFFER_SIZE;
    fio_write_fully(writer->file, writer->buffer, used);
    writer->position += used;
    writer->used = 0;
}

} // namespace

void sw_bytes_unbuffered(StreamWriter *writer, const void *data, size_t length) {
    if (writer == nullptr)
        return;
    flush(writer);
    if (data == nullptr)
        return;
    auto *from = static_cast<const uint8_t *>(data);
    while (length > 0) {
        const size_t piece = length < writeLimit ? length : writeLimit;
        fio_write_fully(writer->file, from, piece);
        writer->position += piece;
        from += piece;
        length -= piece;
    }
}

void sw_seek(StreamWriter *writer, uint64_t offset) {
    if (writer == nullptr)
        return;
    flush(writer);
    fio_seek(writer->file, static_cast<int64_t>(offset), FIO_SEEK_SET);
    writer->position = offset;
}
