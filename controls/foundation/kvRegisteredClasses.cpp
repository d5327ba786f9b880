// The registry of classes with display texts.
#include "kvClasses.h"

#include <classlib/class_registry.h>
#include <classlib/string_utils.h>

void TkvRegisteredClasses::Create(bool registerClasses) {
    registerClasses_ = registerClasses;
    items_ = New<TkvRegisteredClassesStringList>();
    items_->RegisteredClasses = this;
}

void TkvRegisteredClasses::Destroy() {
    if (items_ != nullptr)
        Clear();
    FreeAndNil(items_);
    inherited::Destroy();
}

void TkvRegisteredClasses::Register(TClass cls, const std::wstring &description) {
    if (cls == nullptr || FindByClass(cls) >= 0)
        return;
    items_->AddObject(description, cls);
    if (sorted_)
        Sort();
    if (registerClasses_)
        RegisterNamedClass(cls);
}

int TkvRegisteredClasses::FindByClass(TClass cls) const { return items_->IndexOfObject(cls); }

std::wstring TkvRegisteredClasses::GetDescription(int index) const {
    return GetTextBeforeBar(items_->Strings(index));
}

void TkvRegisteredClasses::SetSorted(bool value) {
    if (value == sorted_)
        return;
    sorted_ = value;
    if (sorted_)
        Sort();
}

void TkvRegisteredClasses::Clear() { items_->Clear(); }

int TkvRegisteredClasses::CompareItems(int index1, int index2) {
    return AnsiCompareText(GetDescription(index1), GetDescription(index2));
}

void TkvRegisteredClasses::Sort() {
    items_->CustomSort([](TStringListOf<TClass> &list, int index1, int index2) {
        return static_cast<TkvRegisteredClassesStringList &>(list).RegisteredClasses->CompareItems(index1, index2);
    });
}
