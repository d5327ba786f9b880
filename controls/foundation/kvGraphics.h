// kvGraphics: the drawing surface of every painter and control of the library.
//
// TkvCanvas wraps a class-library canvas (not owned) and adds frames on chosen borders, 3-D
// edges, bitmap-tiled fills that can take what they painted out of the clip region, text with
// the library's own text flags (disabled text embossed), text measuring and aligning, clip
// regions with combination, bitmap rotation and the system-colour blends of the flat looks.
// TkvRegion owns a region handle. Everything runs on the user-interface thread.
#ifndef KV_GRAPHICS_H
#define KV_GRAPHICS_H

#include <classlib/geometry.h>
#include <classlib/graphics.h>
#include <classlib/object.h>
#include <classlib/sets.h>
#include <classlib/units.h>

#include <cstdint>
#include <string>

// Holds the checkerboard pattern brush, the system-colour brushes and the AlphaBlend binding.
extern TUnit kvGraphicsUnit;

enum TkvBorder : std::uint8_t { bLeft, bTop, bRight, bBottom };
using TkvBorders = TSet<TkvBorder>;
inline constexpr TkvBorders kvAllBorders{bLeft, bTop, bRight, bBottom};

enum TkvRegionOperation : std::uint8_t { rgnopCopy, rgnopOr, rgnopDiff, rgnopAnd };

// Quarter turns: raPlus90 counter-clockwise, raMinus90 clockwise.
enum TkvRotationAngle : std::uint8_t { raNone, raPlus90, raMinus90, ra180 };

// The library's text flags: independent bits, mapped to DrawText flags by MapLibraryTextFlags.
using TkvTextFlags = std::uint16_t;
inline constexpr TkvTextFlags tfLeft = 0x0001;
inline constexpr TkvTextFlags tfRight = 0x0002;
inline constexpr TkvTextFlags tfCenterH = 0x0004;
inline constexpr TkvTextFlags tfTop = 0x0008;
inline constexpr TkvTextFlags tfBottom = 0x0010;
inline constexpr TkvTextFlags tfCenterV = 0x0020;
inline constexpr TkvTextFlags tfSingleLine = 0x0040;
inline constexpr TkvTextFlags tfNoClip = 0x0080;
inline constexpr TkvTextFlags tfExpandTabs = 0x0100;
inline constexpr TkvTextFlags tfShowPrefix = 0x0200;
inline constexpr TkvTextFlags tfWordBreak = 0x0400;
inline constexpr TkvTextFlags tfEndEllipsis = 0x0800;
inline constexpr TkvTextFlags tfCalcOnly = 0x1000;
inline constexpr TkvTextFlags tfPathEllipsis = 0x2000;
inline constexpr TkvTextFlags tfNoEditControl = 0x4000;

// DrawText flags of library text flags; DT_NOPREFIX unless tfShowPrefix.
UINT MapLibraryTextFlags(TkvTextFlags flags);
// Moves the rectangle's left and top in by the margins' left and top, its right and bottom by
// their right and bottom.
void DeflateRectByMargins(TRect &rect, const TRect &margins);
// The nearest solid colour of the screen.
TColor GetNearestScreenColor(TColor color);
// Per channel: face * p1 % + highlight * p2 % + window * p3 %, clamped to 0..255; the highlight
// colour alone when the face colour is black or white.
TColor BlendSystemColors(std::int8_t p1, std::int8_t p2, std::int8_t p3);
// The nearest screen colours of the blends of pressed and hot flat buttons.
TColor GetPressedBlendColor();
TColor GetHotBlendColor();

// What the unit holds while started (null before and after).
HBRUSH kvPatternBrush() noexcept;
// GetSysColorBrush of the index 0..30; null outside.
HBRUSH kvSystemBrush(int index) noexcept;
using TkvAlphaBlendFunction = BOOL(WINAPI *)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
TkvAlphaBlendFunction kvAlphaBlend() noexcept;

// A region handle, owned.
class TkvRegion : public TObject {
    CL_CLASS(TkvRegion, TObject)

public:
    // The empty rectangle (0, 0, 0, 0).
    void Create();
    // Adopts the handle.
    void Create(HRGN handle);
    void Create(const TRect &rect);
    void Create(int left, int top, int right, int bottom);

    static TkvRegion *CreateFromHandle(HRGN handle) { return New<TkvRegion>(handle); }
    static TkvRegion *CreateFromRect(const TRect &rect) { return New<TkvRegion>(rect); }
    static TkvRegion *CreateFromBounds(int left, int top, int right, int bottom) {
        return New<TkvRegion>(left, top, right, bottom);
    }

