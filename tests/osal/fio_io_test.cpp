// Reading, writing, seeking and sizing through file handles, also past 4 GiB.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "osal/fio.h"
#include "osal/os_error.h"
#include "test_paths.h"

namespace {

constexpr int64_t fiveGiB = int64_t{5} << 30;

class FioIo : public testing::Test {
protected:
    void SetUp() override {
        file = fio_open(dir.file("data").c_str(), FIO_CREATE_NEW);
        ASSERT_NE(file, FIO_INVALID_HANDLE);
    }
    void TearDown() override {
        if (file != FIO_INVALID_HANDLE)
            fio_close(file);
    }
    TempDir dir;
    FioHandle file = FIO_INVALID_HANDLE;
};

} // namespace

TEST_F(FioIo, WritesReadsAndSeeks) {
    EXPECT_EQ(fio_write_fully(file, "hello world", 11), 11);
    EXPECT_EQ(fio_write(file, "", 0), 0);
    EXPECT_EQ(fio_seek(file, 0, FIO_SEEK_CUR), 11);
    EXPECT_EQ(fio_seek(file, 6, FIO_SEEK_SET), 6);
    char buffer[16] = {};
    EXPECT_EQ(fio_read(file, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(fio_read(file, buffer, sizeof buffer), 0);
    EXPECT_EQ(fio_seek(file, -5, FIO_SEEK_END), 6);
    EXPECT_EQ(fio_seek(file, -2, FIO_SEEK_CUR), 4);
    EXPECT_EQ(fio_fdsize(file), 11);
    EXPECT_EQ(fio_fsize(dir.file("data").c_str()), 11);
}

TEST_F(FioIo, ReadFullyCollectsUntilTheCountOrTheEnd) {
    std::vector<char> data(100000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    ASSERT_EQ(fio_write_fully(file, data.data(), data.size()), static_cast<intptr_t>(data.size()));
    fio_seek(file, 0, FIO_SEEK_SET);
    std::vector<char> back(data.size() + 10);
    EXPECT_EQ(fio_read_fully(file, back.data(), back.size()), static_cast<intptr_t>(data.size()));
    back.resize(data.size());
    EXPECT_EQ(back, data);
    EXPECT_EQ(fio_read_fully(file, back.data(), back.size()), 0);
}

TEST_F(FioIo, PositionedReadsAndWrites) {
    EXPECT_EQ(fio_pwrite(file, "abcdef", 6, 0), 6);
    EXPECT_EQ(fio_pwrite(file, "XY", 2, 2), 2);
    char buffer[8] = {};
    EXPECT_EQ(fio_pread(file, buffer, 4, 1), 4);
    EXPECT_EQ(std::string(buffer, 4), "bXYe");
    EXPECT_EQ(fio_pread(file, buffer, 4, 6), 0); // at the end
    EXPECT_EQ(fio_pread(file, buffer, 4, 600), 0); // past it
    osSetLastError(0);
    EXPECT_EQ(fio_pread(file, buffer, 4, -1), -1);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_pwrite(file, "x", 1, -1), -1);
}

TEST_F(FioIo, OffsetsPastFourGiB) {
    EXPECT_EQ(fio_pwrite(file, "far", 3, fiveGiB), 3);
    EXPECT_EQ(fio_fdsize(file), fiveGiB + 3);
    char buffer[4] = {};
    EXPECT_EQ(fio_pread(file, buffer, 3, fiveGiB), 3);
    EXPECT_STREQ(buffer, "far");
    EXPECT_EQ(fio_pread(file, buffer, 3, fiveGiB + 3), 0);
    EXPECT_EQ(fio_seek(file, fiveGiB + 1, FIO_SEEK_SET), fiveGiB + 1);
    EXPECT_EQ(fio_read(file, buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "ar");
    EXPECT_EQ(fio_seek(file, 0, FIO_SEEK_END), fiveGiB + 3);
    EXPECT_EQ(fio_write(file, "!", 1), 1);
    EXPECT_EQ(fio_fsize(dir.file("data").c_str()), fiveGiB + 4);
    // The hole reads as zeros.
    EXPECT_EQ(fio_pread(file, buffer, 2, int64_t{4} << 30), 2);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(fio_truncate(file, 10), 0);
    EXPECT_EQ(fio_fdsize(file), 10);
}

TEST_F(FioIo, TruncateMovesToTheNewEnd) {
    fio_write(file, "0123456789", 10);
    EXPECT_EQ(fio_truncate(file, 4), 0);
    EXPECT_EQ(fio_fdsize(file), 4);
    EXPECT_EQ(fio_seek(file, 0, FIO_SEEK_CUR), 4);
    EXPECT_EQ(fio_truncate(file, 20), 0);
    EXPECT_EQ(fio_fdsize(file), 20);
    EXPECT_EQ(fio_truncate(file, -1), -1);
    EXPECT_EQ(fio_fdsize(file), 20);
}

TEST_F(FioIo, BadSeeksFail) {
    osSetLastError(0);
    EXPECT_EQ(fio_seek(file, 0, 3), -1);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_seek(file, -1, FIO_SEEK_SET), -1);
    EXPECT_EQ(osGetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(fio_seek(file, 0, FIO_SEEK_CUR), 0);
}

TEST_F(FioIo, ForceFlushesAndAcceptsTheInvalidHandle) {
    fio_write(file, "x", 1);
    EXPECT_EQ(fio_force(file), 0);
    EXPECT_EQ(fio_force(FIO_INVALID_HANDLE), 0);
}

TEST_F(FioIo, BadCountsAndBuffersAreRefused) {
    osSetLastError(0);
    EXPECT_EQ(fio_write(file, nullptr, 5), -1);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_read(file, nullptr, 5), -1);
    char buffer[4];
    EXPECT_EQ(fio_read_fully(file, buffer, static_cast<size_t>(INTPTR_MAX) + 1), -1);
    EXPECT_EQ(fio_write_fully(file, buffer, SIZE_MAX), -1);
    EXPECT_EQ(fio_fdsize(file), 0);
}

TEST(FioHandles, InvalidAndClosedHandlesFail) {
    char buffer[4];
    for (FioHandle bad : {FIO_INVALID_HANDLE, FioHandle{0}, FioHandle{0x7ff0}}) {
        osSetLastError(0);
        EXPECT_EQ(fio_read(bad, buffer, sizeof buffer), -1) << bad;
        EXPECT_EQ(osGetLastError(), ERROR_INVALID_HANDLE) << bad;
        EXPECT_EQ(fio_write(bad, "x", 1), -1) << bad;
        EXPECT_EQ(fio_pread(bad, buffer, 1, 0), -1) << bad;
        EXPECT_EQ(fio_pwrite(bad, "x", 1, 0), -1) << bad;
        EXPECT_EQ(fio_seek(bad, 0, FIO_SEEK_SET), -1) << bad;
        EXPECT_EQ(fio_truncate(bad, 0), -1) << bad;
        EXPECT_EQ(fio_fdsize(bad), -1) << bad;
        osSetLastError(0);
        EXPECT_EQ(fio_close(bad), 0) << bad;
        EXPECT_EQ(osGetLastError(), ERROR_INVALID_HANDLE) << bad;
    }
    EXPECT_EQ(fio_force(FioHandle{0x7ff0}), -1);
}

TEST(FioHandles, WritingIntoAFileHeldWithoutWriteSharingFails) {
    TempDir dir;
    FioHandle holder = fio_open(dir.file("held").c_str(), FIO_CREATE_NEW | FIO_SHARE_READ);
    ASSERT_NE(holder, FIO_INVALID_HANDLE);
    osSetLastError(0);
    EXPECT_EQ(fio_open(dir.file("held").c_str(), FIO_WRITE_ONLY | FIO_OPEN_EXISTING), FIO_INVALID_HANDLE);
    EXPECT_EQ(osGetLastError(), ERROR_SHARING_VIOLATION);
    FioHandle reader = fio_open(dir.file("held").c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    EXPECT_NE(reader, FIO_INVALID_HANDLE);
    fio_close(reader);
    fio_close(holder);
}

TEST(FioHandles, APipeWhoseWriterHasGoneReadsAsTheEnd) {
    HANDLE reader, writer;
    ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
    FioHandle in = reinterpret_cast<FioHandle>(reader), out = reinterpret_cast<FioHandle>(writer);
    EXPECT_EQ(fio_write(out, "pipe", 4), 4);
    EXPECT_NE(fio_close(out), 0);
    char buffer[8];
    EXPECT_EQ(fio_read_fully(in, buffer, sizeof buffer), 4);
    EXPECT_EQ(fio_read(in, buffer, sizeof buffer), 0);
    EXPECT_NE(fio_close(in), 0);
}
