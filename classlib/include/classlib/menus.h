// A small popup menu: items with captions and shortcuts, shown at a screen point.
//
// Stands in for the compiler library's popup menu, as far as the control library uses it:
// automatic popup, the component it popped up for, showing it, and finding an item by the
// shortcut of a key message.
#ifndef CLASSLIB_MENUS_H
#define CLASSLIB_MENUS_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "component.h"
#include "geometry.h"
#include "events.h"
#include "list.h"
#include "messages.h"

class TBitmap;
class TCanvas;
class TCustomImageList;
class TPopupMenu;

// An item asked for its size: width and height come in with the default and go out as wanted.
using TMenuMeasureItemEvent = TEvent<void(TObject *sender, TCanvas *canvas, int &width, int &height)>;
using TMenuDrawItemEvent = TEvent<void(TObject *sender, TCanvas *canvas, TRect rect, bool selected)>;

// A shortcut: the virtual key in the low byte, scShift, scCtrl, scAlt above it.
using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(WORD key, bool shift, bool ctrl, bool alt);
// The shortcut of a key message with the keyboard's shift state now.
TShortCut ShortCutOfKey(const TWMKey &key);

class TMenuItem : public TComponent {
    CL_CLASS(TMenuItem, TComponent)

public:
    void Create(TComponent *owner) override;
    const std::wstring &Caption() const noexcept { return caption_; }
    void SetCaption(const std::wstring &value) { caption_ = value; }
    TShortCut ShortCut() const noexcept { return shortCut_; }
    void SetShortCut(TShortCut value) noexcept { shortCut_ = value; }
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value) noexcept { enabled_ = value; }
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool value) noexcept { visible_ = value; }
    bool Checked() const noexcept { return checked_; }
    void SetChecked(bool value) noexcept { checked_ = value; }
    int Count() const noexcept { return items_.Count(); }
    TMenuItem *Items(int index) const { return items_.Get(index); }
    void Add(TMenuItem *item);
    void Remove(TMenuItem *item);
    TMenuItem *ParentItem() const noexcept { return parent_; }
    // The item's picture, made on first use (empty until something is loaded or drawn in it).
    TBitmap *Bitmap();
    bool HasBitmap() const;
    int ImageIndex() const noexcept { return imageIndex_; }
    void SetImageIndex(int value) noexcept { imageIndex_ = value; }
    // The images of this item's sub-items.
    TCustomImageList *SubMenuImages() const noexcept { return subMenuImages_; }
    void SetSubMenuImages(TCustomImageList *value) noexcept { subMenuImages_ = value; }
    // The images the item takes its picture from: its parent's sub-menu images, else the menu's.
    TCustomImageList *GetImageList() const;
    // The menu whose items this item stands among, or null.
    TPopupMenu *Menu() const;
    // Whether the menu draws the item through DrawItem rather than as plain text.
    bool IsOwnerDrawn() const;
    // Runs OnClick when enabled.
    virtual void Click();
    // The size the item wants, from the defaults given in width and height.
    virtual void MeasureItem(TCanvas *canvas, int &width, int &height);
    // Draws the item: OnDrawItem when set, else picture and caption in the menu's colours.
    virtual void DrawItem(TCanvas *canvas, const TRect &rect, bool selected);

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;

protected:
    void Destroy() override;

private:
    std::wstring caption_;
    TShortCut shortCut_ = scNone;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    TList<TMenuItem *> items_;
    TMenuItem *parent_ = nullptr;
    TBitmap *bitmap_ = nullptr;
    int imageIndex_ = -1;
    TCustomImageList *subMenuImages_ = nullptr;
    TPopupMenu *menu_ = nullptr;
    friend class TPopupMenu;
};

// Which side of the menu the popup point is.
enum TPopupAlignment : std::uint8_t { paLeft, paRight, paCenter };

class TPopupMenu : public TComponent {
    CL_CLASS(TPopupMenu, TComponent)

public:
    void Create(TComponent *owner) override;
    TMenuItem *Items() const noexcept { return items_; }
    bool AutoPopup() const noexcept { return autoPopup_; }
    void SetAutoPopup(bool value) noexcept { autoPopup_ = value; }
    TComponent *PopupComponent() const noexcept { return popupComponent_; }
    void SetPopupComponent(TComponent *value) noexcept { popupComponent_ = value; }
    TPopupAlignment Alignment() const noexcept { return alignment_; }
    void SetAlignment(TPopupAlignment value) noexcept { alignment_ = value; }
    bool OwnerDraw() const noexcept { return ownerDraw_; }
    void SetOwnerDraw(bool value) noexcept { ownerDraw_ = value; }
    TCustomImageList *Images() const noexcept { return images_; }
    void SetImages(TCustomImageList *value);
    // The window the menu's commands arrive at.
    HWND WindowHandle();
    // Shows the menu at a screen point and runs the chosen item's Click.
    virtual void Popup(int x, int y);
    // Runs the item whose shortcut the key message gives; true when one was found.
    bool IsShortCut(const TWMKey &key);
    TMenuItem *FindItemByShortCut(TShortCut shortCut);

    TNotifyEvent OnPopup;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    TMenuItem *items_ = nullptr;
    bool autoPopup_ = true;
    TComponent *popupComponent_ = nullptr;
    bool ownerDraw_ = false;
    TCustomImageList *images_ = nullptr;
    TPopupAlignment alignment_ = paLeft;
    HWND window_ = nullptr;
    void itemMessage(TMessage &m);
};

#endif
