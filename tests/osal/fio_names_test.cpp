// Names and directories: normalising, canonical paths, directory tests and creation, sizes,
// deletion and same-file tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "osal/fio.h"
#include "osal/os_error.h"
#include "test_paths.h"

namespace {

std::string normalized(const std::string &path) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    buffer.push_back('#'); // a guard right after the terminator
    fio_normalize_path(buffer.data());
    EXPECT_EQ(buffer.back(), '#') << path;
    return buffer.data();
}

} // namespace

TEST(FioNormalize, SeparatorsDrivesAndNetworkPaths) {
    const std::pair<const char *, const char *> table[] = {
        {"//server//share//dir//", "\\\\server\\share\\dir"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"c:/dir//sub\\\\file", "c:\\dir\\sub\\file"},
        {"C:\\", "C:\\"},
        {"C:/", "C:\\"},
        {"C://", "C:\\"},
        {"/", "\\"},
        {"\\", "\\"},
        {"//", "\\\\"},
        {"////", "\\\\"},
        {"dir/", "dir"},
        {"dir\\\\", "dir"},
        {"/dir/sub/", "\\dir\\sub"},
        {"a/b/c", "a\\b\\c"},
        {"", ""},
        {"..\\x/", "..\\x"},
        // Separators before a drive letter are dropped.
        {"//c:/x", "c:\\x"},
        {"\\D:\\y\\", "D:\\y"},
        {"1:/x", "1:\\x"},
    };
    for (const auto &[in, out] : table)
        EXPECT_EQ(normalized(in), out) << in;
}

TEST(FioNormalize, TrailingSpacesAndSeparatorsGoTogether) {
    const std::pair<const char *, const char *> table[] = {
        {"dir  ", "dir"},       {"dir \\ ", "dir"},    {"dir\\  ", "dir"}, {"C:\\dir\\ ", "C:\\dir"},
        {"C:\\  ", "C:\\"},     {"\\  ", "\\"},        {"   ", ""},         {"a b ", "a b"},
        {"//  ", "\\\\"},       {" lead", " lead"},
    };
    for (const auto &[in, out] : table)
        EXPECT_EQ(normalized(in), out) << in;
}

TEST(FioNormalize, ABareDriveGetsADotWhereTheTextHasRoom) {
    EXPECT_EQ(normalized("C: "), "C:.");
    EXPECT_EQ(normalized("/C:"), "C:.");
    EXPECT_EQ(normalized("x:  "), "x:.");
    // The text never grows past its terminator: a two-character drive keeps its form.
    EXPECT_EQ(normalized("C:"), "C:");
    EXPECT_EQ(normalized("C:."), "C:.");
}

TEST(FioNormalize, NullAndEmptyAreLeftAlone) {
    fio_normalize_path(nullptr);
    EXPECT_EQ(normalized(""), "");
    EXPECT_EQ(normalized(" "), "");
}

TEST(FioNormalize, RandomTextNeverGrowsAndIsStable) {
    std::mt19937 random(42);
    const char alphabet[] = "ab:/\\ .C\x81\x5c\xe0";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        size_t length = random() % 12;
        for (size_t i = 0; i < length; ++i)
            text += alphabet[random() % (sizeof alphabet - 1)];
        std::string once = normalized(text);
        EXPECT_LE(once.size(), text.size()) << text;
        EXPECT_EQ(normalized(once), once) << text;
    }
}

TEST(FioCanonical, RelativePathsBecomeAbsolute) {
    TempDir dir;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    char buffer[MAX_PATH];
    EXPECT_EQ(fio_canonicalize_path("sub\\..\\file.txt", buffer, sizeof buffer), 1);
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(fio_filename_strcmp(buffer, dir.file("file.txt").c_str()), 0) << buffer;
    char tiny[4];
    EXPECT_EQ(fio_canonicalize_path("C:\\some\\long\\path", tiny, sizeof tiny), 0);
    EXPECT_EQ(fio_canonicalize_path(nullptr, buffer, sizeof buffer), 0);
    EXPECT_EQ(fio_canonicalize_path("x", buffer, 0), 0);
}

TEST(FioNames, ComparisonIgnoresCase) {
    EXPECT_EQ(fio_filename_strcmp("C:\\Dir\\File.TXT", "c:\\dir\\file.txt"), 0);
    EXPECT_LT(fio_filename_strcmp("a", "B"), 0);
    EXPECT_GT(fio_filename_strcmp("b", "A"), 0);
    EXPECT_LT(fio_filename_strcmp(nullptr, "a"), 0);
    EXPECT_EQ(fio_filename_strcmp(nullptr, nullptr), 0);
}

TEST(FioNames, IsDirToleratesTrailingSeparators) {
    TempDir dir;
    writeTextFile(dir.file("file"), "x");
    EXPECT_NE(fio_isdir(dir.path().c_str()), 0);
    EXPECT_NE(fio_isdir((dir.path() + "\\\\").c_str()), 0);
    EXPECT_NE(fio_isdir((dir.path() + "//").c_str()), 0);
    EXPECT_EQ(fio_isdir(dir.file("file").c_str()), 0);
    EXPECT_EQ(fio_isdir((dir.file("file") + "\\").c_str()), 0);
    EXPECT_EQ(fio_isdir(dir.file("missing").c_str()), 0);
    EXPECT_EQ(fio_isdir(""), 0);
    EXPECT_EQ(fio_isdir(nullptr), 0);
    EXPECT_EQ(fio_isdir((std::string(40000, 'a') + "\\").c_str()), 0);
    // All separators: what is left is the root.
    EXPECT_NE(fio_isdir(std::string(40000, '\\').c_str()), 0);
}

