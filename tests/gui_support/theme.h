// Visual styles on or off for a test.
//
// What Wine 8 does, found by trying (and what the fixtures therefore do):
// - Theming is on by default in the test prefix (the "Light" style): IsThemeActive and
//   IsAppThemed are TRUE, OpenThemeData(hwnd, L"BUTTON") gives a theme, and controls of
//   common controls version 6 (created inside an activation context that names it, see
//   CommonControlsV6) paint styled. The user32 classes paint classic regardless.
// - SetThemeAppProperties(0) changes nothing there: IsAppThemed stays TRUE and OpenThemeData
//   still succeeds. SetWindowTheme(hwnd, L"", L"") does not turn a window's theme off either
//   (an empty name is not stored), unlike on Windows.
// - EnableTheming(FALSE) turns theming off for the calling process at once (IsThemeActive,
//   IsAppThemed FALSE, OpenThemeData NULL, version 6 buttons paint classic), but also writes
//   ThemeActive=0 into the user's registry, which every process started later would obey.
//   EnableTheming(TRUE) does not turn it back on.
// ThemeOffTest therefore calls EnableTheming(FALSE), puts the registry value back at once, and
// afterwards turns the process's theming on again by applying the theme file named in the
// registry (the theme file functions uxtheme exports by ordinal), so that tests after it see
// the default again. ThemeOnTest checks that theming is active and skips the test if not.
#ifndef GUI_SUPPORT_THEME_H
#define GUI_SUPPORT_THEME_H

#include <windows.h>

#include "gui_display.h"

// Turns theming off for this process; true when it is off (IsThemeActive is FALSE). The
// registry and the system colours are left as they were.
bool disableThemingForProcess();
// Turns it on again after disableThemingForProcess (nothing when that found it off); true when
// the state before disableThemingForProcess is back.
bool restoreThemingForProcess();

// Activates common controls version 6 (the styled controls) for the windows created during its
// lifetime on this thread; active() tells whether it worked.
class CommonControlsV6 {
public:
    CommonControlsV6();
    ~CommonControlsV6();
    CommonControlsV6(const CommonControlsV6 &) = delete;
    CommonControlsV6 &operator=(const CommonControlsV6 &) = delete;
    bool active() const { return cookie_ != 0; }

private:
    ULONG_PTR cookie_ = 0;
};

// Fixture: the test runs with visual styles on (skipped where the system has none).
class ThemeOnTest : public GuiTest {
protected:
    void SetUp() override;
};

// Fixture: the test runs with visual styles off for the process; they come back afterwards.
class ThemeOffTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

#endif
