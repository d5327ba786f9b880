// ztThemeManager: the theme cache, availability tests and theme-change notices.
#include "ztThemeManager.h"

#include <algorithm>
#include <array>
#include <vector>

#include <classlib/string_utils.h>

#include "ztUxTheme.h"

namespace {

constexpr const wchar_t *defaultClassNames[ztThemedObjectTypeCount] = {
    L"Button", L"Clock",    L"ComboBox",  L"Edit",   L"ExplorerBar", L"Header",     L"ListView",   L"Menu",
    L"Page",   L"Progress", L"Rebar",     L"ScrollBar", L"Spin",     L"StartPanel", L"Status",     L"Tab",
    L"TaskBand", L"TaskBar", L"ToolBar",  L"ToolTip", L"TrackBar",   L"TrayNotify", L"TreeView",   L"Window"};

struct TztThemeData {
    HTHEME handle = nullptr;
    std::wstring className;
};

// Built at unit start, released at unit end.
std::array<TztThemeData, ztThemedObjectTypeCount> *cache = nullptr;
constinit bool themesActive = false;
constinit TztThemeChangedEventReceiver *receiver = nullptr;
std::vector<TztThemeChangedNotificator *> *notificators = nullptr;

// A library without the entry point counts as one whose themes are off.
bool themeActiveNow() { return UxThemeEntry(uxIsThemeActive) != nullptr && zt::IsThemeActive() != FALSE; }

bool validKind(TztThemedObjectType kind) { return static_cast<int>(kind) < ztThemedObjectTypeCount; }

void startThemeManager() {
    cache = new std::array<TztThemeData, ztThemedObjectTypeCount>();
    if (!ThemeLibraryLoaded())
        return;
    themesActive = themeActiveNow();
    notificators = new std::vector<TztThemeChangedNotificator *>();
    try {
        receiver = New<TztThemeChangedEventReceiver>();
    } catch (...) {
        delete notificators;
        notificators = nullptr;
        delete cache;
        cache = nullptr;
        throw;
    }
}

void stopThemeManager() {
    if (ThemeLibraryLoaded()) {
        FreeAndNil(receiver);
        CloseAllThemes();
        delete notificators;
        notificators = nullptr;
    }
    themesActive = false;
    delete cache;
    cache = nullptr;
}

void notifyThemeChanged() {
    if (notificators == nullptr)
        return;
    // A handler may free notificators (itself included): call only those still subscribed.
    std::vector<TztThemeChangedNotificator *> snapshot = *notificators;
    for (TztThemeChangedNotificator *notificator : snapshot) {
        if (notificators == nullptr)
            return;
        if (std::find(notificators->begin(), notificators->end(), notificator) == notificators->end())
            continue;
        // A copy: the handler may free its own notificator while it runs.
        auto handler = notificator->OnThemeChanged;
        if (handler)
            handler();
    }
}

} // namespace

constinit TUnit ztThemeManagerUnit{L"ztThemeManager", startThemeManager, stopThemeManager, {&ztUxThemeUnit}};

const wchar_t *ThemeClassNameOf(TztThemedObjectType kind) noexcept {
    return validKind(kind) ? defaultClassNames[kind] : L"";
}

bool AreThemesAvailable(TztThemedObjectTypes kinds) {
    if (!themesActive || !ThemeLibraryLoaded() || cache == nullptr)
        return false;
    for (int kind = 0; kind < ztThemedObjectTypeCount; ++kind) {
        auto k = static_cast<TztThemedObjectType>(kind);
        if (kinds.Contains(k) && OpenThemeForKind(k) == nullptr)
            return false;
    }
    return true;
}

bool IsThemeAvailable(TztThemedObjectType kind) {
    return themesActive && ThemeLibraryLoaded() && OpenThemeForKind(kind) != nullptr;
}

HTHEME OpenThemeForKind(TztThemedObjectType kind, const wchar_t *className) {
    if (!AreThemesAvailable() || !validKind(kind) || UxThemeEntry(uxOpenThemeData) == nullptr)
        return nullptr;
    TztThemeData &entry = (*cache)[kind];
    if (entry.handle != nullptr) {
        if (className == nullptr || AnsiUpperCase(className) == AnsiUpperCase(entry.className))
            return entry.handle;
        CloseThemeForKind(kind);
    }
    std::wstring name = className != nullptr ? className
                        : !entry.className.empty() ? entry.className
                                                   : defaultClassNames[kind];
    HTHEME handle = zt::OpenThemeData(nullptr, name.c_str());
    if (handle != nullptr) {
        entry.handle = handle;
        entry.className = std::move(name);
    } else {
        entry.className.clear();
    }
    return handle;
}

HRESULT CloseThemeForKind(TztThemedObjectType kind) {
    if (!AreThemesAvailable())
        return 1;
    if (!validKind(kind) || (*cache)[kind].handle == nullptr)
        return 0;
    TztThemeData &entry = (*cache)[kind];
    HRESULT result = zt::CloseThemeData(entry.handle);
    entry.handle = nullptr;
    entry.className.clear();
    return result;
}

void CloseAllThemes() {
    if (cache == nullptr || !ThemeLibraryLoaded())
        return;
    for (TztThemeData &entry : *cache) {
        if (entry.handle != nullptr)
            zt::CloseThemeData(entry.handle);
        entry.handle = nullptr;
    }
}

std::wstring ThemeCacheClassName(TztThemedObjectType kind) {
    return cache != nullptr && validKind(kind) ? (*cache)[kind].className : std::wstring();
}

TztThemeChangedEventReceiver *ThemeChangedReceiver() noexcept { return receiver; }

void TztThemeChangedEventReceiver::Create() {
    inherited::Create();
    window_ = AllocateHWnd([this](TMessage &message) { WndProc(message); });
}

void TztThemeChangedEventReceiver::Destroy() {
    themesActive = false;
    DeallocateHWnd(window_);
    window_ = nullptr;
    inherited::Destroy();
}

void TztThemeChangedEventReceiver::WndProc(TMessage &message) {
    if (message.Msg != WM_THEMECHANGED) {
        DefaultHandler(window_, message);
        return;
    }
    CloseAllThemes();
    DefaultHandler(window_, message);
    themesActive = themeActiveNow();
    message.Result = 0;
    notifyThemeChanged();
}

void TztThemeChangedNotificator::Create() {
    inherited::Create();
    if (ThemeLibraryLoaded() && notificators != nullptr)
        notificators->push_back(this);
}

void TztThemeChangedNotificator::Destroy() {
    if (ThemeLibraryLoaded() && notificators != nullptr)
        std::erase(*notificators, this);
    inherited::Destroy();
}
