// Popup menus of either kind: a TPopupMenu, or any component offering IkvPopupMenu.
#include "kvControls.h"

bool ShowPopupMenu(TWinControl *control, TComponent *popupMenu, int x, int y) {
    if (popupMenu == nullptr)
        return false;
    if (auto *menu = dynamic_cast<IkvPopupMenu *>(popupMenu)) {
        menu->Popup(x, y);
        return true;
    }
    if (auto *menu = dynamic_cast<TPopupMenu *>(popupMenu); menu != nullptr && menu->AutoPopup()) {
        menu->SetPopupComponent(control);
        menu->Popup(x, y);
        return true;
    }
    return false;
}

bool IsPopupMenuShortCut(TComponent *popupMenu, TWMKey &message) {
    if (popupMenu == nullptr)
        return false;
    if (auto *menu = dynamic_cast<IkvPopupMenu *>(popupMenu))
        return menu->IsShortCut(message);
    if (auto *menu = dynamic_cast<TPopupMenu *>(popupMenu); menu != nullptr && menu->WindowHandle() != nullptr)
        return menu->IsShortCut(message);
    return false;
}

// Every visible item counts the height of "Qg" in the menu font plus 4, or what an owner-drawn
// item's MeasureItem makes of that; the menu adds 4.
int GetPopupMenuHeight(TComponent *popupMenu) {
    auto *menu = dynamic_cast<TPopupMenu *>(popupMenu);
    if (menu == nullptr)
        return 0;
    TOwned<TkvScreenCanvas> canvas(New<TkvScreenCanvas>());
    canvas->SetFont(Screen->MenuFont());
    int itemHeight = canvas->TextHeight(L"Qg") + 4;
    int height = 4;
    TMenuItem *items = menu->Items();
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem *item = items->Items(i);
        if (!item->Visible())
            continue;
        int h = itemHeight;
        if (item->IsOwnerDrawn()) {
            int w = 0;
            item->MeasureItem(canvas->Canvas(), w, h);
        }
        height += h;
    }
    return height;
}

void SetPopupMenuReference(TComponent *owner, TComponent *&field, TComponent *value) {
    if (dynamic_cast<TPopupMenu *>(value) == nullptr && dynamic_cast<IkvPopupMenu *>(value) == nullptr)
        value = nullptr;
    SetFreeNotifiedReference(owner, field, value);
}
