// Colours, fonts, brushes, pens, canvases and bitmaps.
//
// Stands in for the graphics unit of the compiler's visual class library. A font, brush or pen
// keeps its properties and makes its platform handle on first use; changing a property drops
// the handle (after telling its users through OnChange, so that a canvas deselects it first).
// A canvas selects its font, pen and brush into its device context lazily, as each drawing
// operation needs them; a canvas whose context comes and goes (a window's, a bitmap's memory
// context) makes it in the virtual CreateHandle. Bitmaps are 32-bit device-independent sections
// (1-bit when monochrome), so what is drawn into them reads back exactly.
#ifndef CLASSLIB_GRAPHICS_H
#define CLASSLIB_GRAPHICS_H

#include <cstdint>
#include <string>

#include <windows.h>

#include "events.h"
#include "exceptions.h"
#include "geometry.h"
#include "persistent.h"
#include "sets.h"

CL_EXCEPTION_CLASS(EOutOfResources, Exception)
CL_EXCEPTION_CLASS(EInvalidGraphic, Exception)

// Colours: an RGB value (COLORREF), or 0xFF000000 | index of a system colour.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor SystemColor(int index) { return static_cast<TColor>(0xFF000000u | static_cast<unsigned>(index)); }
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
constexpr TColor clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION);
constexpr TColor clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION);
constexpr TColor clMenuHighlight = SystemColor(COLOR_MENUHILIGHT);
constexpr TColor clMenuBar = SystemColor(COLOR_MENUBAR);

// The RGB value of a colour; system colours through GetSysColor.
COLORREF ColorToRGB(TColor color);

// The header of a 32-bit top-down device-independent bitmap (BI_RGB), for reading and writing pixels.
BITMAPINFO TopDownDIBInfo(int width, int height);

// Logical pixels per inch of the screen (vertical), read once.
int ScreenPixelsPerInch();

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

enum TBrushStyle : std::uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

enum TPenStyle : std::uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// The binary raster operations, in the platform's order (R2_BLACK + value).
enum TPenMode : std::uint8_t {
    pmBlack,
    pmNotMerge,
    pmMaskNotPen,
    pmNotCopy,
    pmMaskPenNot,
    pmNot,
    pmXor,
    pmNotMask,
    pmMask,
    pmNotXor,
    pmNop,
    pmMergeNotPen,
    pmCopy,
    pmMergePenNot,
    pmMerge,
    pmWhite
};

// Ternary raster operations for copying between canvases.
using TCopyMode = DWORD;
constexpr TCopyMode cmBlackness = BLACKNESS;
constexpr TCopyMode cmDstInvert = DSTINVERT;
constexpr TCopyMode cmMergeCopy = MERGECOPY;
constexpr TCopyMode cmMergePaint = MERGEPAINT;
constexpr TCopyMode cmNotSrcCopy = NOTSRCCOPY;
constexpr TCopyMode cmNotSrcErase = NOTSRCERASE;
constexpr TCopyMode cmPatCopy = PATCOPY;
constexpr TCopyMode cmPatInvert = PATINVERT;
constexpr TCopyMode cmPatPaint = PATPAINT;
constexpr TCopyMode cmSrcAnd = SRCAND;
constexpr TCopyMode cmSrcCopy = SRCCOPY;
constexpr TCopyMode cmSrcErase = SRCERASE;
constexpr TCopyMode cmSrcInvert = SRCINVERT;
constexpr TCopyMode cmSrcPaint = SRCPAINT;
constexpr TCopyMode cmWhiteness = WHITENESS;

class TBitmap;
class TCanvas;

// A font, brush or pen: properties, a handle made on demand, and a change event.
class TGraphicsObject : public TPersistent {
    CL_CLASS(TGraphicsObject, TPersistent)

public:
    TNotifyEvent OnChange;

protected:
    virtual void Changed();
};

class TFont : public TGraphicsObject {
    CL_CLASS(TFont, TGraphicsObject)

public:
    // The default font: "MS Sans Serif", 8 points, clWindowText.
    void Create();

