#include "theme.h"

#include <uxtheme.h>

#include <string>
#include <vector>

#include "message_pump.h"
#include "test_paths.h"

namespace {

constexpr wchar_t themeManagerKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

std::wstring readThemeValue(const wchar_t *name) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, themeManagerKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return {};
    return buffer;
}

void writeThemeValue(const wchar_t *name, const std::wstring &value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, themeManagerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// The theme file as the registry names it, before theming was turned off.
struct SavedTheme {
    bool saved = false;
    std::wstring active, file, color, size;
    std::vector<int> colorIndices;
    std::vector<COLORREF> colors;
};

SavedTheme &savedTheme() {
    static SavedTheme theme;
    return theme;
}

using OpenThemeFileFn = HRESULT(WINAPI *)(LPCWSTR, LPCWSTR, LPCWSTR, HANDLE *, DWORD);
using CloseThemeFileFn = HRESULT(WINAPI *)(HANDLE);
using ApplyThemeFn = HRESULT(WINAPI *)(HANDLE, char *, HWND);

bool applyThemeFile(const SavedTheme &theme) {
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    if (uxtheme == nullptr || theme.file.empty())
        return false;
    auto openFile = reinterpret_cast<OpenThemeFileFn>(reinterpret_cast<void *>(GetProcAddress(uxtheme, MAKEINTRESOURCEA(2))));
    auto closeFile = reinterpret_cast<CloseThemeFileFn>(reinterpret_cast<void *>(GetProcAddress(uxtheme, MAKEINTRESOURCEA(3))));
    auto apply = reinterpret_cast<ApplyThemeFn>(reinterpret_cast<void *>(GetProcAddress(uxtheme, MAKEINTRESOURCEA(4))));
    if (openFile == nullptr || closeFile == nullptr || apply == nullptr)
        return false;
    HANDLE file = nullptr;
    if (FAILED(openFile(theme.file.c_str(), theme.color.empty() ? nullptr : theme.color.c_str(),
                        theme.size.empty() ? nullptr : theme.size.c_str(), &file, 0)))
        return false;
    char smooth[] = "\1";
    HRESULT hr = apply(file, smooth, nullptr);
    closeFile(file);
    return SUCCEEDED(hr);
}

// Switching the theme resets the session's system colours from the theme's backup: put back
// what was there.
void saveColors(SavedTheme &theme) {
    theme.colorIndices.clear();
    theme.colors.clear();
    for (int i = COLOR_SCROLLBAR; i <= COLOR_MENUBAR; ++i) {
        theme.colorIndices.push_back(i);
        theme.colors.push_back(GetSysColor(i));
    }
}

void restoreColors(const SavedTheme &theme) {
    for (std::size_t i = 0; i < theme.colorIndices.size(); ++i) {
        if (GetSysColor(theme.colorIndices[i]) != theme.colors[i]) {
            SetSysColors(static_cast<int>(theme.colorIndices.size()), theme.colorIndices.data(), theme.colors.data());
            return;
        }
    }
}

void restoreRegistry(const SavedTheme &theme) {
    writeThemeValue(L"ThemeActive", theme.active);
    if (!theme.file.empty()) {
        writeThemeValue(L"DllName", theme.file);
        writeThemeValue(L"ColorName", theme.color);
        writeThemeValue(L"SizeName", theme.size);
    }
}

} // namespace

bool disableThemingForProcess() {
    if (!IsThemeActive())
        return true;
    SavedTheme &theme = savedTheme();
    theme.active = readThemeValue(L"ThemeActive");
    theme.file = readThemeValue(L"DllName");
    theme.color = readThemeValue(L"ColorName");
    theme.size = readThemeValue(L"SizeName");
    saveColors(theme);
    theme.saved = true;
    EnableTheming(FALSE);
    // Only this process is meant: processes started later read the registry.
    restoreRegistry(theme);
    restoreColors(theme);
    pumpMessages();
    return !IsThemeActive();
}

bool restoreThemingForProcess() {
    SavedTheme &theme = savedTheme();
    if (!theme.saved)
        return true;
    if (!IsThemeActive()) {
        EnableTheming(TRUE);
        if (!IsThemeActive())
            applyThemeFile(theme);
    }
    restoreRegistry(theme);
    restoreColors(theme);
    theme.saved = false;
    pumpMessages();
    return IsThemeActive() != FALSE;
}

CommonControlsV6::CommonControlsV6() {
    static HANDLE context = [] {
        std::string path = outputDirectory() + "\\gui_test_support.manifest";
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return INVALID_HANDLE_VALUE;
        static const char manifest[] =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
            "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
            "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
            "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
            "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>"
            "</assembly>\r\n";
        DWORD written = 0;
        WriteFile(file, manifest, sizeof(manifest) - 1, &written, nullptr);
        CloseHandle(file);
        ACTCTXA request{};
        request.cbSize = sizeof(request);
        request.lpSource = path.c_str();
        return CreateActCtxA(&request);
    }();
    if (context != INVALID_HANDLE_VALUE && !ActivateActCtx(context, &cookie_))
        cookie_ = 0;
}

CommonControlsV6::~CommonControlsV6() {
    if (cookie_ != 0)
        DeactivateActCtx(0, cookie_);
}

void ThemeOnTest::SetUp() {
    GuiTest::SetUp();
    if (HasFatalFailure())
        return;
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are not active on this system";
}

void ThemeOffTest::SetUp() {
    GuiTest::SetUp();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(disableThemingForProcess()) << "visual styles could not be turned off";
}

void ThemeOffTest::TearDown() {
    EXPECT_TRUE(restoreThemingForProcess()) << "visual styles did not come back on";
    GuiTest::TearDown();
}
