#include "settings_file.h"

#include <windows.h>

#include <algorithm>
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

std::wstring errorText(const std::wstring &path, std::uint32_t code) {
    return SysErrorMessage(code) + L"\r\n" + path;
}

[[noreturn]] void raiseFor(const std::wstring &path, DWORD code) {
    throw ESettingsFileError(path, code != 0 ? code : ERROR_GEN_FAILURE);
}

std::string readWhole(const std::wstring &path) {
    // Others may read and write while we read; a file someone holds without read sharing fails.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid())
        raiseFor(path, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        raiseFor(path, GetLastError());
    // An option file is small; one that is not is no option file to rewrite.
    if (size.QuadPart > 64 * 1024 * 1024)
        raiseFor(path, ERROR_FILE_TOO_LARGE);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            raiseFor(path, GetLastError());
        if (got == 0)
            break;
        bytes.append(buffer, got);
        if (bytes.size() > 64 * 1024 * 1024)
            raiseFor(path, ERROR_FILE_TOO_LARGE);
    }
    return bytes;
}

void writeWhole(const std::wstring &path, const std::string &bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.valid())
        raiseFor(path, GetLastError());
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD wrote = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            raiseFor(path, GetLastError());
        done += wrote;
    }
    if (!FlushFileBuffers(file.get()))
        raiseFor(path, GetLastError());
    if (!file.close())
        raiseFor(path, GetLastError());
}

} // namespace

ESettingsFileError::ESettingsFileError(const std::wstring &path, std::uint32_t code)
    : EOSError(errorText(path, code), code), path_(path) {}

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
    raiseFor(path, code);
}
