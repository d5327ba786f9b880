// The Office 2003 scheme colours under the session's real theme state: themes on (Wine's own
// style, not the standard one), themes off, and after system colour changes delivered as
// WM_SYSCOLORCHANGE to a listener window as the look-and-feel unit's listener does.
#include <gtest/gtest.h>

#include <windows.h>

#include <uxtheme.h>

#include <algorithm>
#include <string>

#include <classlib/graphics.h>
#include <classlib/hidden_window.h>

#include "message_pump.h"
#include "system_colors.h"
#include "theme.h"
#include "ztOffice11.h"
#include "ztThemeManager.h"

namespace {

COLORREF nearest(COLORREF color) {
    HDC screen = GetDC(nullptr);
    COLORREF result = GetNearestColor(screen, color);
    ReleaseDC(nullptr, screen);
    return result;
}

int part(COLORREF color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

COLORREF percentBlend(COLORREF a, COLORREF b, int percent) {
    int c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = std::clamp(MulDiv(part(a, i * 8), percent, 100) + MulDiv(part(b, i * 8), 100 - percent, 100), 0, 255);
    return nearest(RGB(c[0], c[1], c[2]));
}

COLORREF systemBlend(int p1, int p2, int p3) {
    COLORREF face = GetSysColor(COLOR_BTNFACE), highlight = GetSysColor(COLOR_HIGHLIGHT),
             window = GetSysColor(COLOR_WINDOW);
    if (face == RGB(0, 0, 0) || face == RGB(255, 255, 255))
        return highlight;
    int c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = std::clamp(MulDiv(part(face, i * 8), p1, 100) + MulDiv(part(highlight, i * 8), p2, 100) +
                              MulDiv(part(window, i * 8), p3, 100),
                          0, 255);
    return RGB(c[0], c[1], c[2]);
}

// Colours 1..21 as a system without a scheme gives them.
void expectSystemDerivedColors() {
    COLORREF face = GetSysColor(COLOR_BTNFACE), window = GetSysColor(COLOR_WINDOW),
             shadow = GetSysColor(COLOR_BTNSHADOW);
    COLORREF expected[office11ColorCount] = {face,
                                             percentBlend(face, window, 20),
                                             percentBlend(face, window, 22),
                                             percentBlend(face, window, 96),
                                             percentBlend(shadow, window, 70),
                                             RGB(255, 255, 255),
                                             shadow,
                                             GetSysColor(COLOR_BTNHIGHLIGHT),
                                             GetSysColor(COLOR_HIGHLIGHT),
                                             nearest(systemBlend(-2, 30, 72)),
                                             nearest(systemBlend(-2, 30, 72)),
                                             nearest(systemBlend(14, 44, 40)),
                                             nearest(systemBlend(14, 44, 40)),
                                             GetSysColor(COLOR_BTNTEXT),
                                             GetSysColor(COLOR_GRAYTEXT),
                                             percentBlend(shadow, face, 50),
                                             shadow,
                                             face,
                                             systemBlend(41, 11, 48),
                                             shadow,
                                             face};
    for (int number = 1; number <= office11ColorCount; ++number)
        EXPECT_EQ(static_cast<COLORREF>(Office11Color(number)), expected[number - 1]) << "colour " << number;
}

std::wstring currentThemeFile() {
    wchar_t file[MAX_PATH] = {}, color[MAX_PATH] = {}, size[MAX_PATH] = {};
    if (FAILED(GetCurrentThemeName(file, MAX_PATH, color, MAX_PATH, size, MAX_PATH)))
        return {};
    std::wstring path = file;
    return path.substr(path.find_last_of(L"\\/") == std::wstring::npos ? 0 : path.find_last_of(L"\\/") + 1);
}

// The scheme units, and the colours held, for one test.
template <class Base> class WithOffice11 : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        if (this->IsSkipped() || this->HasFatalFailure())
            return;
        units_ = new UnitScope{&ztOffice11Unit};
    }
    void TearDown() override {
        while (Office11ColorsReferenceCount() > 0)
            DropOffice11Colors();
        delete units_;
        units_ = nullptr;
        Base::TearDown();
    }

private:
    UnitScope *units_ = nullptr;
};

class Office11ThemeOn : public WithOffice11<ThemeOnTest> {};
class Office11ThemeOff : public WithOffice11<ThemeOffTest> {};
class Office11FixedColors : public WithOffice11<FixedSysColorsTest> {};

TEST_F(Office11ThemeOn, AnotherStyleThanTheStandardOneIsNoScheme) {
    std::wstring file = currentThemeFile();
    ASSERT_FALSE(file.empty());
    if (CharUpperW(file.data()), file == L"LUNA.MSSTYLES")
        GTEST_SKIP() << "the standard style is active";
    EXPECT_TRUE(AreThemesAvailable());
    EXPECT_EQ(GetOffice11Scheme(), schemeNone);
    AcquireOffice11Colors();
    EXPECT_EQ(GetCurrentOffice11Scheme(), schemeNone);
    EXPECT_FALSE(IsOffice11Themed());
    expectSystemDerivedColors();
}

TEST_F(Office11ThemeOff, NoSchemeAndSystemColours) {
    EXPECT_EQ(GetOffice11Scheme(), schemeNone);
    AcquireOffice11Colors();
    EXPECT_EQ(GetCurrentOffice11Scheme(), schemeNone);
    EXPECT_FALSE(IsOffice11Themed());
    expectSystemDerivedColors();
}

