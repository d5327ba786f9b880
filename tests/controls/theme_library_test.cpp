// The visual-styles binding without windows: which versions load the library, the entry-point
// table, and the default class names of the themed-object kinds.
#include <gtest/gtest.h>

#include <string>

#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

TEST(ThemeLibrary, LoadedFromWindowsXPOn) {
    EXPECT_FALSE(HasThemeLibrary(4, 90));
    EXPECT_FALSE(HasThemeLibrary(5, 0));
    EXPECT_TRUE(HasThemeLibrary(5, 1));
    EXPECT_TRUE(HasThemeLibrary(5, 2));
    EXPECT_TRUE(HasThemeLibrary(6, 0));
    EXPECT_TRUE(HasThemeLibrary(10, 0));
}

TEST(ThemeLibrary, EntryPointsInBindingOrder) {
    EXPECT_STREQ(UxThemeEntryName(uxCloseThemeData), "CloseThemeData");
    EXPECT_STREQ(UxThemeEntryName(uxGetCurrentThemeName), "GetCurrentThemeName");
    EXPECT_STREQ(UxThemeEntryName(uxIsThemeActive), "IsThemeActive");
    EXPECT_STREQ(UxThemeEntryName(uxOpenThemeData), "OpenThemeData");
    EXPECT_STREQ(UxThemeEntryName(uxSetWindowTheme), "SetWindowTheme");
    EXPECT_EQ(uxEntryCount, 46);
    EXPECT_EQ(UxThemeEntryName(-1), nullptr);
    EXPECT_EQ(UxThemeEntryName(46), nullptr);
    EXPECT_EQ(UxThemeEntry(46), nullptr);
}

TEST(ThemeLibrary, UnitBindsAndReleases) {
    ASSERT_FALSE(ThemeLibraryLoaded());
    EXPECT_EQ(UxThemeEntry(uxOpenThemeData), nullptr);
    {
        UnitScope units{&ztUxThemeUnit};
        ASSERT_TRUE(ThemeLibraryLoaded());
        for (int entry : {uxCloseThemeData, uxDrawThemeBackground, uxDrawThemeText, uxGetCurrentThemeName,
                          uxGetThemeColor, uxIsThemeActive, uxOpenThemeData, uxSetWindowTheme})
            EXPECT_NE(UxThemeEntry(entry), nullptr) << UxThemeEntryName(entry);
    }
    EXPECT_FALSE(ThemeLibraryLoaded());
    EXPECT_EQ(UxThemeEntry(uxOpenThemeData), nullptr);
}

TEST(ThemeLibrary, DefaultClassNames) {
    const wchar_t *expected[] = {L"Button",   L"Clock",      L"ComboBox", L"Edit",      L"ExplorerBar", L"Header",
                                 L"ListView", L"Menu",       L"Page",     L"Progress",  L"Rebar",       L"ScrollBar",
                                 L"Spin",     L"StartPanel", L"Status",   L"Tab",       L"TaskBand",    L"TaskBar",
                                 L"ToolBar",  L"ToolTip",    L"TrackBar", L"TrayNotify", L"TreeView",   L"Window"};
    for (int kind = 0; kind < ztThemedObjectTypeCount; ++kind)
        EXPECT_STREQ(ThemeClassNameOf(static_cast<TztThemedObjectType>(kind)), expected[kind]);
    EXPECT_STREQ(ThemeClassNameOf(static_cast<TztThemedObjectType>(24)), L"");
}

TEST(ThemeLibrary, ManagerWithoutItsUnitAnswersUnthemed) {
    EXPECT_FALSE(AreThemesAvailable());
    EXPECT_FALSE(IsThemeAvailable(totButton));
    EXPECT_EQ(OpenThemeForKind(totButton), nullptr);
    EXPECT_EQ(CloseThemeForKind(totButton), 1);
    CloseAllThemes();
}

} // namespace
