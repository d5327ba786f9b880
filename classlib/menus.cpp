#include "classlib/menus.h"

#include <algorithm>
#include <vector>

#include "classlib/exception_handler.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"
#include "classlib/image_list.h"

TShortCut ShortCut(WORD key, bool shift, bool ctrl, bool alt) {
    if ((key & 0xFF00) != 0)
        return scNone;
    TShortCut result = key;
    if (shift)
        result |= scShift;
    if (ctrl)
        result |= scCtrl;
    if (alt)
        result |= scAlt;
    return result;
}

TShortCut ShortCutOfKey(const TWMKey &key) {
    return ShortCut(key.CharCode() & 0xFF, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                    (key.KeyData() & 0x20000000) != 0);
}

void TMenuItem::Create(TComponent *owner) { inherited::Create(owner); }

void TMenuItem::Destroy() {
    FreeAndNil(bitmap_);
    if (parent_ != nullptr)
        parent_->items_.Remove(this);
    while (!items_.Empty()) {
        TMenuItem *item = items_.Last();
        items_.Delete(items_.Count() - 1);
        item->parent_ = nullptr;
        item->Free();
    }
    inherited::Destroy();
}

void TMenuItem::Add(TMenuItem *item) {
    if (item == nullptr || item == this)
        return;
    if (item->parent_ != nullptr)
        item->parent_->Remove(item);
    items_.Add(item);
    item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem *item) {
    if (items_.Remove(item) >= 0)
        item->parent_ = nullptr;
}

void TMenuItem::Click() {
    if (enabled_ && OnClick)
        OnClick(this);
}

TBitmap *TMenuItem::Bitmap() {
    if (bitmap_ == nullptr)
        bitmap_ = New<TBitmap>();
    return bitmap_;
}

bool TMenuItem::HasBitmap() const { return bitmap_ != nullptr && !bitmap_->Empty(); }

TPopupMenu *TMenuItem::Menu() const {
    const TMenuItem *root = this;
    while (root->parent_ != nullptr)
        root = root->parent_;
    return root->menu_;
}

TCustomImageList *TMenuItem::GetImageList() const {
    for (const TMenuItem *item = parent_; item != nullptr; item = item->parent_)
        if (item->subMenuImages_ != nullptr)
            return item->subMenuImages_;
    TPopupMenu *menu = Menu();
    return menu != nullptr ? menu->Images() : nullptr;
}

bool TMenuItem::IsOwnerDrawn() const {
    TPopupMenu *menu = Menu();
    return (menu != nullptr && menu->OwnerDraw()) || GetImageList() != nullptr || HasBitmap();
}

void TMenuItem::MeasureItem(TCanvas *canvas, int &width, int &height) {
    if (OnMeasureItem)
        OnMeasureItem(this, canvas, width, height);
}

void TMenuItem::DrawItem(TCanvas *canvas, const TRect &rect, bool selected) {
    if (OnDrawItem) {
        OnDrawItem(this, canvas, rect, selected);
        return;
    }
    canvas->GetBrush()->SetColor(selected ? clHighlight : clMenu);
    canvas->FillRect(rect);
    int x = rect.left + 2;
    int pictureWidth = 16;
    if (TCustomImageList *images = GetImageList(); images != nullptr) {
        pictureWidth = images->GetWidth();
        if (imageIndex_ >= 0 && imageIndex_ < images->GetCount())
            images->Draw(canvas, x, rect.top + (rect.bottom - rect.top - images->GetHeight()) / 2, imageIndex_,
                         enabled_);
    } else if (HasBitmap()) {
        pictureWidth = bitmap_->GetWidth();
        canvas->Draw(x, rect.top + (rect.bottom - rect.top - bitmap_->GetHeight()) / 2, bitmap_);
    }
    if (caption_ == L"-") {
        int y = (rect.top + rect.bottom) / 2;
        canvas->GetPen()->SetColor(clBtnShadow);
        canvas->MoveTo(rect.left + 1, y);
        canvas->LineTo(rect.right - 1, y);
        return;
    }
    canvas->GetBrush()->SetStyle(bsClear);
    canvas->GetFont()->SetColor(!enabled_ ? clGrayText : selected ? clHighlightText : clMenuText);
    TRect text{x + pictureWidth + 6, rect.top, rect.right - 2, rect.bottom};
    DrawTextW(canvas->GetHandle(), caption_.c_str(), static_cast<int>(caption_.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

void TPopupMenu::Create(TComponent *owner) {
    inherited::Create(owner);
    items_ = New<TMenuItem>(nullptr);
    items_->menu_ = this;
}

void TPopupMenu::SetImages(TCustomImageList *value) { SetFreeNotifiedReference(this, images_, value); }

void TPopupMenu::Destroy() {
    FreeAndNil(items_);
    if (window_ != nullptr) {
        DeallocateHWnd(window_);
        window_ = nullptr;
    }
    inherited::Destroy();
}

void TPopupMenu::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component == popupComponent_)
        popupComponent_ = nullptr;
    if (operation == opRemove && component == images_)
        images_ = nullptr;
}

HWND TPopupMenu::WindowHandle() {
    if (window_ == nullptr)
        window_ = AllocateHWnd([this](TMessage &m) { itemMessage(m); });
    return window_;
}

namespace {

// The size and the picture of the items the menu draws itself; false for any other message.
bool answerItemMessage(const TMessage &m) {
    if (m.Msg == WM_MEASUREITEM) {
        auto *measure = reinterpret_cast<MEASUREITEMSTRUCT *>(m.LParam);
        if (measure->CtlType != ODT_MENU || measure->itemData == 0)
            return false;
        auto *item = reinterpret_cast<TMenuItem *>(measure->itemData);
        TOwned<TCanvas> canvas(New<TCanvas>());
        HDC screen = GetDC(nullptr);
        canvas->SetHandle(screen);
        canvas->SetFont(Screen->MenuFont());
        int height = item->Caption() == L"-" ? 8 : canvas->TextHeight(L"Qg") + 4;
        int width = canvas->TextWidth(item->Caption()) + 32;
        try {
            item->MeasureItem(canvas.get(), width, height);
        } catch (...) {
            canvas->SetHandle(nullptr);
            ReleaseDC(nullptr, screen);
            throw;
        }
        canvas->SetHandle(nullptr);
        ReleaseDC(nullptr, screen);
        measure->itemWidth = static_cast<UINT>(std::max(width, 0));
        measure->itemHeight = static_cast<UINT>(std::max(height, 0));
        return true;
    }
    if (m.Msg == WM_DRAWITEM) {
        auto *draw = reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam);
        if (draw->CtlType != ODT_MENU || draw->itemData == 0)
            return false;
        auto *item = reinterpret_cast<TMenuItem *>(draw->itemData);
        TOwned<TCanvas> canvas(New<TCanvas>());
        int saved = SaveDC(draw->hDC);
        canvas->SetHandle(draw->hDC);
        canvas->SetFont(Screen->MenuFont());
        try {
            item->DrawItem(canvas.get(), draw->rcItem, (draw->itemState & ODS_SELECTED) != 0);
        } catch (...) {
            canvas->SetHandle(nullptr);
            RestoreDC(draw->hDC, saved);
            throw;
        }
        canvas->SetHandle(nullptr);
        RestoreDC(draw->hDC, saved);
        return true;
    }
    return false;
}

} // namespace

