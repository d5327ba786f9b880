// The stream writer against real files: what stays buffered, what goes through, positions
// after seeks, and writes that fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "osal/fio.h"
#include "sarnik/stream_writer.h"
#include "test_paths.h"

namespace {

struct StreamWriterTest : testing::Test {
    TempDir folder;
    std::string path = folder.file("stream.bin");
    StreamWriter writer{};

    void SetUp() override {
        writer.file = fio_open(path.c_str(), FIO_CREATE_ALWAYS);
        ASSERT_NE(writer.file, FIO_INVALID_HANDLE);
    }
    void TearDown() override { fio_close(writer.file); }

    std::string onDisk() { return readTextFile(path); }
};

std::string bytes(size_t count, char first = 'a') {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += static_cast<char>(first + i % 26);
    return text;
}

} // namespace

TEST_F(StreamWriterTest, ABufferThatWouldFillGoesStraightThrough) {
    const std::string almost = bytes(1023);
    sw_bytes(&writer, almost.data(), almost.size());
    EXPECT_EQ(writer.used, 1023u);
    EXPECT_EQ(writer.position, 0u);
    EXPECT_EQ(onDisk(), "");

    sw_bytes_unbuffered(&writer, nullptr, 0);
    EXPECT_EQ(writer.used, 0u);
    EXPECT_EQ(writer.position, 1023u);
    EXPECT_EQ(onDisk(), almost);

    const std::string full = bytes(1024, 'A');
    sw_bytes(&writer, full.data(), full.size());
    EXPECT_EQ(writer.used, 0u);
    EXPECT_EQ(writer.position, 2047u);
    EXPECT_EQ(onDisk(), almost + full);
}

TEST_F(StreamWriterTest, BufferedBytesLandBeforeWhatFollowsThem) {
    sw_bytes(&writer, "head", 4);
    sw_bytes(&writer, "-", 1);
    EXPECT_EQ(writer.used, 5u);
    const std::string big = bytes(5000);
    sw_bytes_unbuffered(&writer, big.data(), big.size());
    EXPECT_EQ(writer.used, 0u);
    EXPECT_EQ(writer.position, 5005u);
    sw_bytes(&writer, "tail", 4);
    EXPECT_EQ(writer.position + writer.used, 5009u);
    sw_bytes_unbuffered(&writer, nullptr, 0);
    EXPECT_EQ(onDisk(), "head-" + big + "tail");
    // A second flush with nothing buffered writes nothing.
    sw_bytes_unbuffered(&writer, nullptr, 0);
    EXPECT_EQ(writer.position, 5009u);
    EXPECT_EQ(fio_fdsize(writer.file), 5009);
}

TEST_F(StreamWriterTest, SeekingWritesTheBufferAtTheOldPlaceFirst) {
    const std::string start = bytes(16);
    sw_bytes_unbuffered(&writer, start.data(), start.size());
    sw_bytes(&writer, "XYZW", 4);
    sw_seek(&writer, 4);
    EXPECT_EQ(writer.position, 4u);
    EXPECT_EQ(writer.used, 0u);
    EXPECT_EQ(onDisk(), start + "XYZW");

    // Patch a word in place, then go back to the end.
    sw_bytes(&writer, "1234", 4);
    sw_seek(&writer, 20);
    sw_bytes(&writer, "!", 1);
    sw_bytes_unbuffered(&writer, nullptr, 0);
    EXPECT_EQ(onDisk(), start.substr(0, 4) + "1234" + start.substr(8) + "XYZW!");
}

TEST_F(StreamWriterTest, PositionFollowsASeekAndADirectWrite) {
    sw_seek(&writer, 100);
    sw_bytes_unbuffered(&writer, "12345678", 8);
    EXPECT_EQ(writer.position, 108u);
    EXPECT_EQ(fio_fdsize(writer.file), 108);
    // Past 4 GiB the file offset needs all 64 bits.
    sw_seek(&writer, 0x100000010ULL);
    EXPECT_EQ(writer.position, 0x100000010ULL);
    EXPECT_EQ(fio_seek(writer.file, 0, FIO_SEEK_CUR), 0x100000010LL);
}

TEST_F(StreamWriterTest, FailedWritesStillMoveThePosition) {
    StreamWriter reader{};
    reader.file = fio_open(path.c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    ASSERT_NE(reader.file, FIO_INVALID_HANDLE);
    sw_bytes(&reader, "abc", 3);
    sw_bytes_unbuffered(&reader, "defg", 4);
    EXPECT_EQ(reader.position, 7u);
    EXPECT_EQ(reader.used, 0u);
    fio_close(reader.file);
    EXPECT_EQ(onDisk(), "");
}

TEST_F(StreamWriterTest, BrokenArgumentsReachNoMemory) {
    sw_bytes_unbuffered(nullptr, "x", 1);
    sw_seek(nullptr, 5);
    sw_bytes(&writer, "abc", 3);
    // Bytes without a place to read them from: only the buffer goes out.
    sw_bytes_unbuffered(&writer, nullptr, 10);
    EXPECT_EQ(writer.position, 3u);
    EXPECT_EQ(onDisk(), "abc");
    // A count above the buffer's size never reads past it.
    writer.used = 5000;
    sw_bytes_unbuffered(&writer, nullptr, 0);
    EXPECT_EQ(writer.used, 0u);
    EXPECT_EQ(writer.position, 3u + SW_BUFFER_SIZE);
    EXPECT_EQ(fio_fdsize(writer.file), 3 + SW_BUFFER_SIZE);
}
