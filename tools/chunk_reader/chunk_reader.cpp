#include "chunk_reader.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace {

struct Failure {
    uint64_t offset;
    std::string what;
};

class Cursor {
public:
    Cursor(const std::string &bytes, uint64_t at, uint64_t end) : bytes_(bytes), at_(at), end_(end) {}
    uint64_t take(int width, const char *what) {
        need(uint64_t(width), what);
        uint64_t value = bigEndian(data() + at_, width);
        at_ += uint64_t(width);
        return value;
    }
    std::string text(const char *what) {
        uint64_t length = take(2, what);
        need(length, what);
        std::string t = bytes_.substr(size_t(at_), size_t(length));
        at_ += length;
        return t;
    }
    void zero(const char *what) {
        uint64_t at = at_;
        if (take(4, what) != 0)
            throw Failure{at, std::string(what) + " is not 0"};
    }
    uint64_t at() const { return at_; }

private:
    const unsigned char *data() const { return reinterpret_cast<const unsigned char *>(bytes_.data()); }
    void need(uint64_t length, const char *what) {
        if (length > end_ - at_)
            throw Failure{at_, std::string(what) + " runs past its end"};
    }
    const std::string &bytes_;
    uint64_t at_, end_;
};

// One descriptor blob: head, strings, groups, events, further entries.
void readBlob(Cursor &c) {
    c.take(4, "producer id");
    for (int i = 0; i < 3; ++i)
        c.text("producer text");
    uint64_t strings = c.take(4, "string count");
    for (uint64_t i = 0; i < strings; ++i)
        c.text("string");
    uint64_t groups = c.take(4, "group count");
    for (uint64_t g = 0; g < groups; ++g) {
        uint64_t entries = c.take(4, "group entry count");
        for (uint64_t e = 0; e < entries; ++e) {
            for (int i = 0; i < 3; ++i)
                c.text("group entry text");
            c.take(1, "group flag");
            c.take(1, "group flag");
            c.take(4, "group value");
            c.take(4, "group value");
            c.zero("group entry end");
        }
    }
    uint64_t events = c.take(4, "event count");
    for (uint64_t e = 0; e < events; ++e) {
        c.take(4, "event id");
        for (int i = 0; i < 3; ++i)
            c.text("event text");
        for (int i = 0; i < 4; ++i)
            c.take(1, "event flag");
        c.take(4, "event value");
        c.zero("event end");
    }
    uint64_t further = c.take(4, "further count");
    for (uint64_t f = 0; f < further; ++f) {
        c.take(4, "further id");
        c.text("further text");
        c.text("further text");
        c.take(1, "further flag");
        c.take(4, "further value");
    }
}

void check(const std::string &bytes, int64_t frequency, ChunkContents &out) {
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    uint64_t size = bytes.size();
    if (size < 16)
        throw Failure{0, "the file has no complete header"};
    if (memcmp(data, "FLR\0", 4) != 0)
        throw Failure{0, "no magic"};
    if (bigEndian(data + 4, 2) != 0 || bigEndian(data + 6, 2) != 9)
        throw Failure{4, "not version 0.9"};
    uint64_t trailer = bigEndian(data + 8, 8);
    if (trailer < 16 || trailer > size - 8)
        throw Failure{8, "the trailer offset " + std::to_string(trailer) + " lies outside the records"};
    out.trailerOffset = trailer;
    std::set<uint64_t> type1;
    for (uint64_t at = 16; at < trailer;) {
        if (trailer - at < 8)
            throw Failure{at, "a record head runs into the trailer"};
        uint32_t recordSize = uint32_t(bigEndian(data + at, 4));
        uint32_t type = uint32_t(bigEndian(data + at + 4, 4));
        if (recordSize < 8 || recordSize > trailer - at)
            throw Failure{at, "a record of " + std::to_string(recordSize) + " bytes does not fit before the trailer"};
        if (type == 0)
            throw Failure{at, "a trailer record before the trailer"};
        if (type == 1) {
            if (recordSize < 24)
                throw Failure{at, "a type-1 record shorter than its head"};
            type1.insert(at);
        }
        if (type == 2 && recordSize != 24)
            throw Failure{at, "a loss record that is not 24 bytes"};
        out.records.push_back(ChunkRecord{at, recordSize, type, data + at});
        at += recordSize;
    }
    Cursor c(bytes, trailer, size);
    uint64_t trailerSize = c.take(4, "trailer size");
    if (c.take(4, "trailer type") != 0)
        throw Failure{trailer + 4, "the trailer's type is not 0"};
    out.blobCount = uint32_t(c.take(4, "blob count"));
    uint64_t blobStart = c.at();
    for (uint32_t i = 0; i < out.blobCount; ++i) {
        uint64_t from = c.at();
        readBlob(c);
        out.blobs.push_back(bytes.substr(size_t(from), size_t(c.at() - from)));
    }
    uint64_t blobBytes = c.at() - blobStart;
    out.startMillis = int64_t(c.take(8, "start time"));
    out.endMillis = int64_t(c.take(8, "end time"));
    out.startTicks = int64_t(c.take(8, "start ticks"));
    uint64_t frequencyAt = c.at();
    out.frequency = int64_t(c.take(8, "frequency"));
    uint64_t lastAt = c.at();
    out.lastType1 = c.take(8, "last type-1 offset");
    out.locale = c.text("locale");
    out.localeValue = int32_t(c.take(4, "locale value"));
    if (c.at() != size)
        throw Failure{c.at(), "bytes follow the trailer"};
    if (trailerSize != 58 + blobBytes + out.locale.size())
        throw Failure{trailer, "the trailer size " + std::to_string(trailerSize) + " is not 58 + " +
                                   std::to_string(blobBytes) + " + " + std::to_string(out.locale.size())};
    if (out.startMillis > out.endMillis)
        throw Failure{trailer, "the chunk ends before it starts"};
    if (out.frequency != frequency)
        throw Failure{frequencyAt, "the frequency " + std::to_string(out.frequency) + " is not the host's " +
                                       std::to_string(frequency)};
    // The chain from the trailer visits every type-1 record, each older than the one before.
    std::set<uint64_t> visited;
    uint64_t previousAt = lastAt;
    uint64_t limit = trailer;
    for (uint64_t at = out.lastType1; at != 0;) {
        if (at >= limit)
            throw Failure{previousAt, "the type-1 chain does not go back: " + std::to_string(at)};
        if (type1.count(at) == 0)
            throw Failure{previousAt, "the type-1 chain points at " + std::to_string(at) + ", no type-1 record"};
        visited.insert(at);
        limit = at;
        previousAt = at + 16;
        at = bigEndian(data + at + 16, 8);
    }
    for (uint64_t at : type1)
        if (visited.count(at) == 0)
            throw Failure{at, "a type-1 record the chain does not reach"};
}

} // namespace

uint64_t bigEndian(const unsigned char *at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | at[i];
    return value;
}

std::string checkChunk(const std::string &bytes, int64_t frequency, ChunkContents *contents) {
    ChunkContents local;
    ChunkContents &out = contents != nullptr ? *contents : local;
    out = ChunkContents{};
    out.bytes = bytes;
    try {
        check(out.bytes, frequency, out);
    } catch (const Failure &failure) {
        return "offset " + std::to_string(failure.offset) + ": " + failure.what;
    }
    return {};
}

std::string checkChunkFile(const std::string &path, int64_t frequency, ChunkContents *contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "cannot open " + path;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return checkChunk(bytes, frequency, contents);
}
