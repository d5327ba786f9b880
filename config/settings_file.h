// "PelkV3.ini", the launcher's option file beside the program: one option a line.
//
// The file is 8-bit text read byte for byte (each byte one character 0-255), so comments in any
// code page and stray control bytes survive a save unchanged. A file that begins with a UTF-16 or
// UTF-32 byte-order mark is no such text: reading it as bytes would cut its line ends in half, so
// it is refused rather than read. A save never leaves a half-written file behind: the lines go to
// a temporary file beside the original, which then replaces it.
#ifndef CONFIG_SETTINGS_FILE_H
#define CONFIG_SETTINGS_FILE_H

#include <classlib/exceptions.h>
#include <classlib/string_list.h>

#include <cstdint>
#include <string>

constexpr wchar_t SettingsFileName[] = L"PelkV3.ini";

// A settings file that could not be read or written: the reason on one line, the path on the next.
class ESettingsFileError : public EOSError {
public:
    ESettingsFileError(const std::wstring &path, std::uint32_t code, const std::wstring &reason);
    const std::wstring &Path() const noexcept { return path_; }

private:
    std::wstring path_;
};

// The folder of the running program, with its trailing separator.
std::wstring ProgramDirectory();
// Whether a file (not a folder) lies at the path.
bool SettingsFileExists(const std::wstring &path);
// The whole file into the lines (CR LF, LF or CR end a line); raises ESettingsFileError when it
// cannot be read whole or is not 8-bit text, leaving the lines as they were.
void LoadSettingsLines(const std::wstring &path, TStringList *lines);
// Every line ended by CR LF into the file. Raises ESettingsFileError when the file cannot be
// replaced; the original then stays as it was and no temporary file is left (unless the platform
// moved the original away, when the temporary file keeps the new lines).
void SaveSettingsLines(const std::wstring &path, const TStringList *lines);
// The temporary file a save writes first.
std::wstring SettingsTempPath(const std::wstring &path);

#endif
