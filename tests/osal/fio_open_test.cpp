// Opening files by flag word: access, creation, sharing, write-through and delete on close.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "osal/fio.h"
#include "osal/os_error.h"
#include "test_paths.h"

namespace {

// Opens with the platform directly, to see what sharing an fio handle allows others.
bool othersMayOpen(const std::string &path, DWORD access, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                                         FILE_SHARE_DELETE) {
    HANDLE other = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(other);
    return true;
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

TEST(FioOpen, ReadOnlyOpenExistingIsSharedForReadingAndWriting) {
    TempDir dir;
    writeTextFile(dir.file("a"), "abc");
    FioHandle file = fio_open(dir.file("a").c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_TRUE(othersMayOpen(dir.file("a"), GENERIC_READ | GENERIC_WRITE));
    EXPECT_FALSE(othersMayOpen(dir.file("a"), DELETE));
    char buffer[8];
    EXPECT_EQ(fio_read(file, buffer, sizeof buffer), 3);
    osSetLastError(0);
    EXPECT_EQ(fio_write(file, "x", 1), -1);
    EXPECT_EQ(osGetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_NE(fio_close(file), 0);
}

TEST(FioOpen, WriteOnlyCreateAlwaysSharedForReadingOnly) {
    TempDir dir;
    writeTextFile(dir.file("a"), "old contents");
    FioHandle file = fio_open(dir.file("a").c_str(), FIO_WRITE_ONLY | FIO_CREATE_ALWAYS | FIO_SHARE_READ);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_fdsize(file), 0);
    EXPECT_TRUE(othersMayOpen(dir.file("a"), GENERIC_READ));
    EXPECT_FALSE(othersMayOpen(dir.file("a"), GENERIC_WRITE));
    char buffer[4];
    EXPECT_EQ(fio_read(file, buffer, sizeof buffer), -1);
    EXPECT_EQ(osGetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(fio_write(file, "new", 3), 3);
    fio_close(file);
    EXPECT_EQ(readTextFile(dir.file("a")), "new");
}

TEST(FioOpen, EachShareBitAllowsOnlyItsOwnAccess) {
    TempDir dir;
    writeTextFile(dir.file("a"), "");
    struct Case {
        int share;
        bool read, write, remove;
    };
    for (Case c : {Case{FIO_SHARE_READ, true, false, false}, Case{FIO_SHARE_WRITE, false, true, false},
                   Case{FIO_SHARE_DELETE, false, false, true},
                   Case{FIO_SHARE_READ | FIO_SHARE_WRITE | FIO_SHARE_DELETE, true, true, true}}) {
        FioHandle file = fio_open(dir.file("a").c_str(), FIO_OPEN_EXISTING | c.share);
        ASSERT_NE(file, FIO_INVALID_HANDLE) << c.share;
        EXPECT_EQ(othersMayOpen(dir.file("a"), GENERIC_READ), c.read) << c.share;
        EXPECT_EQ(othersMayOpen(dir.file("a"), GENERIC_WRITE), c.write) << c.share;
        EXPECT_EQ(othersMayOpen(dir.file("a"), DELETE), c.remove) << c.share;
        fio_close(file);
    }
}

TEST(FioOpen, TheFirstCreationBitWins) {
    TempDir dir;
    std::string name = dir.file("a");
    // Open-always before create-new: an existing file opens and keeps its contents.
    writeTextFile(name, "kept");
    FioHandle file = fio_open(name.c_str(), FIO_OPEN_ALWAYS | FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_fdsize(file), 4);
    fio_close(file);
    // Open-existing before create-always: no truncation.
    file = fio_open(name.c_str(), FIO_OPEN_EXISTING | FIO_CREATE_ALWAYS);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_fdsize(file), 4);
    fio_close(file);
    // Create-always before create-new: truncates rather than failing.
    file = fio_open(name.c_str(), FIO_CREATE_ALWAYS | FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_fdsize(file), 0);
    fio_close(file);
}

TEST(FioOpen, OpenAlwaysCreatesAMissingFile) {
    TempDir dir;
    FioHandle file = fio_open(dir.file("new").c_str(), FIO_OPEN_ALWAYS);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    fio_close(file);
    EXPECT_TRUE(exists(dir.file("new")));
}

TEST(FioOpen, FailuresLeaveThePlatformError) {
    TempDir dir;
    writeTextFile(dir.file("there"), "x");
    struct Case {
        std::string name;
        int flags;
        int error;
    };
    const Case cases[] = {
        {dir.file("there"), FIO_READ_ONLY, ERROR_INVALID_PARAMETER}, // no creation bit
        {dir.file("there"), FIO_CREATE_NEW, ERROR_FILE_EXISTS},
        {dir.file("missing"), FIO_OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {dir.file("no-folder\\a"), FIO_CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {dir.file(std::string(300, 'n')), FIO_CREATE_ALWAYS, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case &c : cases) {
        osSetLastError(0);
        EXPECT_EQ(fio_open(c.name.c_str(), c.flags), FIO_INVALID_HANDLE) << c.name;
        EXPECT_EQ(osGetLastError(), c.error) << c.name;
    }
    osSetLastError(0);
    EXPECT_EQ(fio_open(nullptr, FIO_OPEN_ALWAYS), FIO_INVALID_HANDLE);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_open_w(nullptr, FIO_OPEN_ALWAYS), FIO_INVALID_HANDLE);
}

TEST(FioOpen, BadNamesFailWithoutCreatingAnything) {
    TempDir dir;
    for (const std::string &name : {std::string(), dir.file("a<b"), dir.file("a|b"), dir.file("a\"b"),
                                     dir.file("a?b"), dir.file("a*b"), dir.path() + "\\", std::string(5000, 'x')}) {
        osSetLastError(0);
        EXPECT_EQ(fio_open(name.c_str(), FIO_CREATE_ALWAYS), FIO_INVALID_HANDLE) << name;
        EXPECT_NE(osGetLastError(), 0) << name;
    }
    FioDirIter *it = nullptr;
    ASSERT_EQ(fio_diter_create(dir.path().c_str(), &it), 0);
    int entries = 0;
    while (fio_diter_next(it))
        ++entries;
    fio_diter_destroy(it);
    EXPECT_EQ(entries, 2); // "." and ".."
}

TEST(FioOpen, DeleteOnCloseRemovesTheFileAndSharesDeletion) {
    TempDir dir;
    std::string name = dir.file("scratch");
    FioHandle file = fio_open(name.c_str(), FIO_CREATE_NEW | FIO_DELETE_ON_CLOSE | FIO_SHARE_READ);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_write(file, "temp", 4), 4);
    EXPECT_TRUE(exists(name));
    EXPECT_TRUE(othersMayOpen(name, DELETE));
    fio_close(file);
    EXPECT_FALSE(exists(name));
}

TEST(FioOpen, WriteThroughWritesReachTheFile) {
    TempDir dir;
    FioHandle file = fio_open(dir.file("a").c_str(), FIO_CREATE_NEW | FIO_WRITE_THROUGH);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_write(file, "through", 7), 7);
    EXPECT_EQ(readTextFile(dir.file("a")), "through");
    EXPECT_EQ(fio_force(file), 0);
    fio_close(file);
}

TEST(FioOpen, HandlesAreNotInherited) {
    TempDir dir;
    FioHandle file = fio_open(dir.file("a").c_str(), FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(file), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    fio_close(file);
}

TEST(FioOpen, WideNamesOpenTheSameWay) {
    TempDir dir;
    std::wstring name = std::wstring(dir.path().begin(), dir.path().end()) + L"\\\x00e9t\x00e9\x4e2d.txt";
    FioHandle file = fio_open_w(name.c_str(), FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_write(file, "wide", 4), 4);
    fio_close(file);
    EXPECT_EQ(fio_open_w(name.c_str(), FIO_CREATE_NEW), FIO_INVALID_HANDLE);
    EXPECT_EQ(osGetLastError(), ERROR_FILE_EXISTS);
    file = fio_open_w(name.c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_fdsize(file), 4);
    fio_close(file);
    EXPECT_TRUE(DeleteFileW(name.c_str()));
}
