// kvSystemPalette: one hidden window that hears system-colour changes for the whole library.
//
// Every notifier registers with the one listener while it lives; the listener exists exactly as
// long as a notifier does and holds the Office 2003 colours acquired meanwhile. On
// WM_SYSCOLORCHANGE the listener refreshes those colours, then tells the primary notifiers (the
// painters' shared bitmaps and glyphs) and only then the ordinary ones (the look-and-feel
// objects that repaint their controls), each group from the last registered to the first.
#ifndef KV_SYSTEM_PALETTE_H
#define KV_SYSTEM_PALETTE_H

#include <windows.h>

#include <classlib/events.h>
#include <classlib/hidden_window.h>
#include <classlib/list.h>
#include <classlib/object.h>

class TkvSystemPaletteChangedNotifier;

class TkvSystemPaletteChangedListener : public TObject {
    CL_CLASS(TkvSystemPaletteChangedListener, TObject)

public:
    void Create();
    HWND Handle() const noexcept { return window_; }
    void AddNotifier(TkvSystemPaletteChangedNotifier *notifier);
    void RemoveNotifier(TkvSystemPaletteChangedNotifier *notifier);
    int NotifierCount() const noexcept { return notifiers_.Count() + primaryNotifiers_.Count(); }

protected:
    void Destroy() override;

private:
    void WndProc(TMessage &message);
    void notifyAll(TList<TkvSystemPaletteChangedNotifier *> &list);

    HWND window_ = nullptr;
    TList<TkvSystemPaletteChangedNotifier *> notifiers_;
    TList<TkvSystemPaletteChangedNotifier *> primaryNotifiers_;
};

// The listener while a notifier exists, else null.
TkvSystemPaletteChangedListener *SystemPaletteChangedListener() noexcept;

class TkvSystemPaletteChangedNotifier : public TObject {
    CL_CLASS(TkvSystemPaletteChangedNotifier, TObject)

public:
    // Registers with the listener, making it when this is the first notifier.
    virtual void Create(bool isPrimary);
    void Create() { Create(false); }

    bool IsPrimary() const noexcept { return isPrimary_; }
    TEvent<void()> OnSystemPaletteChanged;

    // Fires OnSystemPaletteChanged.
    virtual void DoChanged();

protected:
    void Destroy() override;

private:
    bool isPrimary_ = false;
    bool registered_ = false;
};

#endif
