// The theme manager with the visual styles on and off: the cache per kind, availability, the
// receiver window and theme-change notices through real WM_THEMECHANGED messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <uxtheme.h>

#include <string>
#include <vector>

#include <classlib/exception_handler.h>

#include "message_pump.h"
#include "theme.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

// The manager's units run for one test.
template <class Base> class WithThemeManager : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        if (this->IsSkipped() || this->HasFatalFailure())
            return;
        units_ = new UnitScope{&ztThemeManagerUnit};
    }
    void TearDown() override {
        delete units_;
        units_ = nullptr;
        Base::TearDown();
    }

private:
    UnitScope *units_ = nullptr;
};

class ThemeManagerOn : public WithThemeManager<ThemeOnTest> {};
class ThemeManagerOff : public WithThemeManager<ThemeOffTest> {};

// Counts its notices; frees itself through Free.
struct Listener {
    TztThemeChangedNotificator *notificator = New<TztThemeChangedNotificator>();
    int notices = 0;
    Listener() {
        notificator->OnThemeChanged = [this] { ++notices; };
    }
    ~Listener() {
        if (notificator != nullptr)
            notificator->Free();
    }
};

LRESULT sendThemeChanged() {
    TztThemeChangedEventReceiver *receiver = ThemeChangedReceiver();
    return receiver != nullptr ? SendMessageW(receiver->Handle(), WM_THEMECHANGED, 0, 0) : -1;
}

// A kind whose default class the current theme lacks, or -1.
int kindThatDoesNotOpen() {
    for (int kind = 0; kind < ztThemedObjectTypeCount; ++kind)
        if (OpenThemeForKind(static_cast<TztThemedObjectType>(kind)) == nullptr)
            return kind;
    return -1;
}

TEST_F(ThemeManagerOn, ReceiverIsATopLevelPopupThatBroadcastsReach) {
    ASSERT_TRUE(ThemeLibraryLoaded());
    TztThemeChangedEventReceiver *receiver = ThemeChangedReceiver();
    ASSERT_NE(receiver, nullptr);
    HWND window = receiver->Handle();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_POPUP);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(ThemeManagerOn, KindsOpenAndAreCached) {
    EXPECT_TRUE(AreThemesAvailable());
    EXPECT_TRUE(IsThemeAvailable(totButton));
    EXPECT_TRUE(IsThemeAvailable(totScrollBar));
    EXPECT_TRUE(AreThemesAvailable(TztThemedObjectTypes{totButton, totScrollBar, totEdit}));

    HTHEME scrollBar = OpenThemeForKind(totScrollBar, L"ScrollBar");
    ASSERT_NE(scrollBar, nullptr);
    EXPECT_EQ(ThemeCacheClassName(totScrollBar), L"ScrollBar");
    EXPECT_EQ(OpenThemeForKind(totScrollBar, L"ScrollBar"), scrollBar);
    EXPECT_EQ(OpenThemeForKind(totScrollBar, L"scrollbar"), scrollBar);
    EXPECT_EQ(ThemeCacheClassName(totScrollBar), L"ScrollBar");
    EXPECT_EQ(OpenThemeForKind(totScrollBar), scrollBar);

    // Another class name replaces the entry; without a name the new one is kept.
    HTHEME button = OpenThemeForKind(totScrollBar, L"Button");
    ASSERT_NE(button, nullptr);
    EXPECT_NE(button, scrollBar);
    EXPECT_EQ(ThemeCacheClassName(totScrollBar), L"Button");
    EXPECT_EQ(OpenThemeForKind(totScrollBar), button);

    EXPECT_EQ(CloseThemeForKind(totScrollBar), S_OK);
    EXPECT_EQ(ThemeCacheClassName(totScrollBar), L"");
    EXPECT_EQ(CloseThemeForKind(totScrollBar), 0);
    // The default class again after the entry was cleared.
    EXPECT_NE(OpenThemeForKind(totScrollBar), nullptr);
    EXPECT_EQ(ThemeCacheClassName(totScrollBar), L"ScrollBar");
}

TEST_F(ThemeManagerOn, AClassTheThemeLacksLeavesTheEntryEmpty) {
    ASSERT_NE(OpenThemeForKind(totHeader), nullptr);
    CloseThemeForKind(totHeader);
    EXPECT_EQ(OpenThemeForKind(totHeader, L"NoSuchThemeClass"), nullptr);
    EXPECT_EQ(ThemeCacheClassName(totHeader), L"");
    EXPECT_EQ(CloseThemeForKind(totHeader), 0);
    EXPECT_NE(OpenThemeForKind(totHeader), nullptr);
    EXPECT_EQ(OpenThemeForKind(static_cast<TztThemedObjectType>(24)), nullptr);
    EXPECT_EQ(CloseThemeForKind(static_cast<TztThemedObjectType>(24)), 0);
}

TEST_F(ThemeManagerOn, ASetIsAvailableOnlyWhenEveryKindOpens) {
    int missing = kindThatDoesNotOpen();
    if (missing < 0)
        GTEST_SKIP() << "the current theme has every class";
    auto kind = static_cast<TztThemedObjectType>(missing);
    RecordProperty("missing_class", std::string(ThemeClassNameOf(kind), ThemeClassNameOf(kind) + wcslen(ThemeClassNameOf(kind))));
    EXPECT_FALSE(IsThemeAvailable(kind));
    EXPECT_TRUE(AreThemesAvailable(TztThemedObjectTypes{totButton, totScrollBar}));
    EXPECT_FALSE(AreThemesAvailable(TztThemedObjectTypes{totButton, kind}));
    EXPECT_FALSE(AreThemesAvailable(TztThemedObjectTypes{kind}));
    EXPECT_TRUE(AreThemesAvailable());
}