TEST(FioNames, MkdirCreatesOrFindsADirectory) {
    TempDir dir;
    std::string sub = dir.file("sub");
    EXPECT_EQ(fio_mkdir(sub.c_str()), 0);
    EXPECT_NE(fio_isdir(sub.c_str()), 0);
    EXPECT_EQ(fio_mkdir(sub.c_str()), 0);
    std::wstring wide = std::wstring(sub.begin(), sub.end()) + L"\\\x4e2d";
    EXPECT_EQ(fio_mkdir_w(wide.c_str()), 0);
    EXPECT_EQ(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(fio_mkdir_w(wide.c_str()), 0);
}

TEST(FioNames, MkdirFailures) {
    TempDir dir;
    writeTextFile(dir.file("file"), "x");
    // A file is not a directory that is already there.
    osSetLastError(0);
    EXPECT_EQ(fio_mkdir(dir.file("file").c_str()), -1);
    EXPECT_EQ(osGetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(fio_mkdir(dir.file("a\\b\\c").c_str()), -1);
    EXPECT_EQ(osGetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fio_mkdir(dir.file(std::string(300, 'd')).c_str()), -1);
    EXPECT_EQ(osGetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(fio_mkdir(nullptr), -1);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_mkdir(""), -1);
    EXPECT_EQ(fio_mkdir_w(nullptr), -1);
}

TEST(FioNames, VerifyDirMakesTheDirectoryAndLeavesNoProbe) {
    TempDir dir;
    std::string sub = dir.file("made");
    EXPECT_EQ(fio_verify_dir(sub.c_str()), 1);
    EXPECT_NE(fio_isdir(sub.c_str()), 0);
    EXPECT_EQ(fio_fsize((sub + "\\vantrel-test-writeability-file").c_str()), -1);
    EXPECT_EQ(fio_verify_dir(sub.c_str()), 1);
}

TEST(FioNames, VerifyDirFailsWhenNothingCanBeCreatedThere) {
    TempDir dir;
    std::string probe = dir.file("vantrel-test-writeability-file");
    // Root may write anywhere, so the probe file is held without write sharing instead.
    FioHandle holder = fio_open(probe.c_str(), FIO_CREATE_NEW | FIO_SHARE_READ);
    ASSERT_NE(holder, FIO_INVALID_HANDLE);
    osSetLastError(0);
    EXPECT_EQ(fio_verify_dir(dir.path().c_str()), 0);
    EXPECT_EQ(osGetLastError(), ERROR_SHARING_VIOLATION);
    fio_close(holder);
    writeTextFile(dir.file("file"), "x");
    EXPECT_EQ(fio_verify_dir(dir.file("file").c_str()), 0);
    EXPECT_EQ(fio_verify_dir(dir.file("a\\b").c_str()), 0);
    EXPECT_EQ(fio_verify_dir(std::string(2048 - 31, 'v').c_str()), 0);
    EXPECT_EQ(osGetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(fio_verify_dir(nullptr), 0);
}

TEST(FioNames, SizeAndDeleteByName) {
    TempDir dir;
    writeTextFile(dir.file("five"), "12345");
    EXPECT_EQ(fio_fsize(dir.file("five").c_str()), 5);
    osSetLastError(0);
    EXPECT_EQ(fio_fsize(dir.file("none").c_str()), -1);
    EXPECT_EQ(osGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fio_fsize(nullptr), -1);
    EXPECT_EQ(fio_fsize(dir.file("*").c_str()), -1);
    EXPECT_NE(fio_delete(dir.file("five").c_str()), 0);
    EXPECT_EQ(fio_delete(dir.file("five").c_str()), 0);
    EXPECT_EQ(osGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fio_delete(nullptr), 0);
}

TEST(FioNames, SameFilesByHandleAndByPath) {
    TempDir dir;
    writeTextFile(dir.file("a"), "a");
    writeTextFile(dir.file("b"), "b");
    FioHandle a1 = fio_open(dir.file("a").c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    FioHandle a2 = fio_open((dir.path() + "\\.\\A").c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    FioHandle b = fio_open(dir.file("b").c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    ASSERT_NE(a1, FIO_INVALID_HANDLE);
    ASSERT_NE(a2, FIO_INVALID_HANDLE);
    ASSERT_NE(b, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_is_same_files(a1, a2), 1);
    EXPECT_EQ(fio_is_same_files(a1, b), 0);
    EXPECT_EQ(fio_is_same_files(a1, FIO_INVALID_HANDLE), 0);
    EXPECT_EQ(fio_is_same_files(FIO_INVALID_HANDLE, FIO_INVALID_HANDLE), 0);
    EXPECT_EQ(fio_is_same_files_by_path(dir.file("a").c_str(), a2), 1);
    EXPECT_EQ(fio_is_same_files_by_path(dir.file("b").c_str(), a1), 0);
    EXPECT_EQ(fio_is_same_files_by_path(dir.file("none").c_str(), a1), 0);
    EXPECT_EQ(fio_is_same_files_by_path(nullptr, a1), 0);
    fio_close(a1);
    fio_close(a2);
    fio_close(b);
}
