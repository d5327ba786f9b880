#include "settings_file.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// Closes a handle on every way out.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    bool close() noexcept {
        if (!valid())
            return true;
        BOOL ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok != FALSE;
    }

private:
    HANDLE handle_;
};

// Our own reasons, in the language the platform gives its error texts in.
struct Reason {
    const wchar_t *english;
    const wchar_t *chinese;
};

constexpr Reason tooLarge{L"The file is too large: a settings file is read up to 64 MB.",
                          L"文件太大：设置文件最多读取 64 MB。"};
constexpr Reason utf16Text{L"The file is not 8-bit text: it begins with a UTF-16 byte-order mark.",
                           L"文件不是 8 位文本：它以 UTF-16 字节顺序标记开头。"};
constexpr Reason utf32Text{L"The file is not 8-bit text: it begins with a UTF-32 byte-order mark.",
                           L"文件不是 8 位文本：它以 UTF-32 字节顺序标记开头。"};
constexpr Reason notRead{L"The file could not be read (system error %u).", L"无法读取文件（系统错误 %u）。"};
constexpr Reason notWritten{L"The file could not be written (system error %u).", L"无法写入文件（系统错误 %u）。"};

std::wstring say(const Reason &reason, std::uint32_t code = 0) {
    std::wstring text = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? reason.chinese : reason.english;
    std::size_t at = text.find(L"%u");
    if (at != std::wstring::npos)
        text.replace(at, 2, std::to_wstring(code));
    return text;
}

enum class Step { Read, Write };

// The platform's text for a failed call; some codes have none (under Wine many), and the box
// must still say what went wrong.
[[noreturn]] void raiseFor(const std::wstring &path, Step step, DWORD code) {
    if (code == 0)
        code = ERROR_GEN_FAILURE;
    std::wstring reason = SysErrorMessage(code);
    if (reason.empty())
        reason = say(step == Step::Read ? notRead : notWritten, code);
    throw ESettingsFileError(path, code, reason);
}

[[noreturn]] void refuse(const std::wstring &path, DWORD code, const Reason &reason) {
    throw ESettingsFileError(path, code, say(reason));
}

constexpr std::size_t largestFile = 64 * 1024 * 1024;

std::string readWhole(const std::wstring &path) {
    // Others may read and write while we read; a file someone holds without read sharing fails.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid())
        raiseFor(path, Step::Read, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        raiseFor(path, Step::Read, GetLastError());
    // An option file is small; one that is not is no option file to rewrite.
    if (size.QuadPart > static_cast<LONGLONG>(largestFile))
        refuse(path, ERROR_FILE_TOO_LARGE, tooLarge);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            raiseFor(path, Step::Read, GetLastError());
        if (got == 0)
            break;
        bytes.append(buffer, got);
        if (bytes.size() > largestFile)
            refuse(path, ERROR_FILE_TOO_LARGE, tooLarge);
    }
    return bytes;
}

void writeWhole(const std::wstring &path, const std::string &bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.valid())
        raiseFor(path, Step::Write, GetLastError());
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD wrote = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            raiseFor(path, Step::Write, GetLastError());
        done += wrote;
    }
    if (!FlushFileBuffers(file.get()))
        raiseFor(path, Step::Write, GetLastError());
    if (!file.close())
        raiseFor(path, Step::Write, GetLastError());
}

} // namespace

ESettingsFileError::ESettingsFileError(const std::wstring &path, std::uint32_t code, const std::wstring &reason)
    : EOSError(reason + L"\r\n" + path, code), path_(path) {}

std::wstring ProgramDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return L"";
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            return path.substr(0, path.find_last_of(L"\\/") + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool SettingsFileExists(const std::wstring &path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void LoadSettingsLines(const std::wstring &path, TStringList *lines) {
    std::string bytes = readWhole(path);
    // UTF-32 first: its little-endian mark begins with UTF-16's.
    auto beginsWith = [&](std::string_view mark) { return std::string_view(bytes).substr(0, mark.size()) == mark; };
    using namespace std::string_view_literals;
    if (beginsWith("\xFF\xFE\0\0"sv) || beginsWith("\0\0\xFE\xFF"sv))
        refuse(path, ERROR_UNSUPPORTED_TYPE, utf32Text);
    if (beginsWith("\xFF\xFE"sv) || beginsWith("\xFE\xFF"sv))
        refuse(path, ERROR_UNSUPPORTED_TYPE, utf16Text);
    lines->SetText(classlib_detail::decodeText(bytes, TTextEncoding::Bytes));
}

std::wstring SettingsTempPath(const std::wstring &path) { return path + L".tmp"; }

void SaveSettingsLines(const std::wstring &path, const TStringList *lines) {
    std::string bytes = classlib_detail::encodeText(lines->Text(), TTextEncoding::Bytes);
    std::wstring temp = SettingsTempPath(path);
    try {
        writeWhole(temp, bytes);
    } catch (...) {
        DeleteFileW(temp.c_str());
        throw;
    }
    // ReplaceFile keeps the original's attributes and security; where the file system offers no
    // such replacement, a rename over the original does the same job.
    if (ReplaceFileW(path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return;
    if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return;
    DWORD code = GetLastError();
    // A failed replacement may already have moved the original away; then the temporary file is
    // the only whole copy left, and it stays.
    if (SettingsFileExists(path))
        DeleteFileW(temp.c_str());
    raiseFor(path, Step::Write, code);
}
