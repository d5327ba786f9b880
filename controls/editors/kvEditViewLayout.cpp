// The arithmetic of an editor's picture: frame, border colour, button places and states.
#include <algorithm>

#include "kvEditViewLayout.h"

namespace {

constexpr int transparentBand = 2;
constexpr int themedBand = 2;
constexpr int shadowWidth = 3;

int borderWidth(TkvEditBorderStyle style) noexcept {
    return ContainerBorderWidth(static_cast<TkvContainerBorderStyle>(style));
}

bool isFlatFrame(TkvEditBorderStyle style) noexcept { return style == ebsUltraFlat || style == ebsOffice11; }

} // namespace

TkvEditBorderStyle KvEditBorderStyleInForce(TkvEditBorderStyle style, bool inPlace, bool nativeStyle) noexcept {
    if (inPlace)
        return ebsNone;
    if (nativeStyle && isFlatFrame(style))
        return ebsSingle;
    return style;
}

TRect KvEditBorderExtent(TkvEditBorderStyle inForce, bool transparentBorder, TkvBorders edges, bool shadow,
                         bool nativeStyle) noexcept {
    TRect extent{};
    if (transparentBorder) {
        extent = TRect{transparentBand, transparentBand, transparentBand, transparentBand};
    } else if (inForce == ebsNone) {
        extent = TRect{};
    } else if (nativeStyle) {
        extent = TRect{themedBand, themedBand, themedBand, themedBand};
    } else {
        int width = borderWidth(inForce);
        extent = TRect{edges.Contains(bLeft) ? width : 0, edges.Contains(bTop) ? width : 0,
                       edges.Contains(bRight) ? width : 0, edges.Contains(bBottom) ? width : 0};
    }
    if (shadow && !nativeStyle) {
        extent.right += shadowWidth;
        extent.bottom += shadowWidth;
    }
    return extent;
}

TkvEditFrameRects KvEditFrameRects(const TRect &bounds, const TRect &extent, bool shadow) noexcept {
    TkvEditFrameRects rects;
    rects.Bounds = bounds;
    rects.BorderRect = bounds;
    if (shadow) {
        rects.BorderRect.right -= shadowWidth;
        rects.BorderRect.bottom -= shadowWidth;
    }
    rects.ClientRect = TRect{bounds.left + extent.left, bounds.top + extent.top, bounds.right - extent.right,
                             bounds.bottom - extent.bottom};
    // A control smaller than its frame has an empty client, not an inverted one.
    rects.ClientRect.right = std::max(rects.ClientRect.right, rects.ClientRect.left);
    rects.ClientRect.bottom = std::max(rects.ClientRect.bottom, rects.ClientRect.top);
    return rects;
}

TColor KvEditBorderColor(TkvEditBorderStyle inForce, TColor styleColor, bool focused, bool hot, bool hotTrack,
                         bool selected, TColor highlightColor) noexcept {
    if (!isFlatFrame(inForce))
        return styleColor;
    if (focused || (hot && hotTrack) || selected)
        return highlightColor;
    return styleColor;
}

TkvEditButtonStyle KvResolveButtonStyle(TkvEditButtonStyle style, bool inPlace, TkvEditBorderStyle border,
                                        TkvLookAndFeelKind kind) noexcept {
    if (style != btsDefault)
        return style;
    if (inPlace) {
        switch (kind) {
        case lfStandard:
            return bts3D;
        case lfFlat:
            return btsFlat;
        case lfOffice11:
            return btsOffice11;
        default:
            return btsUltraFlat;
        }
    }
    switch (border) {
    case ebsNone:
        return btsSimple;
    case ebsSingle:
    case ebsFlat:
        return btsFlat;
    case ebsUltraFlat:
        return btsUltraFlat;
    case ebsOffice11:
        return btsOffice11;
    default:
        return bts3D;
    }
}

TkvEditPopupBorderStyle KvResolvePopupBorderStyle(TkvEditPopupBorderStyle style, bool inPlace,
                                                  TkvEditBorderStyle border, TkvLookAndFeelKind kind) noexcept {
    if (style != epbsDefault)
        return style;
    if (inPlace)
        return kind == lfStandard ? epbsFrame3D : kind == lfFlat ? epbsFlat : epbsSingle;
    switch (border) {
    case ebsNone:
    case ebsSingle:
    case ebsUltraFlat:
    case ebsOffice11:
        return epbsSingle;
    case ebsFlat:
        return epbsFlat;
    default:
        return epbsFrame3D;
    }
}