    HRGN Handle() const noexcept { return handle_; }
    void DestroyHandle() noexcept;
    // rgnopCopy copies the other region into this one; the rest combine both into this one. The
    // other region is freed when asked (never this one itself).
    void Combine(TkvRegion *region, TkvRegionOperation operation, bool freeRegion = true);
    void Offset(int dx, int dy);
    bool IsEmpty() const;
    bool IsEqual(const TkvRegion *region) const;

protected:
    void Destroy() override;

private:
    HRGN handle_ = nullptr;
};

struct TkvPaintParams {
    TBitmap *Bitmap;
    TColor Color;
    TFont *Font;
    TColor TextColor;
};

// A drawing surface over a canvas (not owned).
class TkvCanvas : public TObject {
    CL_CLASS(TkvCanvas, TObject)

public:
    virtual void Create(TCanvas *canvas);

    TCanvas *Canvas() const noexcept { return canvas_; }
    TBrush *GetBrush() const { return canvas_->GetBrush(); }
    TFont *GetFont() const { return canvas_->GetFont(); }
    TPen *GetPen() const { return canvas_->GetPen(); }
    HDC GetHandle() const { return canvas_->GetHandle(); }
    void SetFont(TFont *font) { canvas_->SetFont(font); }
    // Only a different colour touches the brush.
    void SetBrushColor(TColor color);

    void SetPixel(int x, int y, TColor color) { canvas_->SetPixel(x, y, color); }
    void MoveTo(int x, int y) { canvas_->MoveTo(x, y); }
    void LineTo(int x, int y) { canvas_->LineTo(x, y); }
    void Polygon(const TPoint *points, int count) { canvas_->Polygon(points, count); }
    void Polyline(const TPoint *points, int count) { canvas_->Polyline(points, count); }
    void Draw(int x, int y, TGraphic *graphic) { canvas_->Draw(x, y, graphic); }
    void CopyRect(const TRect &dest, TCanvas *canvas, const TRect &source) { canvas_->CopyRect(dest, canvas, source); }

    TPoint GetWindowOrg() const;
    TPoint GetViewportOrg() const;
    // Viewport origin minus window origin: where logical (0, 0) lies on the device.
    TPoint GetDCOrigin() const;

    // With a bitmap, tiles it at multiples of its size in logical coordinates; with Exclude,
    // takes the rectangle out of the clip region afterwards.
    void FillRect(const TRect &rect, TBitmap *bitmap = nullptr, bool exclude = false);
    // Bands of the width on the chosen borders, in the colour (the brush's own for clDefault).
    void FrameRect(const TRect &rect, TColor color = clDefault, bool exclude = false,
                   TkvBorders borders = kvAllBorders, int width = 1);
    // Left and top in the first colour, right and bottom in the second.
    void DrawTwoColorFrame(const TRect &rect, TColor color1, TColor color2, TkvBorders borders = kvAllBorders,
                           int width = 1);
    void DrawEdge(const TRect &rect, bool sunken, bool outer, TkvBorders borders = kvAllBorders);
    void FrameAndFillRect(const TRect &rect, const TkvPaintParams &params, bool exclude, int frameWidth,
                          TColor frameColor, TkvBorders borders = kvAllBorders);
    void DrawFocusRect(const TRect &rect);
    void InvertRect(const TRect &rect);

    void DrawText(const std::wstring &text, TRect rect, TkvTextFlags flags, bool enabled = true);
    // The rectangle the text needs, aligned inside the size the rectangle had.
    void CalcTextRect(const std::wstring &text, TRect &rect, TkvTextFlags flags);
    TSize TextExtent(const std::wstring &text);
    int TextWidth(const std::wstring &text) { return TextExtent(text).cx; }
    int TextHeight(const std::wstring &text) { return TextExtent(text).cy; }
    // Takes the font and answers the height of "Qq".
    int FontHeight(TFont *font);

    void ExcludeClipRect(const TRect &rect);
    void IntersectClipRect(const TRect &rect);
    // A new region (the caller frees it): the clip region, or (0, 0, 30000, 30000) without
    // one; in logical coordinates when the origin is considered.
    TkvRegion *GetClipRegion(bool considerOrigin = true);
    void SetClipRegion(TkvRegion *region, TkvRegionOperation operation, bool considerOrigin = true,
                       bool freeRegion = true);

    void RotateBitmap(TBitmap *bitmap, TkvRotationAngle rotation, bool flip = false);

private:
    void outputText(const std::wstring &text, TRect rect, bool drawTextPath, UINT format);

    TCanvas *canvas_ = nullptr;
};

// A canvas on the screen's device context, got on first use and released when freed.
class TScreenCanvas : public TCanvas {
    CL_CLASS(TScreenCanvas, TCanvas)

protected:
    void CreateHandle() override;
    void Destroy() override;

private:
    HDC screen_ = nullptr;
};

// A TkvCanvas on its own screen canvas.
class TkvScreenCanvas : public TkvCanvas {
    CL_CLASS(TkvScreenCanvas, TkvCanvas)

public:
    virtual void Create();

protected:
    void Destroy() override;
};

#endif
