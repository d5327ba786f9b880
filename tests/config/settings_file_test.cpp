// The settings file and its heap line, through real files in a scratch folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <classlib/string_utils.h>

#include <random>
#include <string>
#include <vector>

#include "heap_option.h"
#include "settings_file.h"
#include "test_paths.h"

namespace {

std::wstring wide(const std::string &text) { return std::wstring(text.begin(), text.end()); }

std::string bytesOf(const std::string &path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void putBytes(const std::string &path, const std::string &bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr));
    CloseHandle(file);
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Reads the file, sets the heap line as the form's OK does, and saves it.
void setHeap(const std::string &path, const std::wstring &text) {
    TOwned<TStringList> lines(New<TStringList>());
    LoadSettingsLines(wide(path), lines.get());
    StoreHeapLine(lines.get(), FindHeapLine(lines.get()), text);
    SaveSettingsLines(wide(path), lines.get());
}

// What a save must give, worked out on the bytes: lines split at CR LF, LF or CR, each ended by
// CR LF, the first "-Xmx" line (any case) replaced or a new one appended.
std::string expectedSave(const std::string &bytes, const std::string &heapLine) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", i);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(i, end - i));
        i = end;
        if (i < bytes.size() && bytes[i] == '\r')
            ++i;
        if (i < bytes.size() && bytes[i] == '\n')
            ++i;
    }
    bool replaced = false;
    for (std::string &line : lines) {
        if (line.size() >= 4 && line[0] == '-' && (line[1] | 0x20) == 'x' && (line[2] | 0x20) == 'm' &&
            (line[3] | 0x20) == 'x') {
            line = heapLine;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        lines.push_back(heapLine);
    std::string out;
    for (const std::string &line : lines)
        out += line + "\r\n";
    return out;
}

class SettingsFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("PelkV3.ini");
};

