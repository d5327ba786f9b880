// ztThemeManager: one cached theme handle per themed-object kind, and theme-change notices.
//
// Painters ask here whether a kind of object can be drawn themed and take its handle from the
// cache. When the user changes the theme, a hidden window closes every cached handle, reads
// whether themes are still active and tells every notificator. Without the visual-styles
// library every availability test answers false.
#ifndef ZT_THEME_MANAGER_H
#define ZT_THEME_MANAGER_H

#include <windows.h>

#include <uxtheme.h>

#include <cstdint>
#include <string>

#include <classlib/events.h>
#include <classlib/hidden_window.h>
#include <classlib/object.h>
#include <classlib/sets.h>
#include <classlib/units.h>

// Needs ztUxTheme; holds the cache, the receiver window and the notificator list.
extern TUnit ztThemeManagerUnit;

enum TztThemedObjectType : std::uint8_t {
    totButton, totClock, totComboBox, totEdit, totExplorerBar, totHeader, totListView, totMenu, totPage,
    totProgress, totRebar, totScrollBar, totSpin, totStartPanel, totStatus, totTab, totTaskBand, totTaskBar,
    totToolBar, totToolTip, totTrackBar, totTrayNotify, totTreeView, totWindow
};
inline constexpr int ztThemedObjectTypeCount = 24;
using TztThemedObjectTypes = TSet<TztThemedObjectType>;

// The theme class name a kind is opened with unless told otherwise (empty outside the range).
const wchar_t *ThemeClassNameOf(TztThemedObjectType kind) noexcept;

// Themes active, the library loaded and the kind's theme (default class) opens.
bool IsThemeAvailable(TztThemedObjectType kind);
// Themes active and the library loaded, and every kind of the set opens.
bool AreThemesAvailable(TztThemedObjectTypes kinds = {});
// The cached handle when its class name matches (ignoring case in the user's locale) or none is
// given; else opens the given name, the name stored last or the default one. 0 on failure and
// for a kind outside the range.
HTHEME OpenThemeForKind(TztThemedObjectType kind, const wchar_t *className = nullptr);
// 1 while themes are not available, 0 when the kind holds no handle, else CloseThemeData's result.
HRESULT CloseThemeForKind(TztThemedObjectType kind);
// Closes every cached handle; the class names stay for the next open.
void CloseAllThemes();
// The class name the kind's entry holds (empty when its last open failed or none was made).
std::wstring ThemeCacheClassName(TztThemedObjectType kind);

// Closes the cached themes and tells the notificators when the theme changes.
class TztThemeChangedEventReceiver : public TObject {
    CL_CLASS(TztThemeChangedEventReceiver, TObject)

public:
    void Create();
    HWND Handle() const noexcept { return window_; }

protected:
    void Destroy() override;

private:
    void WndProc(TMessage &message);

    HWND window_ = nullptr;
};

// The receiver of the started unit (null without the library).
TztThemeChangedEventReceiver *ThemeChangedReceiver() noexcept;

// Subscribes for its lifetime to theme changes.
class TztThemeChangedNotificator : public TObject {
    CL_CLASS(TztThemeChangedNotificator, TObject)

public:
    void Create();
    // A method without arguments.
    TEvent<void()> OnThemeChanged;

protected:
    void Destroy() override;
};

#endif
