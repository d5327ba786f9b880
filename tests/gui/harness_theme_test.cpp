#include <gtest/gtest.h>

#include <windows.h>

#include <uxtheme.h>

#include "capture.h"
#include "message_pump.h"
#include "theme.h"

namespace {

// A push button of common controls version 6 (the one that follows the theme), painted.
PixelBuffer paintedButton() {
    HWND button;
    {
        CommonControlsV6 v6;
        EXPECT_TRUE(v6.active());
        button = CreateWindowExW(0, L"BUTTON", L"OK", WS_POPUP | WS_VISIBLE | BS_PUSHBUTTON, 30, 30, 90, 32,
                                 nullptr, nullptr, nullptr, nullptr);
    }
    if (button == nullptr)
        return {};
    UpdateWindow(button);
    pumpMessages();
    PixelBuffer pixels = printClient(button);
    DestroyWindow(button);
    pumpMessages();
    return pixels;
}

std::wstring registryThemeActive() {
    wchar_t value[8] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager", L"ThemeActive",
                 RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

class HarnessThemeOn : public ThemeOnTest {};
class HarnessThemeOff : public ThemeOffTest {};

TEST_F(HarnessThemeOn, ThemeDataOpens) {
    EXPECT_TRUE(IsAppThemed());
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HTHEME theme = OpenThemeData(window, L"BUTTON");
    EXPECT_NE(theme, nullptr);
    if (theme != nullptr)
        CloseThemeData(theme);
    DestroyWindow(window);
}

TEST_F(HarnessThemeOff, ThemeDataDoesNotOpen) {
    EXPECT_FALSE(IsThemeActive());
    EXPECT_FALSE(IsAppThemed());
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(OpenThemeData(window, L"BUTTON"), nullptr);
    DestroyWindow(window);
    EXPECT_EQ(registryThemeActive(), L"1") << "processes started later keep the theme";
}

TEST(HarnessTheme, OffPaintsAButtonUnthemedAndOnComesBack) {
    std::string why;
    if (!guiDisplayAvailable(&why))
        GTEST_FAIL() << why;
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are not active on this system";
    std::wstring before = registryThemeActive();
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    PixelBuffer themed = paintedButton();
    ASSERT_FALSE(themed.empty());

    ASSERT_TRUE(disableThemingForProcess());
    PixelBuffer classic = paintedButton();
    ASSERT_FALSE(classic.empty());
    EXPECT_NE(classic.pixels, themed.pixels);
    // A classic button has its one-pixel dark frame at the bottom-right corner.
    EXPECT_EQ(classic.colorAt(classic.width - 1, classic.height - 1), GetSysColor(COLOR_3DDKSHADOW));

    ASSERT_TRUE(restoreThemingForProcess());
    EXPECT_TRUE(IsThemeActive());
    EXPECT_EQ(paintedButton().pixels, themed.pixels);
    EXPECT_EQ(registryThemeActive(), before);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), face);
}

} // namespace