TEST_F(SettingsFileTest, LinesEndAtCrLfLfOrCrAndAreSavedWithCrLf) {
    putBytes(path, "-Da=1\r\n-Xmx512m\nb\rc\n\rd");
    TOwned<TStringList> lines(New<TStringList>());
    LoadSettingsLines(wide(path), lines.get());
    ASSERT_EQ(lines->Count(), 6);
    EXPECT_EQ(lines->Strings(1), L"-Xmx512m");
    EXPECT_EQ(lines->Strings(4), L"");
    EXPECT_EQ(FindHeapLine(lines.get()), 1);
    SaveSettingsLines(wide(path), lines.get());
    EXPECT_EQ(bytesOf(path), "-Da=1\r\n-Xmx512m\r\nb\r\nc\r\n\r\nd\r\n");
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(SettingsFileTest, TheFirstHeapLineInAnyCaseIsReplacedAndOnlyIt) {
    putBytes(path, "-Xms128m\r\n-server\r\n-XMX2048m\r\n-xmx256m\r\n");
    setHeap(path, L"1024");
    EXPECT_EQ(bytesOf(path), "-Xms128m\r\n-server\r\n-Xmx1024m\r\n-xmx256m\r\n");
}

TEST_F(SettingsFileTest, WithoutHeapLineOneIsAppendedAfterAnUnendedLastLine) {
    putBytes(path, "-Xms128m\r\n -Xmx1g\r\n-Xm\r\n-Dx=y");
    setHeap(path, L"512");
    EXPECT_EQ(bytesOf(path), "-Xms128m\r\n -Xmx1g\r\n-Xm\r\n-Dx=y\r\n-Xmx512m\r\n");
    putBytes(path, "");
    setHeap(path, L"384");
    EXPECT_EQ(bytesOf(path), "-Xmx384m\r\n");
}

TEST(HeapOption, ValueTextDropsThePrefixAndTheLastCharacter) {
    EXPECT_EQ(HeapValueText(L"-Xmx512m"), L"512");
    EXPECT_EQ(HeapValueText(L"-Xmx512"), L"51");
    EXPECT_EQ(HeapValueText(L"-xmx1g"), L"1");
    EXPECT_EQ(HeapValueText(L"-Xmxm"), L"");
    EXPECT_EQ(HeapValueText(L"-Xmx"), L"");
}

TEST(HeapOption, OnlyCanonicalIntegersInRangeAreAccepted) {
    for (const wchar_t *text : {L"384", L"1024", L"512", L"+512", L"0512"})
        EXPECT_EQ(CheckHeapText(text), THeapCheck::Accepted) << text;
    for (const wchar_t *text : {L"383", L"1025", L"0", L"-512", L"2147483647", L"-2147483648"})
        EXPECT_EQ(CheckHeapText(text), THeapCheck::OutOfRange) << text;
    for (const wchar_t *text : {L"", L"+", L"-", L" 512", L"512 ", L"$200", L"0x200", L"1e3", L"512.0", L"5 12",
                                L"2147483648", L"99999999999", L"512m"})
        EXPECT_EQ(CheckHeapText(text), THeapCheck::NotInteger) << text;
    EXPECT_EQ(HeapLineFor(L"+512"), L"-Xmx512m");
    EXPECT_EQ(HeapLineFor(L"0512"), L"-Xmx0512m");
}

// Generated files of every byte value: apart from the heap line and the line ends, a save keeps
// every byte where it was.
TEST_F(SettingsFileTest, EveryOtherByteOfMutatedFilesSurvivesASave) {
    std::mt19937 random(20261209);
    const std::string heapLines[] = {"-Xmx700m", "-XMX2048m", "-xmx1g", ""};
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        int lineCount = 1 + static_cast<int>(random() % 12);
        int heapAt = static_cast<int>(random() % (lineCount + 1));
        const std::string &heap = heapLines[random() % 4];
        for (int line = 0; line < lineCount; ++line) {
            if (line == heapAt && !heap.empty()) {
                bytes += heap;
            } else {
                int length = static_cast<int>(random() % 40);
                for (int k = 0; k < length; ++k) {
                    char c = static_cast<char>(random() % 256);
                    if (c == '\r' || c == '\n')
                        c = '\0';
                    bytes += c;
                }
                if (random() % 8 == 0)
                    bytes += "-Xmx" + std::string(1, static_cast<char>(0x80 + random() % 128)) + "m";
            }
            const char *ends[] = {"\r\n", "\n", "\r", "\r\n"};
            if (line + 1 < lineCount || random() % 2 == 0)
                bytes += ends[random() % 4];
        }
        putBytes(path, bytes);
        setHeap(path, L"640");
        ASSERT_EQ(bytesOf(path), expectedSave(bytes, "-Xmx640m")) << "round " << round;
    }
}

TEST_F(SettingsFileTest, CrLfFilesChangeOnlyInTheHeapLine) {
    std::string gbkComment = "# \xD7\xEE\xB4\xF3\xC4\xDA\xB4\xE6 \x80\xFF";
    std::string before = gbkComment + "\r\n-Dnul=a" + std::string(1, '\0') + "b\r\n";
    std::string after = "\r\n-Xss1m\r\n";
    putBytes(path, before + "-Xmx900m" + after);
    setHeap(path, L"1000");
    EXPECT_EQ(bytesOf(path), before + "-Xmx1000m" + after);
}

TEST_F(SettingsFileTest, AFileLockedAgainstReadingIsNotRead) {
    putBytes(path, "-Xmx512m\r\n");
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    TOwned<TStringList> lines(New<TStringList>());
    lines->Add(L"kept");
    try {
        LoadSettingsLines(wide(path), lines.get());
        ADD_FAILURE() << "a locked file was read";
    } catch (const ESettingsFileError &e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(e.Path(), wide(path));
        EXPECT_NE(e.Message().find(wide(path)), std::wstring::npos);
        EXPECT_NE(e.Message().find(SysErrorMessage(ERROR_SHARING_VIOLATION)), std::wstring::npos);
    }
    CloseHandle(holder);
    ASSERT_EQ(lines->Count(), 1);
    EXPECT_EQ(lines->Strings(0), L"kept");
}

// The reason stands on the first line of the message, the path on the second.
std::wstring reasonIn(const ESettingsFileError &e) {
    const std::wstring tail = L"\r\n" + e.Path();
    const std::wstring &message = e.Message();
    if (message.size() < tail.size() || message.compare(message.size() - tail.size(), tail.size(), tail) != 0)
        return L"<no path at the end>";
    return message.substr(0, message.size() - tail.size());
}