TEST_F(ThemeManagerOn, ThemeChangeClosesHandlesAndReopensWithTheNameUsedLast) {
    Listener first, second;
    std::vector<int> order;
    first.notificator->OnThemeChanged = [&] { order.push_back(1); };
    TztThemeChangedNotificator *unassigned = New<TztThemeChangedNotificator>();
    second.notificator->OnThemeChanged = [&] { order.push_back(2); };
    ASSERT_NE(OpenThemeForKind(totTab, L"Button"), nullptr);
    ASSERT_NE(OpenThemeForKind(totEdit), nullptr);

    EXPECT_EQ(sendThemeChanged(), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    // The names stay; the handles were closed and open again on demand.
    EXPECT_EQ(ThemeCacheClassName(totTab), L"Button");
    EXPECT_NE(OpenThemeForKind(totTab), nullptr);
    EXPECT_EQ(ThemeCacheClassName(totTab), L"Button");
    EXPECT_EQ(ThemeCacheClassName(totEdit), L"Edit");
    EXPECT_TRUE(IsThemeAvailable(totEdit));

    unassigned->Free();
    second.notificator->Free();
    second.notificator = nullptr;
    order.clear();
    sendThemeChanged();
    EXPECT_EQ(order, (std::vector<int>{1}));
}

TEST_F(ThemeManagerOn, ANoticeMayFreeOtherNotificators) {
    Listener first, second, third;
    first.notificator->OnThemeChanged = [&] {
        ++first.notices;
        second.notificator->Free();
        second.notificator = nullptr;
        first.notificator->Free();
        first.notificator = nullptr;
    };
    sendThemeChanged();
    EXPECT_EQ(first.notices, 1);
    EXPECT_EQ(second.notices, 0);
    EXPECT_EQ(third.notices, 1);
    sendThemeChanged();
    EXPECT_EQ(third.notices, 2);
}

TEST_F(ThemeManagerOn, ARaisingNoticeGoesToTheExceptionHandler) {
    std::vector<std::wstring> caught;
    TExceptionEvent previous = SetExceptionHandler([&](TObject *, const Exception &e) { caught.push_back(e.Message()); });
    Listener listener;
    listener.notificator->OnThemeChanged = [] { throw Exception(L"notice failed"); };
    sendThemeChanged();
    SetExceptionHandler(previous);
    ASSERT_EQ(caught.size(), 1u);
    EXPECT_EQ(caught[0], L"notice failed");
    EXPECT_TRUE(IsThemeAvailable(totButton));
}

TEST_F(ThemeManagerOn, SwitchingThemesOffAndOnIsNoticed) {
    Listener listener;
    ASSERT_NE(OpenThemeForKind(totSpin, L"ScrollBar"), nullptr);
    ASSERT_TRUE(disableThemingForProcess());
    EXPECT_TRUE(pumpUntil([&] { return listener.notices >= 1; })) << "no WM_THEMECHANGED when themes went off";
    EXPECT_FALSE(AreThemesAvailable());
    EXPECT_FALSE(IsThemeAvailable(totButton));
    EXPECT_FALSE(AreThemesAvailable(TztThemedObjectTypes{totButton}));
    EXPECT_EQ(OpenThemeForKind(totSpin), nullptr);
    EXPECT_EQ(CloseThemeForKind(totSpin), 1);

    int before = listener.notices;
    ASSERT_TRUE(restoreThemingForProcess());
    EXPECT_TRUE(pumpUntil([&] { return listener.notices > before; })) << "no WM_THEMECHANGED when themes came on";
    EXPECT_TRUE(AreThemesAvailable());
    EXPECT_NE(OpenThemeForKind(totSpin), nullptr);
    EXPECT_EQ(ThemeCacheClassName(totSpin), L"ScrollBar");
}

TEST_F(ThemeManagerOff, NothingIsAvailableWhileThemesAreOff) {
    ASSERT_TRUE(ThemeLibraryLoaded());
    EXPECT_NE(ThemeChangedReceiver(), nullptr);
    EXPECT_FALSE(AreThemesAvailable());
    EXPECT_FALSE(AreThemesAvailable(TztThemedObjectTypes{totButton}));
    EXPECT_FALSE(IsThemeAvailable(totButton));
    EXPECT_EQ(OpenThemeForKind(totButton), nullptr);
    EXPECT_EQ(OpenThemeForKind(totButton, L"Button"), nullptr);
    EXPECT_EQ(CloseThemeForKind(totButton), 1);
    // A change that leaves them off keeps every answer false.
    Listener listener;
    sendThemeChanged();
    EXPECT_EQ(listener.notices, 1);
    EXPECT_FALSE(IsThemeAvailable(totButton));
}

TEST(ThemeManagerUnit, StopsWithItsReceiverAndNotificatorsUnsubscribeSafely) {
    HWND window = nullptr;
    TztThemeChangedNotificator *late = nullptr;
    {
        UnitScope units{&ztThemeManagerUnit};
        ASSERT_NE(ThemeChangedReceiver(), nullptr);
        window = ThemeChangedReceiver()->Handle();
        late = New<TztThemeChangedNotificator>();
    }
    EXPECT_EQ(ThemeChangedReceiver(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(AreThemesAvailable());
    late->Free();
}

} // namespace
