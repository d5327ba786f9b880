#include "kvEditRepository.h"

#include "kvVariants.h"

#include <classlib/filer.h>

// --- TkvEditRepositoryItem

void TkvEditRepositoryItem::Create(TComponent *owner) {
    inherited::Create(owner);
    properties_ = NewOf<TkvCustomEditProperties>(GetPropertiesClass(), static_cast<TPersistent *>(this));
    properties_->OnPropertiesChanged = Bind(this, &TkvEditRepositoryItem::propertiesChanged);
}

void TkvEditRepositoryItem::Destroy() {
    for (int i = listeners_.Count() - 1; i >= 0; --i) {
        // A listener may leave the list while it forgets the item.
        if (i < listeners_.Count())
            listeners_.Get(i)->ItemRemoved(this);
    }
    listeners_.Clear();
    SetRepository(nullptr);
    FreeAndNil(properties_);
    inherited::Destroy();
}

void TkvEditRepositoryItem::propertiesChanged(TObject *) {
    for (int i = listeners_.Count() - 1; i >= 0; --i)
        if (i < listeners_.Count())
            listeners_.Get(i)->ItemPropertiesChanged(this);
}

void TkvEditRepositoryItem::AddListener(IkvEditRepositoryItemListener *listener) {
    if (listener != nullptr && listeners_.IndexOf(listener) < 0)
        listeners_.Add(listener);
}

void TkvEditRepositoryItem::RemoveListener(IkvEditRepositoryItemListener *listener) { listeners_.Remove(listener); }

TComponent *TkvEditRepositoryItem::GetParentComponent() { return repository_; }

void TkvEditRepositoryItem::SetParentComponent(TComponent *parent) {
    if (ComponentState().Contains(csLoading))
        return;
    SetRepository(dynamic_cast<TkvEditRepository *>(parent));
}

void TkvEditRepositoryItem::ReadState(TReader *reader) {
    inherited::ReadState(reader);
    if (auto *repository = dynamic_cast<TkvEditRepository *>(reader->Parent()))
        SetRepository(repository);
}

void TkvEditRepositoryItem::SetRepository(TkvEditRepository *value) {
    if (repository_ == value)
        return;
    if (repository_ != nullptr)
        repository_->items_.Remove(this);
    repository_ = value;
    if (value != nullptr && value->items_.IndexOf(this) < 0)
        value->items_.Add(this);
}

// --- TkvEditRepository

TkvEditRepositoryItem *TkvEditRepository::CreateItem(TClass itemClass) { return CreateItem(itemClass, Owner()); }

TkvEditRepositoryItem *TkvEditRepository::CreateItem(TClass itemClass, TComponent *owner) {
    TkvEditRepositoryItem *item = NewOf<TkvEditRepositoryItem>(itemClass, owner);
    item->SetRepository(this);
    return item;
}

void TkvEditRepository::GetChildren(const TGetChildProc &proc, TComponent *root) {
    for (int i = 0; i < items_.Count(); ++i)
        if (items_.Get(i)->Owner() == root)
            proc(items_.Get(i));
}

void TkvEditRepository::Destroy() {
    while (items_.Count() > 0)
        items_.Last()->Free(); // the item leaves the list itself
    inherited::Destroy();
}

// --- the registry and shared routines

namespace {
TOwned<TkvRegisteredClasses> registry;
} // namespace

void FreeEditPropertiesRegistry() { registry.reset(); }

TkvRegisteredClasses *EditPropertiesRegistry() {
    if (!registry) {
        registry.reset(New<TkvRegisteredClasses>(false));
        registry->SetSorted(true);
    }
    return registry.get();
}

bool VariantsEqualExactly(const Variant &a, const Variant &b) {
    return a.VarType() == b.VarType() && VariantsEqual(a, b);
}

std::wstring EditValueText(const Variant &value) {
    if (value.IsNull() || value.IsEmpty())
        return {};
    try {
        return value.AsWideString();
    } catch (const EVariantError &) {
        return {};
    }
}

WPARAM ShiftStateToKeys(TShiftState shift) {
    WPARAM keys = 0;
    if (shift.Contains(ssShift))
        keys |= MK_SHIFT;
    if (shift.Contains(ssCtrl))
        keys |= MK_CONTROL;
    if (shift.Contains(ssLeft))
        keys |= MK_LBUTTON;
    if (shift.Contains(ssRight))
        keys |= MK_RBUTTON;
    if (shift.Contains(ssMiddle))
        keys |= MK_MBUTTON;
    return keys;
}

TShiftState MouseButtonToShift(TMouseButton button) {
    static constexpr TShiftStateFlag flags[] = {ssLeft, ssRight, ssMiddle};
    TShiftState shift;
    shift.Include(flags[button <= mbMiddle ? button : mbLeft]);
    return shift;
}

void CheckSizeMaximum(TSize &a, TSize &b) {
    if (a.cx < b.cx)
        a.cx = b.cx;
    else
        b.cx = a.cx;
    if (a.cy < b.cy)
        a.cy = b.cy;
    else
        b.cy = a.cy;
}

bool IsWhiteSpace(wchar_t ch) {
    return ch == 0 || ch == 9 || ch == 10 || ch == 12 || ch == 13 || ch == 32;
}

void SendKeyDown(HWND window, WPARAM key) { SendMessageW(window, WM_KEYDOWN, key, 0); }
void SendKeyPress(HWND window, wchar_t key) { SendMessageW(window, WM_CHAR, static_cast<WPARAM>(key), 0); }