TEST_F(Office11FixedColors, ColoursOfTheFixedSystemColoursExactly) {
    AcquireOffice11Colors();
    expectSystemDerivedColors();
    // The fixed colours make every derived value known in advance.
    EXPECT_EQ(Office11Color(1), RGB(192, 192, 192));
    EXPECT_EQ(Office11Color(2), RGB(242, 242, 242));
    EXPECT_EQ(Office11Color(5), RGB(167, 167, 168));
    EXPECT_EQ(Office11Color(9), RGB(0, 0, 160));
    EXPECT_EQ(Office11Color(19), RGB(201, 201, 219));
}

TEST_F(Office11FixedColors, SystemColourChangesReachTheColoursThroughUpdate) {
    AcquireOffice11Colors();
    int updates = 0;
    HWND listener = nullptr;
    listener = AllocateHWnd([&](TMessage &message) {
        if (message.Msg == WM_SYSCOLORCHANGE) {
            ++updates;
            UpdateOffice11Colors();
        }
        DefaultHandler(listener, message);
    });
    ASSERT_NE(listener, nullptr);
    TBitmap *before = Office11ExpandButtonBitmap(true);
    ASSERT_NE(before, nullptr);
    {
        ScopedSysColors changed({{COLOR_BTNFACE, RGB(212, 208, 200)}, {COLOR_HIGHLIGHT, RGB(49, 106, 197)}});
        ASSERT_TRUE(changed.applied());
        EXPECT_TRUE(pumpUntil([&] { return Office11Color(1) == RGB(212, 208, 200); }));
        EXPECT_GE(updates, 1);
        expectSystemDerivedColors();
        EXPECT_EQ(Office11Color(9), RGB(49, 106, 197));
        EXPECT_NE(Office11ExpandButtonBitmap(true), nullptr);
        EXPECT_NE(Office11ExpandButtonBitmap(false), nullptr);

        // A white face takes the highlight colour for the system blends.
        ScopedSysColors white({{COLOR_BTNFACE, RGB(255, 255, 255)}});
        ASSERT_TRUE(white.applied());
        EXPECT_TRUE(pumpUntil([&] { return Office11Color(1) == RGB(255, 255, 255); }));
        EXPECT_EQ(Office11Color(10), RGB(49, 106, 197));
        EXPECT_EQ(Office11Color(12), RGB(49, 106, 197));
        EXPECT_EQ(Office11Color(19), RGB(49, 106, 197));
    }
    EXPECT_TRUE(pumpUntil([&] { return Office11Color(1) == RGB(192, 192, 192); }));
    expectSystemDerivedColors();
    DeallocateHWnd(listener);
}

TEST_F(Office11FixedColors, BitmapsLiveWhileReferenced) {
    EXPECT_EQ(Office11ExpandButtonBitmap(true), nullptr);
    UpdateOffice11Colors();
    EXPECT_EQ(Office11ExpandButtonBitmap(true), nullptr) << "an update without users makes nothing";
    EXPECT_EQ(Office11Color(1), RGB(192, 192, 192)) << "but sets the colours";

    AcquireOffice11Colors();
    AcquireOffice11Colors();
    TBitmap *minus = Office11ExpandButtonBitmap(true);
    TBitmap *plus = Office11ExpandButtonBitmap(false);
    ASSERT_NE(minus, nullptr);
    ASSERT_NE(plus, nullptr);
    EXPECT_EQ(minus->GetWidth(), 11);
    EXPECT_EQ(minus->GetHeight(), 11);
    EXPECT_EQ(plus->GetWidth(), 11);
    // The plus has the vertical stroke the minus lacks.
    EXPECT_EQ(plus->GetCanvas()->GetPixel(5, 3), clBlack);
    EXPECT_NE(minus->GetCanvas()->GetPixel(5, 3), clBlack);
    EXPECT_EQ(minus->GetCanvas()->GetPixel(4, 5), clBlack);
    // They are the program's bitmap resources of those names, pixel for pixel.
    for (bool expanded : {true, false}) {
        const wchar_t *name = expanded ? L"ZTEXPANDBUTTON_MINUS" : L"ZTEXPANDBUTTON_PLUS";
        ASSERT_NE(FindResourceW(GetModuleHandleW(nullptr), name, MAKEINTRESOURCEW(2) /* RT_BITMAP */), nullptr)
            << "resource " << expanded;
        TOwned<TBitmap> resource(New<TBitmap>());
        resource->LoadFromResourceName(GetModuleHandleW(nullptr), name);
        TBitmap *used = Office11ExpandButtonBitmap(expanded);
        ASSERT_EQ(resource->GetWidth(), used->GetWidth());
        ASSERT_EQ(resource->GetHeight(), used->GetHeight());
        int different = 0;
        for (int y = 0; y < used->GetHeight(); ++y)
            for (int x = 0; x < used->GetWidth(); ++x)
                different += resource->GetCanvas()->GetPixel(x, y) != used->GetCanvas()->GetPixel(x, y);
        EXPECT_EQ(different, 0) << "resource " << expanded;
    }

    DropOffice11Colors();
    EXPECT_NE(Office11ExpandButtonBitmap(true), nullptr);
    EXPECT_NE(Office11ExpandButtonBitmap(false), nullptr);
    DropOffice11Colors();
    EXPECT_EQ(Office11ExpandButtonBitmap(true), nullptr);
    EXPECT_EQ(Office11ExpandButtonBitmap(false), nullptr);
    EXPECT_EQ(Office11ColorsReferenceCount(), 0);
}

} // namespace