bool KvEditButtonsHidden(int visibleCount, TkvEditButtonTransparency transparency, bool focused, bool hot) noexcept {
    if (visibleCount <= 0)
        return true;
    if (transparency == ebtHideInactive && !focused)
        return true;
    return transparency == ebtHideUnselected && !focused && !hot;
}

TRect KvPlaceEditButtons(const TRect &client, const std::vector<TkvEditButtonPlacement> &buttons, bool stretch,
                         std::vector<TkvEditButtonPlace> &places) {
    const std::size_t count = buttons.size();
    places.assign(count, TkvEditButtonPlace{});
    std::vector<int> widths(count);
    long long needed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        widths[i] = std::max(buttons[i].Width, 0);
        needed += widths[i];
    }

    const long long available = static_cast<long long>(client.right) - client.left;
    if (stretch && count > 0 && available > needed) {
        bool anyStretchable = std::any_of(buttons.begin(), buttons.end(), [](const auto &b) { return b.Stretchable; });
        std::vector<std::size_t> receivers;
        long long receiverWidth = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (!anyStretchable || buttons[i].Stretchable) {
                receivers.push_back(i);
                receiverWidth += widths[i];
            }
        long long extra = available - needed;
        long long left = extra;
        // From the last receiver back: a share in proportion to its width; the first takes the rest.
        for (std::size_t k = receivers.size(); k-- > 1;) {
            long long share = receiverWidth > 0 ? widths[receivers[k]] * extra / receiverWidth
                                                : extra / static_cast<long long>(receivers.size());
            widths[receivers[k]] += static_cast<int>(share);
            left -= share;
        }
        widths[receivers.front()] += static_cast<int>(left);
    }

    int leftEdge = client.left;
    int rightEdge = client.right;
    int outerLeft = -1;
    int outerRight = -1;
    for (std::size_t i = 0; i < count; ++i) {
        TkvEditButtonPlace &place = places[i];
        place.Width = widths[i];
        place.LeftAlignment = buttons[i].LeftAlignment;
        if (place.LeftAlignment) {
            place.Bounds = TRect{leftEdge, client.top, leftEdge + widths[i], client.bottom};
            leftEdge += widths[i];
            if (outerLeft < 0)
                outerLeft = static_cast<int>(i);
        } else {
            place.Bounds = TRect{rightEdge - widths[i], client.top, rightEdge, client.bottom};
            rightEdge -= widths[i];
            if (outerRight < 0)
                outerRight = static_cast<int>(i);
        }
    }
    if (outerLeft >= 0)
        places[static_cast<std::size_t>(outerLeft)].Outermost = true;
    if (outerRight >= 0)
        places[static_cast<std::size_t>(outerRight)].Outermost = true;
    TRect rest{leftEdge, client.top, std::max(leftEdge, rightEdge), client.bottom};
    return rest;
}

TkvEditButtonStateResult KvEditButtonState(const TkvEditButtonStateInput &in) noexcept {
    TkvEditButtonStateResult result;
    if (!in.EditorEnabled || !in.ButtonEnabled) {
        result.State = ebvsDisabled;
        return result;
    }
    if (!in.PressedByKeyboard && !in.MouseOver) {
        result.State = ebvsNormal;
        return result;
    }
    const bool captured = !in.LeftPress && in.LeftDown && in.WasNormal && in.HoldsCapture;
    result.Held = in.PressedByKeyboard || in.LeftPress || (in.WasPressed && in.LeftDown) || captured;
    if (in.PressedByKeyboard || in.AnyButtonOrShiftDown || captured) {
        bool pressed = in.PressedByKeyboard || (in.AllowsPressing && (captured || in.LeftPress)) ||
                       (in.LeftDown && in.WasPressed);
        result.State = pressed ? ebvsPressed : ebvsNormal;
        return result;
    }
    result.State = ebvsHot;
    return result;
}
