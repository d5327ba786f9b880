// The wrappers of the visual-styles library drawing real theme parts into bitmaps.
#include <gtest/gtest.h>

#include <windows.h>

#include <uxtheme.h>
#include <vsstyle.h>

#include <vector>

#include "memory_bitmap.h"
#include "message_pump.h"
#include "theme.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

// A surface cleared to one colour, to tell whether anything was drawn.
class Surface : public MemoryBitmap {
public:
    Surface(int width, int height) : MemoryBitmap(width, height, 0x00FF00FFu) {}
    void clear() { fill(0x00FF00FFu); }
    bool untouched() const {
        for (std::uint32_t pixel : pixels().pixels)
            if (pixel != 0x00FF00FFu)
                return false;
        return true;
    }
};

constexpr int textColorProperty = 3803;

class ThemeWrappers : public ThemeOnTest {
protected:
    void SetUp() override {
        ThemeOnTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        units_ = new UnitScope{&ztThemeManagerUnit};
    }
    void TearDown() override {
        delete units_;
        ThemeOnTest::TearDown();
    }

private:
    UnitScope *units_ = nullptr;
};

TEST_F(ThemeWrappers, BackgroundOverloadsDrawTheSame) {
    HTHEME button = OpenThemeForKind(totButton);
    ASSERT_NE(button, nullptr);
    RECT rect{0, 0, 60, 24};
    Surface a(60, 24), b(60, 24), c(60, 24);
    EXPECT_EQ(zt::DrawThemeBackground(button, a.dc(), BP_PUSHBUTTON, PBS_NORMAL, &rect, nullptr), S_OK);
    EXPECT_EQ(zt::DrawThemeBackground(button, b.dc(), BP_PUSHBUTTON, PBS_NORMAL, rect), S_OK);
    EXPECT_EQ(zt::DrawThemeBackground(button, c.dc(), BP_PUSHBUTTON, PBS_NORMAL, rect, rect), S_OK);
    EXPECT_FALSE(a.untouched());
    EXPECT_EQ(a.pixels().pixels, b.pixels().pixels);
    EXPECT_EQ(a.pixels().pixels, c.pixels().pixels);
    // The same as the system's own call.
    Surface d(60, 24);
    DrawThemeBackground(button, d.dc(), BP_PUSHBUTTON, PBS_NORMAL, &rect, nullptr);
    EXPECT_EQ(a.pixels().pixels, d.pixels().pixels);
}

TEST_F(ThemeWrappers, NarrowTextDrawsAsWideText) {
    HTHEME button = OpenThemeForKind(totButton);
    ASSERT_NE(button, nullptr);
    RECT rect{0, 0, 80, 20};
    Surface wide(80, 20), narrow(80, 20);
    SetBkMode(wide.dc(), TRANSPARENT);
    SetBkMode(narrow.dc(), TRANSPARENT);
    EXPECT_EQ(zt::DrawThemeText(button, wide.dc(), BP_PUSHBUTTON, PBS_NORMAL, L"Apply", -1,
                                DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, &rect),
              S_OK);
    EXPECT_EQ(zt::DrawThemeText(button, narrow.dc(), BP_PUSHBUTTON, PBS_NORMAL, std::string_view("Apply"),
                                DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, &rect),
              S_OK);
    EXPECT_FALSE(wide.untouched());
    EXPECT_EQ(wide.pixels().pixels, narrow.pixels().pixels);
}