// A file that begins with a UTF-16 or UTF-32 mark is not 8-bit text: read as bytes, its line ends
// would be cut in half on a save. It is refused with a reason, and nothing reaches the lines.
TEST_F(SettingsFileTest, FilesWithAUtf16OrUtf32MarkAreRefusedWithAReason) {
    using namespace std::string_literals;
    const struct {
        std::string bytes;
        const wchar_t *kind;
    } marked[] = {{"\xFF\xFE-\0X\0m\0x\0" "5\0" "1\0" "2\0m\0\r\0\n\0"s, L"UTF-16"},
                  {"\xFE\xFF\0-\0X\0m\0x\0" "5\0" "1\0" "2\0m\0\r\0\n"s, L"UTF-16"},
                  {"\xFF\xFE"s, L"UTF-16"},
                  {"\xFF\xFE\0\0-\0\0\0"s, L"UTF-32"},
                  {"\0\0\xFE\xFF\0\0\0-"s, L"UTF-32"}};
    for (const auto &[bytes, kind] : marked) {
        putBytes(path, bytes);
        TOwned<TStringList> lines(New<TStringList>());
        lines->Add(L"kept");
        try {
            LoadSettingsLines(wide(path), lines.get());
            ADD_FAILURE() << "read as 8-bit text: " << testing::PrintToString(bytes);
        } catch (const ESettingsFileError &e) {
            EXPECT_NE(reasonIn(e).find(kind), std::wstring::npos) << testing::PrintToString(bytes);
        }
        ASSERT_EQ(lines->Count(), 1);
        EXPECT_EQ(bytesOf(path), bytes);
    }
    // A UTF-8 mark is 8-bit text: it stays a part of the first line.
    putBytes(path, "\xEF\xBB\xBF-Xms1m\r\n-Xmx512m\r\n");
    setHeap(path, L"600");
    EXPECT_EQ(bytesOf(path), "\xEF\xBB\xBF-Xms1m\r\n-Xmx600m\r\n");
}

// Under Wine the code for a too large file has no text of its own; the message still says why.
TEST_F(SettingsFileTest, AFileOverSixtyFourMegabytesIsRefusedWithAReason) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = 64 * 1024 * 1024 + 1;
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    TOwned<TStringList> lines(New<TStringList>());
    try {
        LoadSettingsLines(wide(path), lines.get());
        ADD_FAILURE() << "a file of 64 MB and a byte was read";
    } catch (const ESettingsFileError &e) {
        std::wstring reason = reasonIn(e);
        EXPECT_NE(reason.find(L"64 MB"), std::wstring::npos) << WideToUtf8(e.Message());
    }
    EXPECT_EQ(lines->Count(), 0);
}

// Someone who reads the file and shares it for reading only: we can read it, but not replace it.
TEST_F(SettingsFileTest, AFailedSaveKeepsTheOriginalAndLeavesNoTemporaryFile) {
    std::string original = "-Xms64m\r\n-Xmx512m\n# \xC4\xDA\xB4\xE6";
    putBytes(path, original);
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    TOwned<TStringList> lines(New<TStringList>());
    LoadSettingsLines(wide(path), lines.get());
    StoreHeapLine(lines.get(), FindHeapLine(lines.get()), L"800");
    EXPECT_THROW(SaveSettingsLines(wide(path), lines.get()), ESettingsFileError);
    CloseHandle(holder);
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(SettingsFileTest, AStaleTemporaryFileIsReplaced) {
    putBytes(path, "-Xmx512m\r\n");
    putBytes(path + ".tmp", std::string(10000, 'z'));
    setHeap(path, L"768");
    EXPECT_EQ(bytesOf(path), "-Xmx768m\r\n");
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(SettingsFileTest, AFolderIsNoSettingsFile) {
    EXPECT_FALSE(SettingsFileExists(wide(path)));
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    EXPECT_FALSE(SettingsFileExists(wide(path)));
    RemoveDirectoryA(path.c_str());
    putBytes(path, "");
    EXPECT_TRUE(SettingsFileExists(wide(path)));
}

} // namespace
