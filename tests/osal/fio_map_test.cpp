// File mappings: views that see writes, copy-on-write, named mappings and bad arguments.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "osal/fio.h"
#include "osal/os_error.h"
#include "test_paths.h"

namespace {

class FioMap : public testing::Test {
protected:
    void SetUp() override {
        file = fio_open(dir.file("mapped").c_str(), FIO_CREATE_NEW);
        ASSERT_NE(file, FIO_INVALID_HANDLE);
        std::string text(3 * granularity, '.');
        text.replace(granularity, 5, "first");
        ASSERT_EQ(fio_write(file, text.data(), text.size()), static_cast<intptr_t>(text.size()));
    }
    void TearDown() override { fio_close(file); }
    TempDir dir;
    FioHandle file = FIO_INVALID_HANDLE;
    const int granularity = fio_mapgranularity();
};

} // namespace

TEST_F(FioMap, GranularityIsAPowerOfTwoOfPages) {
    EXPECT_GE(granularity, 4096);
    EXPECT_EQ(granularity & (granularity - 1), 0);
}

TEST_F(FioMap, AReadWriteViewAndTheFileSeeEachOther) {
    auto *view = static_cast<char *>(fio_map(file, nullptr, FIO_MAP_READ_WRITE, granularity, 16));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 5), "first");
    memcpy(view, "VIEW", 4);
    char back[4];
    EXPECT_EQ(fio_pread(file, back, 4, granularity), 4);
    EXPECT_EQ(std::string(back, 4), "VIEW");
    EXPECT_EQ(fio_pwrite(file, "FILE", 4, granularity + 8), 4);
    EXPECT_EQ(std::string(view + 8, 4), "FILE");
    EXPECT_EQ(fio_unmap(view, 16), 0);
}

TEST_F(FioMap, CopyOnWriteKeepsTheFileAsItWas) {
    auto *view = static_cast<char *>(fio_map(file, nullptr, FIO_MAP_COPY_ON_WRITE, granularity, 16));
    ASSERT_NE(view, nullptr);
    memcpy(view, "COPY", 4);
    EXPECT_EQ(std::string(view, 4), "COPY");
    EXPECT_EQ(fio_unmap(view, 16), 0);
    char back[5];
    EXPECT_EQ(fio_pread(file, back, 5, granularity), 5);
    EXPECT_EQ(std::string(back, 5), "first");
}

TEST_F(FioMap, ReadOnlyViewsForAnyOtherType) {
    for (int type : {0, 3, 99}) {
        auto *view = static_cast<const char *>(fio_map(file, nullptr, type, granularity, 5));
        ASSERT_NE(view, nullptr) << type;
        EXPECT_EQ(std::string(view, 5), "first");
        MEMORY_BASIC_INFORMATION info;
        ASSERT_NE(VirtualQuery(view, &info, sizeof info), 0u);
        EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_READONLY)) << type;
        EXPECT_EQ(fio_unmap(const_cast<char *>(view), 5), 0);
    }
}

TEST_F(FioMap, MappingPastTheEndGrowsAWritableFile) {
    void *view = fio_map(file, nullptr, FIO_MAP_READ_WRITE, 3 * granularity, granularity);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(fio_unmap(view, granularity), 0);
    EXPECT_EQ(fio_fdsize(file), 4 * granularity);
}

TEST_F(FioMap, NamedMappingsOpenFromAnotherCall) {
    std::string name = "Local\\fio-map-test-" + std::to_string(GetCurrentProcessId());
    void *mapping = nullptr;
    auto *view = static_cast<char *>(
        fio_create_mapping_acl(file, name.c_str(), FIO_MAP_READ_WRITE, 0, 2 * granularity, GENERIC_ALL, 0, 0, 0, &mapping));
    ASSERT_NE(view, nullptr) << osGetLastError();
    auto *second = static_cast<char *>(fio_map(FIO_INVALID_HANDLE, name.c_str(), FIO_MAP_READ_WRITE, granularity, 5));
    ASSERT_NE(second, nullptr) << osGetLastError();
    EXPECT_EQ(std::string(second, 5), "first");
    memcpy(second, "named", 5);
    EXPECT_EQ(std::string(view + granularity, 5), "named");
    EXPECT_EQ(fio_unmap(second, 5), 0);
    EXPECT_EQ(fio_unmap(view, 2 * granularity), 0);
    CloseHandle(mapping);
    osSetLastError(0);
    EXPECT_EQ(fio_map(FIO_INVALID_HANDLE, name.c_str(), FIO_MAP_READ_ONLY, 0, 5), nullptr);
    EXPECT_EQ(osGetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FioMap, TheViewOutlivesTheClosedMappingObject) {
    std::string name = "Local\\fio-map-closed-" + std::to_string(GetCurrentProcessId());
    auto *view = static_cast<char *>(fio_map(file, name.c_str(), FIO_MAP_READ_WRITE, granularity, 5));
    ASSERT_NE(view, nullptr);
    memcpy(view, "later", 5);
    EXPECT_EQ(fio_unmap(view, 5), 0);
    char back[5];
    EXPECT_EQ(fio_pread(file, back, 5, granularity), 5);
    EXPECT_EQ(std::string(back, 5), "later");
}

TEST_F(FioMap, BadArgumentsGiveNull) {
    osSetLastError(0);
    EXPECT_EQ(fio_map(FIO_INVALID_HANDLE, nullptr, FIO_MAP_READ_ONLY, 0, 16), nullptr);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(fio_map(file, nullptr, FIO_MAP_READ_ONLY, -1, 16), nullptr);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_map(file, nullptr, FIO_MAP_READ_ONLY, 0, -16), nullptr);
    EXPECT_EQ(fio_map(file, nullptr, FIO_MAP_READ_ONLY, 0, int64_t{1} << 33), nullptr);
    EXPECT_EQ(fio_map(file, nullptr, FIO_MAP_READ_ONLY, INT64_MAX - 4, 16), nullptr);
    osSetLastError(0);
    EXPECT_EQ(fio_map(file, nullptr, FIO_MAP_READ_ONLY, 1, 16), nullptr); // not on the granularity
    EXPECT_NE(osGetLastError(), 0);
    // A read-only file can't back a writable mapping.
    FioHandle reader = fio_open(dir.file("mapped").c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    ASSERT_NE(reader, FIO_INVALID_HANDLE);
    osSetLastError(0);
    EXPECT_EQ(fio_map(reader, nullptr, FIO_MAP_READ_WRITE, 0, 16), nullptr);
    EXPECT_EQ(osGetLastError(), ERROR_ACCESS_DENIED);
    // Nor can a read-only mapping grow it.
    EXPECT_EQ(fio_map(reader, nullptr, FIO_MAP_READ_ONLY, 4 * granularity, 16), nullptr);
    fio_close(reader);
    osSetLastError(0);
    EXPECT_EQ(fio_unmap(nullptr, 16), -1);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    char local[16];
    EXPECT_EQ(fio_unmap(local, 16), -1);
}
