// The editor picture's arithmetic without windows: frames by border style, button places and
// the stretch shares, hiding by transparency, resolved defaults, and the button state table.
#include <gtest/gtest.h>

#include <vector>

#include "kv_edit_view_support.h"
#include "kvEditViewLayout.h"

using namespace editviewtest;

namespace {

TEST(KvEditViewLayout, FrameRectanglesByBorderStyle) {
    const TRect bounds{0, 0, 100, 21};
    struct Row {
        TkvEditBorderStyle style;
        int width;
    } rows[] = {{ebsNone, 0}, {ebsSingle, 1}, {ebsThick, 2}, {ebsFlat, 2}, {ebs3D, 2}, {ebsUltraFlat, 1}, {ebsOffice11, 1}};
    for (const Row &row : rows) {
        TRect extent = KvEditBorderExtent(row.style, false, kvAllBorders, false, false);
        TkvEditFrameRects rects = KvEditFrameRects(bounds, extent, false);
        EXPECT_RECT(rects.ClientRect, row.width, row.width, 100 - row.width, 21 - row.width) << int(row.style);
        EXPECT_RECT(rects.BorderRect, 0, 0, 100, 21);
    }
    // Edges left out take no width; the shadow takes 3 at right and bottom.
    TRect extent = KvEditBorderExtent(ebs3D, false, TkvBorders{bLeft, bBottom}, true, false);
    TkvEditFrameRects rects = KvEditFrameRects(bounds, extent, true);
    EXPECT_RECT(rects.ClientRect, 2, 0, 97, 16);
    EXPECT_RECT(rects.BorderRect, 0, 0, 97, 18);
    // A transparent border keeps two pixels whatever the style; the theme too.
    EXPECT_RECT(KvEditBorderExtent(ebsSingle, true, kvAllBorders, false, false), 2, 2, 2, 2);
    EXPECT_RECT(KvEditBorderExtent(ebsNone, true, kvAllBorders, false, false), 2, 2, 2, 2);
    EXPECT_RECT(KvEditBorderExtent(ebsSingle, false, kvAllBorders, false, true), 2, 2, 2, 2);
    // Too small for its frame: an empty client, not an inverted one.
    TkvEditFrameRects tiny = KvEditFrameRects(TRect{0, 0, 3, 3}, TRect{2, 2, 2, 2}, false);
    EXPECT_RECT(tiny.ClientRect, 2, 2, 2, 2);

    EXPECT_EQ(KvEditBorderStyleInForce(ebs3D, true, false), ebsNone) << "in place";
    EXPECT_EQ(KvEditBorderStyleInForce(ebsUltraFlat, false, true), ebsSingle);
    EXPECT_EQ(KvEditBorderStyleInForce(ebsOffice11, false, true), ebsSingle);
    EXPECT_EQ(KvEditBorderStyleInForce(ebsOffice11, false, false), ebsOffice11);
    EXPECT_EQ(KvEditBorderStyleInForce(ebs3D, false, true), ebs3D);
}

TEST(KvEditViewLayout, BorderColourLightsUpOnlyForTheFlatFrames) {
    EXPECT_EQ(KvEditBorderColor(ebsUltraFlat, clBtnShadow, true, false, false, false, clHighlight), clHighlight);
    EXPECT_EQ(KvEditBorderColor(ebsOffice11, clBtnShadow, false, true, true, false, clNavy), clNavy);
    EXPECT_EQ(KvEditBorderColor(ebsOffice11, clBtnShadow, false, true, false, false, clNavy), clBtnShadow)
        << "hot without hot tracking";
    EXPECT_EQ(KvEditBorderColor(ebsUltraFlat, clRed, false, false, false, true, clNavy), clNavy) << "selected";
    EXPECT_EQ(KvEditBorderColor(ebs3D, clRed, true, true, true, true, clNavy), clRed);
}

TEST(KvEditViewLayout, ButtonsStandInCollectionOrderOnTheirSides) {
    const TRect client{2, 2, 98, 19};
    std::vector<TkvEditButtonPlacement> buttons{{15, false, true}, {10, true, true}, {16, false, true}, {12, true, true}};
    std::vector<TkvEditButtonPlace> places;
    TRect rest = KvPlaceEditButtons(client, buttons, false, places);
    ASSERT_EQ(places.size(), 4u);
    EXPECT_RECT(places[0].Bounds, 83, 2, 98, 19) << "the first right button is the rightmost";
    EXPECT_RECT(places[2].Bounds, 67, 2, 83, 19);
    EXPECT_RECT(places[1].Bounds, 2, 2, 12, 19) << "the first left button is the leftmost";
    EXPECT_RECT(places[3].Bounds, 12, 2, 24, 19);
    EXPECT_RECT(rest, 24, 2, 67, 19);
    EXPECT_TRUE(places[0].Outermost);
    EXPECT_TRUE(places[1].Outermost);
    EXPECT_FALSE(places[2].Outermost);
    EXPECT_FALSE(places[3].Outermost);

    // Wider than the client: nothing is inverted.
    std::vector<TkvEditButtonPlacement> wide{{60, false, true}, {60, true, true}};
    rest = KvPlaceEditButtons(TRect{0, 0, 100, 20}, wide, false, places);
    EXPECT_GE(rest.right, rest.left);
    EXPECT_TRUE(KvPlaceEditButtons(TRect{0, 0, 50, 20}, {}, true, places).right == 50);
    EXPECT_TRUE(places.empty());
}

TEST(KvEditViewLayout, StretchSharesTheSpareWidthAndTheFirstTakesTheRest) {
    std::vector<TkvEditButtonPlace> places;
    // 100 - (10 + 20 + 30) = 40 spare: the last gets 30 * 40 / 60 = 20, the second 20 * 40 / 60 = 13,
    // the first the rest, 7.
    std::vector<TkvEditButtonPlacement> buttons{{10, false, true}, {20, false, true}, {30, false, true}};
    TRect rest = KvPlaceEditButtons(TRect{0, 0, 100, 20}, buttons, true, places);
    EXPECT_EQ(places[0].Width, 17);
    EXPECT_EQ(places[1].Width, 33);
    EXPECT_EQ(places[2].Width, 50);
    EXPECT_RECT(places[0].Bounds, 83, 0, 100, 20);
    EXPECT_RECT(places[1].Bounds, 50, 0, 83, 20) << "neighbours shift to make room";
    EXPECT_RECT(places[2].Bounds, 0, 0, 50, 20);
    EXPECT_EQ(rest.right - rest.left, 0);

    // Only the stretchable ones receive.
    buttons = {{10, false, false}, {20, false, true}, {30, true, true}};
    KvPlaceEditButtons(TRect{0, 0, 100, 20}, buttons, true, places);
    EXPECT_EQ(places[0].Width, 10);
    EXPECT_EQ(places[1].Width, 20 + 40 - 30 * 40 / 50);
    EXPECT_EQ(places[2].Width, 30 + 30 * 40 / 50);
    EXPECT_RECT(places[2].Bounds, 0, 0, 54, 20);

    // None stretchable: all receive. Without stretch nothing changes.
    buttons = {{10, false, false}, {10, false, false}};
    KvPlaceEditButtons(TRect{0, 0, 41, 20}, buttons, true, places);
    EXPECT_EQ(places[0].Width, 21);
    EXPECT_EQ(places[1].Width, 20);
    KvPlaceEditButtons(TRect{0, 0, 41, 20}, buttons, false, places);
    EXPECT_EQ(places[0].Width, 10);
}

TEST(KvEditViewLayout, StretchOfButtonsWithoutWidthSharesEqually) {
    std::vector<TkvEditButtonPlace> places;
    std::vector<TkvEditButtonPlacement> buttons{{0, false, true}, {0, false, true}, {0, true, true}};
    TRect rest = KvPlaceEditButtons(TRect{0, 0, 100, 20}, buttons, true, places);
    EXPECT_EQ(places[0].Width, 34);
    EXPECT_EQ(places[1].Width, 33);
    EXPECT_EQ(places[2].Width, 33);
    EXPECT_EQ(rest.right - rest.left, 0);
}

TEST(KvEditViewLayout, ButtonsHideByTransparencyAndDefaultsResolve) {
    EXPECT_TRUE(KvEditButtonsHidden(0, ebtNone, true, true));
    EXPECT_FALSE(KvEditButtonsHidden(1, ebtNone, false, false));
    EXPECT_TRUE(KvEditButtonsHidden(1, ebtHideInactive, false, true));
    EXPECT_FALSE(KvEditButtonsHidden(1, ebtHideInactive, true, false));
    EXPECT_TRUE(KvEditButtonsHidden(1, ebtHideUnselected, false, false));
    EXPECT_FALSE(KvEditButtonsHidden(1, ebtHideUnselected, false, true));
    EXPECT_FALSE(KvEditButtonsHidden(2, ebtInactive, false, false));

    EXPECT_EQ(KvResolveButtonStyle(btsHotFlat, false, ebs3D, lfFlat), btsHotFlat);
    EXPECT_EQ(KvResolveButtonStyle(btsDefault, false, ebs3D, lfFlat), bts3D);
    EXPECT_EQ(KvResolveButtonStyle(btsDefault, false, ebsOffice11, lfFlat), btsOffice11);
    EXPECT_EQ(KvResolveButtonStyle(btsDefault, false, ebsNone, lfFlat), btsSimple);
    EXPECT_EQ(KvResolveButtonStyle(btsDefault, true, ebsNone, lfStandard), bts3D) << "in place: the look and feel";
    EXPECT_EQ(KvResolveButtonStyle(btsDefault, true, ebsNone, lfUltraFlat), btsUltraFlat);
    EXPECT_EQ(KvResolvePopupBorderStyle(epbsFlat, false, ebs3D, lfStandard), epbsFlat);
    EXPECT_EQ(KvResolvePopupBorderStyle(epbsDefault, false, ebs3D, lfFlat), epbsFrame3D);
    EXPECT_EQ(KvResolvePopupBorderStyle(epbsDefault, true, ebs3D, lfFlat), epbsFlat);
}

TEST(KvEditViewLayout, ButtonStateTable) {
    struct Row {
        const char *what;
        TkvEditButtonStateInput in;
        TkvEditButtonViewState state;
        bool held;
    };
    auto over = [](auto change) {
        TkvEditButtonStateInput in;
        in.MouseOver = true;
        change(in);
        return in;
    };
    const Row rows[] = {
        {"editor disabled", over([](auto &in) { in.EditorEnabled = false; }), ebvsDisabled, false},
        {"button disabled", over([](auto &in) { in.ButtonEnabled = false; in.LeftPress = true; }), ebvsDisabled, false},
        {"mouse elsewhere", TkvEditButtonStateInput{}, ebvsNormal, false},
        {"over, nothing down", over([](auto &) {}), ebvsHot, false},
        {"left press", over([](auto &in) { in.LeftPress = in.LeftDown = in.AnyButtonOrShiftDown = true; }),
         ebvsPressed, true},
        {"left press, pressing not allowed",
         over([](auto &in) { in.LeftPress = in.LeftDown = in.AnyButtonOrShiftDown = true; in.AllowsPressing = false; }),
         ebvsNormal, true},
        {"still held after the press",
         over([](auto &in) { in.LeftDown = in.AnyButtonOrShiftDown = in.WasPressed = true; }), ebvsPressed, true},
        {"moved back over while captured",
         over([](auto &in) { in.LeftDown = in.AnyButtonOrShiftDown = in.WasNormal = in.HoldsCapture = true; }),
         ebvsPressed, true},
        {"left down that began elsewhere",
         over([](auto &in) { in.LeftDown = in.AnyButtonOrShiftDown = in.WasNormal = true; }), ebvsNormal, false},
        {"shift held", over([](auto &in) { in.AnyButtonOrShiftDown = true; }), ebvsNormal, false},
        {"keyboard spin", [] { TkvEditButtonStateInput in; in.PressedByKeyboard = true; return in; }(), ebvsPressed,
         true},
    };
    for (const Row &row : rows) {
        TkvEditButtonStateResult result = KvEditButtonState(row.in);
        EXPECT_EQ(result.State, row.state) << row.what;
        EXPECT_EQ(result.Held, row.held) << row.what;
    }
}

} // namespace
