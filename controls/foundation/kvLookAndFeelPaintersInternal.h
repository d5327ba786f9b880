// Small drawing helpers the painter files share.
#ifndef KV_LOOK_AND_FEEL_PAINTERS_INTERNAL_H
#define KV_LOOK_AND_FEEL_PAINTERS_INTERNAL_H

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "kvGraphics.h"

namespace kvpainters {

inline bool isEmpty(const TRect &r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

// Moves edges without overflowing whatever the distance.
inline LONG shifted(LONG edge, int distance) noexcept {
    std::int64_t value = static_cast<std::int64_t>(edge) + distance;
    return static_cast<LONG>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

inline TRect deflated(const TRect &r, int dx, int dy) noexcept {
    return TRect{shifted(r.left, dx), shifted(r.top, dy), shifted(r.right, -dx), shifted(r.bottom, -dy)};
}
inline TRect deflated(const TRect &r, int d) noexcept { return deflated(r, d, d); }

inline TRect offsetRect(const TRect &r, int dx, int dy) noexcept {
    return TRect{shifted(r.left, dx), shifted(r.top, dy), shifted(r.right, dx), shifted(r.bottom, dy)};
}

inline int width(const TRect &r) noexcept { return static_cast<int>(std::max<std::int64_t>(0, std::int64_t{r.right} - r.left)); }
inline int height(const TRect &r) noexcept { return static_cast<int>(std::max<std::int64_t>(0, std::int64_t{r.bottom} - r.top)); }

// Left and top bands in the first colour, right and bottom in the second; nothing for an empty
// rectangle, and no band wider than the rectangle.
inline void twoColorFrame(TkvCanvas *canvas, const TRect &r, TColor leftTop, TColor rightBottom,
                          TkvBorders sides = kvAllBorders) {
    if (isEmpty(r))
        return;
    canvas->DrawTwoColorFrame(r, leftTop, rightBottom, sides, 1);
}

inline void frame(TkvCanvas *canvas, const TRect &r, TColor color, TkvBorders sides = kvAllBorders) {
    twoColorFrame(canvas, r, color, color, sides);
}

inline void fill(TkvCanvas *canvas, const TRect &r, TColor color) {
    if (isEmpty(r))
        return;
    canvas->SetBrushColor(color);
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->FillRect(r);
}

// Limits drawing to the rectangle while it lives; the clip region before it comes back after.
class ClipScope {
public:
    ClipScope(TkvCanvas *canvas, const TRect &r) : dc_(canvas->GetHandle()), saved_(CreateRectRgn(0, 0, 0, 0)) {
        had_ = saved_ != nullptr && GetClipRgn(dc_, saved_) == 1;
        IntersectClipRect(dc_, r.left, r.top, r.right, r.bottom);
    }
    ~ClipScope() {
        SelectClipRgn(dc_, had_ ? saved_ : nullptr);
        if (saved_ != nullptr)
            DeleteObject(saved_);
    }
    ClipScope(const ClipScope &) = delete;
    ClipScope &operator=(const ClipScope &) = delete;

private:
    HDC dc_;
    HRGN saved_;
    bool had_ = false;
};

// A filled triangle in one colour (brush and pen), solid brush.
inline void fillTriangle(TkvCanvas *canvas, const TPoint points[3], TColor color) {
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->SetBrushColor(color);
    canvas->GetPen()->SetColor(color);
    canvas->Polygon(points, 3);
}

// The Office 2003 colours the Office11 painter and the Office11 radio glyphs share.
TColor office11ButtonFaceColor(std::uint8_t state);
TColor office11HighlightFrameColor();
TColor office11DisabledColor();

} // namespace kvpainters

#endif
