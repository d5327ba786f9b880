// ztOffice11: the Office 2003 colour scheme, its colour arithmetic and gradient fills.
//
// The scheme follows the colour variant of the system's standard visual style (blue, olive,
// silver); without it, or without themes, the scheme colours are derived from the system
// colours. The colours are read as global values after AcquireOffice11Colors and follow theme
// and colour changes only through UpdateOffice11Colors. Everything runs on the UI thread.
#ifndef ZT_OFFICE11_H
#define ZT_OFFICE11_H

#include <windows.h>

#include <cstdint>
#include <string_view>

#include <classlib/geometry.h>
#include <classlib/graphics.h>
#include <classlib/units.h>

// Only counts nesting; needs the theme manager.
extern TUnit ztOffice11Unit;

using TztOffice11Scheme = std::uint8_t;
inline constexpr TztOffice11Scheme schemeNone = 0;
inline constexpr TztOffice11Scheme schemeBlue = 1;
inline constexpr TztOffice11Scheme schemeOlive = 2;
inline constexpr TztOffice11Scheme schemeSilver = 3;

inline constexpr int office11ColorCount = 21;

// The scheme of the current theme: 0 unless themes are usable and the theme file is the
// standard style's.
TztOffice11Scheme GetOffice11Scheme();
// The scheme a theme file path and colour name stand for (both compared upper-cased).
TztOffice11Scheme Office11SchemeOfTheme(std::wstring_view themeFileName, std::wstring_view colorName);
// What the last colour initialisation stored.
TztOffice11Scheme GetCurrentOffice11Scheme() noexcept;
bool IsOffice11Themed() noexcept;

// Scheme colour 1..21 as the last initialisation set it (clNone outside the range).
TColor Office11Color(int number) noexcept;
// The fixed colour 1..21 of a scheme 1..3 (clNone outside the ranges).
TColor Office11SchemeColor(TztOffice11Scheme scheme, int number);

// Per channel channel1 * percent % + channel2 * (100 - percent) %, in 0..255, then the nearest
// screen colour; system colour constants are accepted.
TColor BlendRGBPercent(TColor color1, TColor color2, int percent);
// The nearest colour the screen can show.
TColor NearestRealColor(TColor color);
// Bands from the start to the end colour, left to right when horizontal, else top to bottom;
// at most 256 bands.
void FillGradientRect(HDC dc, const TRect &rect, TColor startColor, TColor endColor, bool horizontal);
void FillRectByColor(HDC dc, const TRect &rect, TColor color);

void AcquireOffice11Colors();
void UpdateOffice11Colors();
// An unbalanced drop does nothing.
void DropOffice11Colors();
int Office11ColorsReferenceCount() noexcept;

// The 11 x 11 expand buttons (while the colours are acquired, else null), and the colours the
// Office11 painter blends into their top-left and other corner pixels.
TBitmap *Office11ExpandButtonBitmap(bool expanded) noexcept;
inline constexpr TColor office11ExpandButtonLightCorner = RGB(158, 174, 191);
inline constexpr TColor office11ExpandButtonDarkCorner = RGB(46, 70, 95);

#endif
