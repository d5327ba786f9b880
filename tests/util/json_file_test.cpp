// Settings files read whole from real files in a temporary folder, and every way reading one fails.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <stdio.h>
#include <string>

#include "json_events.h"
#include "sarnik/json_reader.h"
#include "test_paths.h"

namespace {

JsonOutcome parseFile(const std::string &path, size_t errorSize = 256) {
    JsonOutcome outcome;
    std::string buffer(errorSize, 'Z');
    outcome.result = jsonParseFile(path.c_str(), recordJsonEvent, &outcome.events, buffer.data(), errorSize);
    outcome.error = buffer.c_str();
    return outcome;
}

// A file of the given length whose content costs nothing to make.
void makeSizedFile(const std::string &path, int64_t length) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = length;
    EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
}

void writeBytes(const std::string &path, const std::string &bytes) {
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    fclose(file);
}

TEST(JsonFile, ReadsAWholeFile) {
    TempDir folder;
    std::string path = folder.file("default.qrc");
    writeTextFile(path, "// settings\r\n{\r\n  \"vantrel/a\": { enable: true; threshold: \"20 ms\" },\r\n"
                        "  b = [1, 0x10]\r\n}\r\n");
    JsonOutcome outcome = parseFile(path);
    EXPECT_EQ(outcome.result, 0) << outcome.error;
    EXPECT_EQ(outcome.events, "{ n:vantrel/a { n:enable true n:threshold s:20 ms } n:b [ i:1 i:16 ] }");
    writeTextFile(path, "[1]");
    EXPECT_EQ(parseFile(path).events, "[ i:1 ]");
}

TEST(JsonFile, TextEndsAtTheFirstNul) {
    TempDir folder;
    std::string path = folder.file("embedded-zero.json");
    writeBytes(path, std::string("{a=1}\0garbage", 13));
    EXPECT_EQ(parseFile(path).events, "{ n:a i:1 }");
    writeBytes(path, std::string("{a=1\0}", 6));
    JsonOutcome cut = parseFile(path);
    EXPECT_EQ(cut.result, -1);
    EXPECT_EQ(cut.error, "Bad character, line 1, \"\"");
}

TEST(JsonFile, ParseErrorsCarryTheLine) {
    TempDir folder;
    std::string path = folder.file("bad.json");
    writeTextFile(path, "{\n a = 1\n b = 'x\n}\n");
    JsonOutcome outcome = parseFile(path, 64);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.error, "Bad character, line 3, \"b = 'x\"");
    writeTextFile(path, "");
    EXPECT_EQ(parseFile(path).error, "Object must start with '{', line 1, \"\"");
    writeTextFile(path, "{a='\xF0\x9F\x98\x80'}");
    EXPECT_EQ(parseFile(path).error, "Illegal UTF8 text stream");
}

TEST(JsonFile, OpenFailures) {
    TempDir folder;
    std::string missing = folder.file("missing.qrc");
    JsonOutcome outcome = parseFile(missing);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.error, "Could not open " + missing);
    EXPECT_EQ(parseFile(folder.path()).error, "Could not open " + folder.path());
    // The message is cut to the buffer like any other.
    EXPECT_EQ(parseFile(missing, 10).error, "Could not");
    char message[8] = "x";
    EXPECT_EQ(jsonParseFile(nullptr, nullptr, nullptr, message, sizeof message), -1);
    EXPECT_STREQ(message, "Could n");
    EXPECT_EQ(jsonParseFile(missing.c_str(), nullptr, nullptr, nullptr, 8), -1);
}

TEST(JsonFile, ReadFailure) {
    TempDir folder;
    std::string path = folder.file("locked.json");
    writeTextFile(path, "{a=1}");
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(holder, 0, 0, 5, 0));
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char probe[5];
    DWORD got = 0;
    bool lockHolds = !ReadFile(reader, probe, sizeof probe, &got, nullptr);
    CloseHandle(reader);
    if (!lockHolds) {
        UnlockFile(holder, 0, 0, 5, 0);
        CloseHandle(holder);
        GTEST_SKIP() << "byte-range locks do not stop reads through another handle here";
    }
    JsonOutcome outcome = parseFile(path);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.error, "Could not read " + path);
    EXPECT_EQ(outcome.events, "");
    UnlockFile(holder, 0, 0, 5, 0);
    CloseHandle(holder);
    // Closed on the failing path too: the file can go at once.
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(JsonFile, SizeLimits) {
    TempDir folder;
    std::string huge = folder.file("huge.json");
    makeSizedFile(huge, int64_t{1} << 31);
    EXPECT_EQ(parseFile(huge).error, "Too large file: " + huge);
    // One byte less is allowed, but no 32-bit process has room for it in one piece.
    makeSizedFile(huge, (int64_t{1} << 31) - 1);
    EXPECT_EQ(parseFile(huge).error, "Could not allocate 2147483647B bytes");
    makeSizedFile(huge, int64_t{3} << 30);
    EXPECT_EQ(parseFile(huge).error, "Too large file: " + huge);
    EXPECT_TRUE(DeleteFileA(huge.c_str()));
}

} // namespace