    // Made on first use; owned by the font.
    HFONT GetHandle();
    // Adopts the handle (the font deletes it) and takes its properties from it.
    void SetHandle(HFONT handle);
    const std::wstring &GetName() const noexcept { return name_; }
    void SetName(const std::wstring &name);
    // Negative: the character height in pixels; positive: the cell height.
    int GetHeight() const noexcept { return height_; }
    void SetHeight(int height);
    // Points, through the screen's pixels per inch.
    int GetSize() const;
    void SetSize(int size);
    TFontStyles GetStyle() const noexcept { return style_; }
    void SetStyle(TFontStyles style);
    TColor GetColor() const noexcept { return color_; }
    void SetColor(TColor color);
    BYTE GetCharset() const noexcept { return charset_; }
    void SetCharset(BYTE charset);

    void Assign(TPersistent *source) override;

protected:
    void Destroy() override;

private:
    void propertyChanged();

    HFONT handle_ = nullptr;
    std::wstring name_;
    int height_ = 0;
    TFontStyles style_;
    TColor color_ = clWindowText;
    BYTE charset_ = DEFAULT_CHARSET;
};

class TBrush : public TGraphicsObject {
    CL_CLASS(TBrush, TGraphicsObject)

public:
    // A solid white brush.
    void Create();

    // Made on first use; owned by the brush. bsClear gives the null brush.
    HBRUSH GetHandle();
    TColor GetColor() const noexcept { return color_; }
    // Setting a colour turns a clear brush solid.
    void SetColor(TColor color);
    TBrushStyle GetStyle() const noexcept { return style_; }
    void SetStyle(TBrushStyle style);
    // A pattern brush of the bitmap (not owned; it must outlive the brush's use of it).
    TBitmap *GetBitmap() const noexcept { return bitmap_; }
    void SetBitmap(TBitmap *bitmap);

    void Assign(TPersistent *source) override;

protected:
    void Destroy() override;

private:
    void propertyChanged();

    HBRUSH handle_ = nullptr;
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    TBitmap *bitmap_ = nullptr;
};

class TPen : public TGraphicsObject {
    CL_CLASS(TPen, TGraphicsObject)

public:
    // A solid black pen one pixel wide, mode pmCopy.
    void Create();

    // Made on first use; owned by the pen.
    HPEN GetHandle();
    TColor GetColor() const noexcept { return color_; }
    void SetColor(TColor color);
    int GetWidth() const noexcept { return width_; }
    void SetWidth(int width);
    TPenStyle GetStyle() const noexcept { return style_; }
    void SetStyle(TPenStyle style);
    TPenMode GetMode() const noexcept { return mode_; }
    void SetMode(TPenMode mode);

    void Assign(TPersistent *source) override;

protected:
    void Destroy() override;

private:
    void propertyChanged();

    HPEN handle_ = nullptr;
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

// What a canvas has made ready in its device context.
enum TCanvasStateFlag : std::uint8_t { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = TSet<TCanvasStateFlag>;

// An abstract picture: a size and a way to draw itself into a canvas rectangle.
class TGraphic : public TPersistent {
    CL_CLASS(TGraphic, TPersistent)

public:
    TNotifyEvent OnChange;

    virtual int GetWidth() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual int GetHeight() const = 0;
    virtual void SetHeight(int height) = 0;
    virtual bool Empty() const = 0;
    bool GetTransparent() const noexcept { return transparent_; }
    virtual void SetTransparent(bool value);

    // Draws the picture stretched to the rectangle of the canvas.
    virtual void Draw(TCanvas *canvas, const TRect &rect) = 0;

protected:
    virtual void Changed();

private:
    bool transparent_ = false;
};

class TCanvas : public TPersistent {
    CL_CLASS(TCanvas, TPersistent)

public:
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    void Create();

    // The device context, made through CreateHandle when there is none; raises
    // EInvalidOperation when none can be made.
    HDC GetHandle();
    // Deselects the font, pen and brush from the old context; they are selected into the new
    // one as drawing needs them. The canvas neither makes nor releases the context itself.
    void SetHandle(HDC handle);
    bool HandleAllocated() const noexcept { return handle_ != nullptr; }
    // Makes the context and selects what is asked into it.
    void RequiredState(TCanvasState state);

