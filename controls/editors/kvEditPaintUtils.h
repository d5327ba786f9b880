// kvEditPaintUtils: the solid brushes and small drawing routines the editors paint with.
//
// One process-wide cache of solid brushes keyed by colour, so that painting never makes and
// deletes a brush per call; system colours answer the system's own brushes. A cached brush
// belongs to the cache: use it for the drawing call at hand and ask again next time, since a
// later request may evict it. Beside the cache: edges, one-pixel polylines, arrows, glyphs drawn
// transparent or embossed, centring, a band fill, the editors' text flags, accelerator marks.
#ifndef KV_EDIT_PAINT_UTILS_H
#define KV_EDIT_PAINT_UTILS_H

#include <windows.h>

#include <classlib/geometry.h>
#include <classlib/graphics.h>
#include <classlib/object.h>
#include <classlib/units.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kvGraphics.h"
#include "kvLookAndFeelPainters.h"

class TkvSystemPaletteChangedNotifier;

// The system brush table and the global brush cache.
extern TUnit kvEditPaintUtilsUnit;

class TkvSolidBrushCache : public TObject {
    CL_CLASS(TkvSolidBrushCache, TObject)

public:
    static constexpr int defaultMaxDepth = 128;

    void Create() { Create(defaultMaxDepth); }
    virtual void Create(int maxDepth);

    // The brush of the colour, made when missing; the least used entry makes room when full.
    HBRUSH GetBrush(TColor color);
    // Deletes every brush; run on each system palette or colour change.
    virtual void Clear();

    int Depth() const noexcept { return depth_; }
    int MaxDepth() const noexcept { return maxDepth_; }
    TColor ColorAt(int index) const { return colors_.at(index); }
    HBRUSH BrushAt(int index) const { return brushes_.at(index); }
    std::int32_t UseCountAt(int index) const { return useCounts_.at(index); }

protected:
    void Destroy() override;
    // For caches that start from known counts.
    void SetUseCount(int index, std::int32_t count) { useCounts_.at(index) = count; }

private:
    // The position of the colour, or where it would go with found false.
    int find(TColor color, bool &found) const;
    void removeAt(int index);

    std::vector<TColor> colors_;
    std::vector<HBRUSH> brushes_;
    std::vector<std::int32_t> useCounts_;
    int depth_ = 0;
    int maxDepth_ = 0;
    TkvSystemPaletteChangedNotifier *notifier_ = nullptr;
};

// The global cache while the unit runs (null otherwise).
TkvSolidBrushCache *SolidBrushCache() noexcept;

// System colours 0..30 answer GetSysColorBrush; every other colour goes through the global cache.
HBRUSH CachedSolidBrush(TColor color);
inline HBRUSH CachedSolidBrush(TCanvas *, TColor color) { return CachedSolidBrush(color); }
inline HBRUSH CachedSolidBrush(TkvCanvas *, TColor color) { return CachedSolidBrush(color); }

// Edge bits of DrawEdges.
inline constexpr int kvEdgeLeft = 1;
inline constexpr int kvEdgeTop = 2;
inline constexpr int kvEdgeRight = 4;
inline constexpr int kvEdgeBottom = 8;
inline constexpr int kvEdgeAll = 15;

// One-pixel lines on the chosen edges of the rectangle as passed in (left, right, top, bottom);
// the rectangle then shrinks by one on each edge drawn.
void DrawEdges(TCanvas *canvas, TRect &rect, int edges, TColor color);
// Points[0..lastIndex]. Without fill a pen polyline; with fill each (horizontal or vertical)
// segment is a one-pixel rectangle of the cached brush. The last point's pixel is set either way.
void DrawPolyline(TCanvas *canvas, const TPoint *points, int lastIndex, bool useFill, TColor color);
// Filled triangles of Size rows, centred in the rectangle; two in a row with isDouble.
void DrawArrows(TCanvas *canvas, int size, const TRect &rect, TColor color, bool pressed, bool isDouble,
                TkvArrowDirection direction);
inline void DrawArrows(TkvCanvas *canvas, int size, const TRect &rect, TColor color, bool pressed, bool isDouble,
                       TkvArrowDirection direction) {
    DrawArrows(canvas->Canvas(), size, rect, color, pressed, isDouble, direction);
}
// The arrow that fits an area of the size: odd width from the smaller side, height width/2 + 1;
// exchanged for left and right.
void GetArrowSize(const TSize &size, TkvArrowDirection direction, int &width, int &height);
// The point that centres the size in the rectangle, moved by one when pressed where room is left.
void CenterInRect(const TRect &rect, const TSize &size, bool pressed, int &x, int &y);
// Copies a bitmap part with its transparent colour replaced by the canvas brush (left untouched
// when the brush is clear).
void BrushCopy(TCanvas *canvas, const TRect &dest, TBitmap *bitmap, const TRect &source, TColor transparentColor);
// An enabled glyph is copied with its transparent colour replaced by the background (clNone:
// left through); a disabled one is drawn embossed. With a buffer the picture is made there first.
void DrawGlyph(TCanvas *canvas, int x, int y, TBitmap *buffer, TColor backgroundColor, bool enabled, TBitmap *glyph);
bool IsGlyphValid(TGraphic *graphic);
// Fills the rectangle except the inner one (four bands), or wholly without an inner rectangle.
void FillRectExceptInner(TCanvas *canvas, const TRect &rect, const TRect &inner, HBRUSH brush);

// The editors' text-output flags (alignment, single line, word break) as library text flags.
TkvTextFlags TextOutFlagsToLibraryTextFlags(std::uint32_t flags);
// Drops each "&" and keeps the character after it; a final "&" becomes "_".
std::wstring RemoveAccelChars(const std::wstring &text);
// True on the Windows versions whose edit borders the editors adjust for (9x minor > 0, NT 5).
bool IsWin9XOrWin2K() noexcept;

// The hook the editors' resource strings pass through (nil: a string is itself).
using TkvResourceTextHook = void (*)(const std::wstring &text, std::wstring &result, void *extra);
void SetResourceTextHook(TkvResourceTextHook hook) noexcept;
TkvResourceTextHook ResourceTextHook() noexcept;
void GetResourceText(const std::wstring &text, std::wstring &result, void *extra = nullptr);

#endif