TEST_F(ThemeWrappers, SizesRectanglesAndColours) {
    HTHEME button = OpenThemeForKind(totButton);
    ASSERT_NE(button, nullptr);
    Surface surface(40, 40);
    SIZE withRect{}, without{};
    RECT bounds{0, 0, 40, 40};
    EXPECT_EQ(zt::GetThemePartSize(button, surface.dc(), BP_CHECKBOX, CBS_UNCHECKEDNORMAL, &bounds, TS_TRUE,
                                   &withRect),
              S_OK);
    EXPECT_EQ(zt::GetThemePartSize(button, surface.dc(), BP_CHECKBOX, CBS_UNCHECKEDNORMAL, TS_TRUE, &without), S_OK);
    SIZE system{};
    GetThemePartSize(button, surface.dc(), BP_CHECKBOX, CBS_UNCHECKEDNORMAL, nullptr, TS_TRUE, &system);
    EXPECT_EQ(without.cx, system.cx);
    EXPECT_EQ(without.cy, system.cy);
    EXPECT_GT(without.cx, 0);

    RECT content1{}, content2{};
    EXPECT_EQ(zt::GetThemeBackgroundContentRect(button, surface.dc(), BP_PUSHBUTTON, PBS_NORMAL, &bounds, &content1),
              S_OK);
    EXPECT_EQ(zt::GetThemeBackgroundContentRect(button, surface.dc(), BP_PUSHBUTTON, PBS_NORMAL, bounds, content2),
              S_OK);
    EXPECT_TRUE(EqualRect(&content1, &content2));
    EXPECT_GE(content1.left, bounds.left);
    EXPECT_LE(content1.right, bounds.right);

    COLORREF wrapped = 1, direct = 2;
    HRESULT a = zt::GetThemeColor(button, BP_PUSHBUTTON, PBS_NORMAL, textColorProperty, &wrapped);
    HRESULT b = GetThemeColor(button, BP_PUSHBUTTON, PBS_NORMAL, textColorProperty, &direct);
    EXPECT_EQ(a, b);
    if (SUCCEEDED(a)) {
        EXPECT_EQ(wrapped, direct);
    }
    EXPECT_EQ(zt::IsThemeActive(), IsThemeActive());
    EXPECT_EQ(zt::IsThemeBackgroundPartiallyTransparent(button, BP_PUSHBUTTON, PBS_NORMAL),
              IsThemeBackgroundPartiallyTransparent(button, BP_PUSHBUTTON, PBS_NORMAL));
}

// A parent that leaves a font of its own selected in the DC it is given to paint into.
HFONT parentFont = nullptr;
int parentPaints = 0;

LRESULT CALLBACK carelessParentProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND || msg == WM_PRINTCLIENT) {
        ++parentPaints;
        SelectObject(reinterpret_cast<HDC>(wParam), parentFont);
        return 1;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

TEST_F(ThemeWrappers, ParentBackgroundKeepsTheSelectedFont) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = carelessParentProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ThemeWrappersCarelessParent";
    RegisterClassW(&windowClass);
    parentFont = CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Courier New");
    parentPaints = 0;
    HWND parent = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 10, 10, 100, 60, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 40, 20, parent, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(child, nullptr);
    pumpMessages();
    parentPaints = 0;
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    HDC dc = GetDC(child);
    HGDIOBJ previous = SelectObject(dc, font);
    RECT rect{0, 0, 40, 20};
    zt::DrawThemeParentBackground(child, dc, &rect);
    EXPECT_GE(parentPaints, 1);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    SelectObject(dc, previous);
    ReleaseDC(child, dc);
    DestroyWindow(parent);
    pumpMessages();
    DeleteObject(font);
    DeleteObject(parentFont);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

TEST_F(ThemeWrappers, CurrentThemeNameAsTheSystemGivesIt) {
    wchar_t file1[MAX_PATH] = {}, color1[MAX_PATH] = {}, size1[MAX_PATH] = {};
    wchar_t file2[MAX_PATH] = {}, color2[MAX_PATH] = {}, size2[MAX_PATH] = {};
    EXPECT_EQ(zt::GetCurrentThemeName(file1, MAX_PATH, color1, MAX_PATH, size1, MAX_PATH),
              GetCurrentThemeName(file2, MAX_PATH, color2, MAX_PATH, size2, MAX_PATH));
    EXPECT_STREQ(file1, file2);
    EXPECT_STREQ(color1, color2);
    EXPECT_STREQ(size1, size2);
    EXPECT_NE(file1[0], L'\0');
}

} // namespace
