// ztUxTheme: binding of the visual-styles library and the wrappers around it.
#include "ztUxTheme.h"

#include <commctrl.h>

#include <string>

#include <classlib/string_utils.h>

namespace {

constexpr const char *entryNames[uxEntryCount] = {
    "CloseThemeData", "DrawThemeBackground", "DrawThemeEdge", "DrawThemeIcon", "DrawThemeParentBackground",
    "DrawThemeText", "EnableThemeDialogTexture", "GetCurrentThemeName", "GetThemeAppProperties",
    "GetThemeBackgroundContentRect", "GetThemeBackgroundRegion", "GetThemeBackgroundExtent", "GetThemeBool",
    "GetThemeColor", "GetThemeDocumentationProperty", "GetThemeEnumValue", "GetThemeFilename", "GetThemeFont",
    "GetThemeInt", "GetThemeIntList", "GetThemeMargins", "GetThemeMetric", "GetThemePartSize",
    "GetThemePosition", "GetThemePropertyOrigin", "GetThemeRect", "GetThemeString", "GetThemeSysBool",
    "GetThemeSysColor", "GetThemeSysColorBrush", "GetThemeSysFont", "GetThemeSysInt", "GetThemeSysSize",
    "GetThemeSysString", "GetThemeTextExtent", "GetThemeTextMetrics", "GetWindowTheme", "HitTestThemeBackground",
    "IsAppThemed", "IsThemeActive", "IsThemePartDefined", "IsThemeBackgroundPartiallyTransparent",
    "IsThemeDialogTextureEnabled", "OpenThemeData", "SetThemeAppProperties", "SetWindowTheme"};

constinit HMODULE themeLibrary = nullptr;
constinit FARPROC entries[uxEntryCount] = {};

// GetVersionExW is deprecated in the headers but is the call that reports the version the
// program runs under (compatibility modes included).
void readVersion(DWORD &major, DWORD &minor) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExW(&info);
#pragma GCC diagnostic pop
    major = ok ? info.dwMajorVersion : 0;
    minor = ok ? info.dwMinorVersion : 0;
}

void startUxTheme() {
    DWORD major = 0;
    DWORD minor = 0;
    readVersion(major, minor);
    InitCommonControls();
    if (!HasThemeLibrary(major, minor))
        return;
    themeLibrary = LoadLibraryW(L"UxTheme.dll");
    if (themeLibrary == nullptr)
        return;
    for (int entry = 0; entry < uxEntryCount; ++entry)
        entries[entry] = GetProcAddress(themeLibrary, entryNames[entry]);
}

void stopUxTheme() {
    for (FARPROC &entry : entries)
        entry = nullptr;
    if (themeLibrary != nullptr)
        FreeLibrary(themeLibrary);
    themeLibrary = nullptr;
}

template <class F> F bound(TztUxThemeEntry entry) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(entries[entry]));
}

} // namespace

constinit TUnit ztUxThemeUnit{L"ztUxTheme", startUxTheme, stopUxTheme};

const char *UxThemeEntryName(int entry) noexcept {
    return entry >= 0 && entry < uxEntryCount ? entryNames[entry] : nullptr;
}

FARPROC UxThemeEntry(int entry) noexcept { return entry >= 0 && entry < uxEntryCount ? entries[entry] : nullptr; }

bool ThemeLibraryLoaded() noexcept { return themeLibrary != nullptr; }

bool HasThemeLibrary(DWORD major, DWORD minor) noexcept { return major > 5 || (major == 5 && minor > 0); }

namespace zt {

HTHEME OpenThemeData(HWND window, LPCWSTR classList) {
    return bound<HTHEME(WINAPI *)(HWND, LPCWSTR)>(uxOpenThemeData)(window, classList);
}

HRESULT CloseThemeData(HTHEME theme) { return bound<HRESULT(WINAPI *)(HTHEME)>(uxCloseThemeData)(theme); }

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT *rect, const RECT *clip) {
    return bound<HRESULT(WINAPI *)(HTHEME, HDC, int, int, const RECT *, const RECT *)>(uxDrawThemeBackground)(
        theme, dc, part, state, rect, clip);
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT &rect) {
    return zt::DrawThemeBackground(theme, dc, part, state, &rect, nullptr);
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT &rect, const RECT &clip) {
    return zt::DrawThemeBackground(theme, dc, part, state, &rect, &clip);
}

HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int length, DWORD flags,
                      DWORD flags2, const RECT *rect) {
    return bound<HRESULT(WINAPI *)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT *)>(uxDrawThemeText)(
        theme, dc, part, state, text, length, flags, flags2, rect);
}

HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, std::string_view text, DWORD flags, DWORD flags2,
                      const RECT *rect) {
    std::wstring wide = CodePageToWide(text, CP_ACP);
    return zt::DrawThemeText(theme, dc, part, state, wide.c_str(), static_cast<int>(wide.size()), flags, flags2, rect);
}

HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT *bounds, RECT *content) {
    return bound<HRESULT(WINAPI *)(HTHEME, HDC, int, int, const RECT *, RECT *)>(uxGetThemeBackgroundContentRect)(
        theme, dc, part, state, bounds, content);
}

HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT &bounds, RECT &content) {
    return zt::GetThemeBackgroundContentRect(theme, dc, part, state, &bounds, &content);
}

HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, const RECT *rect, THEMESIZE size, SIZE *result) {
    return bound<HRESULT(WINAPI *)(HTHEME, HDC, int, int, const RECT *, THEMESIZE, SIZE *)>(uxGetThemePartSize)(
        theme, dc, part, state, rect, size, result);
}

HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, THEMESIZE size, SIZE *result) {
    return zt::GetThemePartSize(theme, dc, part, state, nullptr, size, result);
}

HRESULT GetThemeBackgroundRegion(HTHEME theme, HDC dc, int part, int state, const RECT *rect, HRGN *region) {
    return bound<HRESULT(WINAPI *)(HTHEME, HDC, int, int, const RECT *, HRGN *)>(uxGetThemeBackgroundRegion)(
        theme, dc, part, state, rect, region);
}

HRESULT DrawThemeEdge(HTHEME theme, HDC dc, int part, int state, const RECT *destRect, UINT edge, UINT flags,
                      RECT *contentRect) {
    return bound<HRESULT(WINAPI *)(HTHEME, HDC, int, int, const RECT *, UINT, UINT, RECT *)>(uxDrawThemeEdge)(
        theme, dc, part, state, destRect, edge, flags, contentRect);
}

BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state) {
    return bound<BOOL(WINAPI *)(HTHEME, int, int)>(uxIsThemeBackgroundPartiallyTransparent)(theme, part, state);
}

HRESULT DrawThemeParentBackground(HWND window, HDC dc, const RECT *rect) {
    // The parent's painting may leave its own font selected in the DC.
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    HRESULT result = bound<HRESULT(WINAPI *)(HWND, HDC, const RECT *)>(uxDrawThemeParentBackground)(window, dc, rect);
    if (font != nullptr)
        SelectObject(dc, font);
    return result;
}

HRESULT GetThemeColor(HTHEME theme, int part, int state, int property, COLORREF *color) {
    return bound<HRESULT(WINAPI *)(HTHEME, int, int, int, COLORREF *)>(uxGetThemeColor)(theme, part, state, property,
                                                                                        color);
}

BOOL IsThemeActive() { return bound<BOOL(WINAPI *)()>(uxIsThemeActive)(); }

HRESULT GetCurrentThemeName(LPWSTR fileName, int maxFileNameChars, LPWSTR colorName, int maxColorChars,
                            LPWSTR sizeName, int maxSizeChars) {
    return bound<HRESULT(WINAPI *)(LPWSTR, int, LPWSTR, int, LPWSTR, int)>(uxGetCurrentThemeName)(
        fileName, maxFileNameChars, colorName, maxColorChars, sizeName, maxSizeChars);
}

} // namespace zt