    TFont *GetFont() const noexcept { return font_; }
    // Copies the font's properties.
    void SetFont(TFont *font);
    TBrush *GetBrush() const noexcept { return brush_; }
    void SetBrush(TBrush *brush);
    TPen *GetPen() const noexcept { return pen_; }
    void SetPen(TPen *pen);
    TCopyMode GetCopyMode() const noexcept { return copyMode_; }
    void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }
    TPoint GetPenPos();
    void SetPenPos(TPoint pos);

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect &rect);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect &rect);
    void Polygon(const TPoint *points, int count);
    void Polyline(const TPoint *points, int count);
    // Fills with the brush (nothing for a clear brush).
    void FillRect(const TRect &rect);
    // A one-pixel frame in the brush.
    void FrameRect(const TRect &rect);
    void DrawFocusRect(const TRect &rect);
    void Draw(int x, int y, TGraphic *graphic);
    void StretchDraw(const TRect &rect, TGraphic *graphic);
    // Stretches the source rectangle of another canvas onto the destination with the copy mode.
    void CopyRect(const TRect &dest, TCanvas *canvas, const TRect &source);
    // The text at the point; the pen moves to its end.
    void TextOut(int x, int y, const std::wstring &text);
    // The text at the point, clipped to the rectangle, which is filled first unless the brush
    // is clear.
    void TextRect(const TRect &rect, int x, int y, const std::wstring &text);
    TSize TextExtent(const std::wstring &text);
    int TextWidth(const std::wstring &text);
    int TextHeight(const std::wstring &text);
    TColor GetPixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    // The bounds of the clip region in logical coordinates.
    TRect GetClipRect();

    void Lock() noexcept { ++lockCount_; }
    void Unlock() noexcept { --lockCount_; }
    int LockCount() const noexcept { return lockCount_; }
    // Deselects font, pen and brush: the next drawing selects them afresh.
    void Refresh();

protected:
    void Destroy() override;
    // Makes a device context (SetHandle) when the canvas has none; the base makes none.
    virtual void CreateHandle() {}
    virtual void Changing();
    virtual void Changed();

private:
    void deselectHandles();
    void selectFont();
    void selectPen();
    void selectBrush();
    void fontChanged(TObject *sender);
    void penChanged(TObject *sender);
    void brushChanged(TObject *sender);

    HDC handle_ = nullptr;
    TCanvasState state_;
    TFont *font_ = nullptr;
    TPen *pen_ = nullptr;
    TBrush *brush_ = nullptr;
    TCopyMode copyMode_ = cmSrcCopy;
    int lockCount_ = 0;
};

class TBitmapCanvas;

// Whether a bitmap's transparent colour was set (fixed) or is taken from its pixels (auto).
enum TTransparentMode : std::uint8_t { tmAuto, tmFixed };

// A bitmap: 32 bits a pixel, or 1 when monochrome; its canvas draws into it.
class TBitmap : public TGraphic {
    CL_CLASS(TBitmap, TGraphic)

public:
    int GetWidth() const override { return width_; }
    void SetWidth(int width) override;
    int GetHeight() const override { return height_; }
    void SetHeight(int height) override;
    // Keeps what fits of the old picture; new area is white. A zero size leaves no handle.
    void SetSize(int width, int height);
    bool Empty() const override { return handle_ == nullptr; }

    // A canvas on a memory context with the bitmap selected; owned by the bitmap.
    TCanvas *GetCanvas();
    // The handle, first taken out of the canvas's context so that it may be read and written
    // directly; null for an empty bitmap.
    HBITMAP GetHandle();
    // Adopts the handle (the bitmap deletes it); null empties the bitmap.
    void SetHandle(HBITMAP handle);
    // Gives up the handle without deleting it; the bitmap is empty afterwards.
    HBITMAP ReleaseHandle();
    bool GetMonochrome() const noexcept { return monochrome_; }
    void SetMonochrome(bool value);
    // The colour drawn transparent: the bottom-left pixel (white for monochrome) unless set.
    TColor GetTransparentColor();
    // clDefault returns to the pixel's colour.
    void SetTransparentColor(TColor color);
    TTransparentMode TransparentMode() const noexcept { return transparentColor_ == clDefault ? tmAuto : tmFixed; }
    // Loads a bitmap resource of the module; raises EInvalidGraphic when it is missing.
    void LoadFromResourceName(HINSTANCE instance, const std::wstring &name);

    void Assign(TPersistent *source) override;
    void Draw(TCanvas *canvas, const TRect &rect) override;

protected:
    void Destroy() override;

private:
    friend class TBitmapCanvas;
    HDC canvasContext();
    void freeContext();
    void replaceHandle(HBITMAP handle, int width, int height, bool monochrome);

    HBITMAP handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool monochrome_ = false;
    TColor transparentColor_ = clDefault;
    TBitmapCanvas *canvas_ = nullptr;
};

#endif
