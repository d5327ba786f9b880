// ztUxTheme: the system's visual-styles library, bound at run time.
//
// The library is loaded only on Windows 5.1 and later; its entry points are looked up by name
// and stay null where it lacks them. The wrappers in namespace zt have the arguments and
// results of the system functions of the same names and call the bound entry point unchecked:
// callers use them only after the theme manager said themes are available.
#ifndef ZT_UX_THEME_H
#define ZT_UX_THEME_H

#include <windows.h>

#include <uxtheme.h>

#include <string_view>

#include <classlib/units.h>

// Loads "UxTheme.dll" (on 5.1 and later) and binds its entry points; InitCommonControls always.
extern TUnit ztUxThemeUnit;

// The entry points, in the order they are bound.
enum TztUxThemeEntry : int {
    uxCloseThemeData, uxDrawThemeBackground, uxDrawThemeEdge, uxDrawThemeIcon, uxDrawThemeParentBackground,
    uxDrawThemeText, uxEnableThemeDialogTexture, uxGetCurrentThemeName, uxGetThemeAppProperties,
    uxGetThemeBackgroundContentRect, uxGetThemeBackgroundRegion, uxGetThemeBackgroundExtent, uxGetThemeBool,
    uxGetThemeColor, uxGetThemeDocumentationProperty, uxGetThemeEnumValue, uxGetThemeFilename, uxGetThemeFont,
    uxGetThemeInt, uxGetThemeIntList, uxGetThemeMargins, uxGetThemeMetric, uxGetThemePartSize,
    uxGetThemePosition, uxGetThemePropertyOrigin, uxGetThemeRect, uxGetThemeString, uxGetThemeSysBool,
    uxGetThemeSysColor, uxGetThemeSysColorBrush, uxGetThemeSysFont, uxGetThemeSysInt, uxGetThemeSysSize,
    uxGetThemeSysString, uxGetThemeTextExtent, uxGetThemeTextMetrics, uxGetWindowTheme, uxHitTestThemeBackground,
    uxIsAppThemed, uxIsThemeActive, uxIsThemePartDefined, uxIsThemeBackgroundPartiallyTransparent,
    uxIsThemeDialogTextureEnabled, uxOpenThemeData, uxSetThemeAppProperties, uxSetWindowTheme,
    uxEntryCount
};

// The exported name of an entry point (null outside the range).
const char *UxThemeEntryName(int entry) noexcept;
// The bound address, null when the library is not loaded or lacks it.
FARPROC UxThemeEntry(int entry) noexcept;
// Whether the library handle is set.
bool ThemeLibraryLoaded() noexcept;
// Whether a Windows version has the visual-styles library: 5.1 (XP) and later.
bool HasThemeLibrary(DWORD major, DWORD minor) noexcept;

namespace zt {

HTHEME OpenThemeData(HWND window, LPCWSTR classList);
HRESULT CloseThemeData(HTHEME theme);
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT *rect, const RECT *clip);
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT &rect);
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT &rect, const RECT &clip);
HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int length, DWORD flags,
                      DWORD flags2, const RECT *rect);
// The 8-bit text is converted from the ANSI code page first.
HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, std::string_view text, DWORD flags, DWORD flags2,
                      const RECT *rect);
HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT *bounds, RECT *content);
HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT &bounds, RECT &content);
HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, const RECT *rect, THEMESIZE size, SIZE *result);
HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, THEMESIZE size, SIZE *result);
HRESULT GetThemeBackgroundRegion(HTHEME theme, HDC dc, int part, int state, const RECT *rect, HRGN *region);
HRESULT DrawThemeEdge(HTHEME theme, HDC dc, int part, int state, const RECT *destRect, UINT edge, UINT flags,
                      RECT *contentRect);
BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state);
// The font selected in the DC before the call is selected again afterwards.
HRESULT DrawThemeParentBackground(HWND window, HDC dc, const RECT *rect);
HRESULT GetThemeColor(HTHEME theme, int part, int state, int property, COLORREF *color);
BOOL IsThemeActive();
HRESULT GetCurrentThemeName(LPWSTR fileName, int maxFileNameChars, LPWSTR colorName, int maxColorChars,
                            LPWSTR sizeName, int maxSizeChars);

} // namespace zt

#endif
