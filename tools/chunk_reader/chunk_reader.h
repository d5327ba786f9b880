// A reader of recording chunk files, written from the file layout alone: it checks a chunk and
// hands back its records and trailer, or names the first violation with its offset.
#ifndef TOOLS_CHUNK_READER_H
#define TOOLS_CHUNK_READER_H

#include <cstdint>
#include <string>
#include <vector>

struct ChunkRecord {
    uint64_t offset;
    uint32_t size;
    uint32_t type;
    const unsigned char *data; // the whole record, size and type included
};

struct ChunkContents {
    std::string bytes; // the file
    std::vector<ChunkRecord> records; // from offset 16 up to the trailer
    uint64_t trailerOffset = 0;
    uint32_t blobCount = 0;
    std::vector<std::string> blobs;
    int64_t startMillis = 0, endMillis = 0, startTicks = 0, frequency = 0;
    uint64_t lastType1 = 0;
    std::string locale;
    int32_t localeValue = 0;
};

// Empty when the chunk is sound; else "offset N: what is wrong". frequency is the counter
// frequency the trailer must carry.
std::string checkChunk(const std::string &bytes, int64_t frequency, ChunkContents *contents);
std::string checkChunkFile(const std::string &path, int64_t frequency, ChunkContents *contents);

uint64_t bigEndian(const unsigned char *at, int bytes);

#endif
