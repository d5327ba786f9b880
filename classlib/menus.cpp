#include "classlib/menus.h"

#include <vector>

#include "classlib/forms.h"

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

void TPopupMenu::Create(TComponent *owner) {
    inherited::Create(owner);
    items_ = New<TMenuItem>(nullptr);
}

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
}

HWND TPopupMenu::WindowHandle() {
    if (window_ == nullptr)
        window_ = AllocateHWnd([this](TMessage &m) { DefaultHandler(window_, m); });
    return window_;
}

namespace {

void buildMenu(HMENU menu, TMenuItem *parent, std::vector<TMenuItem *> &commands) {
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem *item = parent->Items(i);
        if (!item->Visible())
            continue;
        UINT flags = MF_STRING;
        if (!item->Enabled())
            flags |= MF_GRAYED;
        if (item->Checked())
            flags |= MF_CHECKED;
        if (item->Caption() == L"-") {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (item->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            buildMenu(sub, item, commands);
            AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption().c_str());
        } else {
            commands.push_back(item);
            AppendMenuW(menu, flags, commands.size(), item->Caption().c_str());
        }
    }
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
    buildMenu(menu, items_, commands);
    static constexpr UINT alignFlags[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
    HWND owner = GetActiveWindow();
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