// No exception leaves the window: an item message that raised counts as answered all the same.
void TPopupMenu::itemMessage(TMessage &m) {
    bool answered = true;
    GuardedCall(this, [&] { answered = answerItemMessage(m); });
    if (answered)
        m.Result = TRUE;
    else
        DefaultHandler(window_, m);
}

namespace {

// Owner-drawn items carry the item itself as their data.
void appendItem(HMENU menu, UINT flags, UINT_PTR id, TMenuItem *item) {
    if (item->IsOwnerDrawn())
        AppendMenuW(menu, (flags & ~static_cast<UINT>(MF_STRING)) | MF_OWNERDRAW, id,
                    reinterpret_cast<LPCWSTR>(item));
    else
        AppendMenuW(menu, flags, id, item->Caption().c_str());
}

// Whether any item put in the menu, at any depth, is owner-drawn.
bool buildMenu(HMENU menu, TMenuItem *parent, std::vector<TMenuItem *> &commands) {
    bool ownerDrawn = false;
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem *item = parent->Items(i);
        if (!item->Visible())
            continue;
        UINT flags = MF_STRING;
        if (!item->Enabled())
            flags |= MF_GRAYED;
        if (item->Checked())
            flags |= MF_CHECKED;
        bool drawn = item->IsOwnerDrawn();
        ownerDrawn = ownerDrawn || drawn;
        if (item->Caption() == L"-" && !drawn) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (item->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            if (buildMenu(sub, item, commands))
                ownerDrawn = true;
            appendItem(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item);
        } else {
            commands.push_back(item);
            appendItem(menu, flags, commands.size(), item);
        }
    }
    return ownerDrawn;
}

TMenuItem *findByShortCut(TMenuItem *parent, TShortCut shortCut) {
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem *item = parent->Items(i);
        if (!item->Visible() || !item->Enabled())
            continue;
        if (item->ShortCut() == shortCut)
            return item;
        if (TMenuItem *found = findByShortCut(item, shortCut))
            return found;
    }
    return nullptr;
}

} // namespace

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup)
        OnPopup(this);
    std::vector<TMenuItem *> commands;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        RaiseLastOSError();
    bool ownerDrawn = buildMenu(menu, items_, commands);
    static constexpr UINT alignFlags[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
    // Owner-drawn items are measured and drawn through the menu's own window.
    HWND owner = ownerDrawn ? nullptr : GetActiveWindow();
    if (owner == nullptr)
        owner = WindowHandle();
    auto chosen = static_cast<std::size_t>(
        TrackPopupMenu(menu, alignFlags[alignment_] | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner, nullptr));
    DestroyMenu(menu);
    if (chosen >= 1 && chosen <= commands.size())
        commands[chosen - 1]->Click();
}

TMenuItem *TPopupMenu::FindItemByShortCut(TShortCut shortCut) {
    if (shortCut == scNone)
        return nullptr;
    return findByShortCut(items_, shortCut);
}

bool TPopupMenu::IsShortCut(const TWMKey &key) {
    TMenuItem *item = FindItemByShortCut(ShortCutOfKey(key));
    if (item == nullptr)
        return false;
    item->Click();
    return true;
}
