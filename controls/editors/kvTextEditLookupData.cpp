#include "kvTextEditLookupData.h"

#include <classlib/string_utils.h>

#include <algorithm>

void TkvCustomTextEditLookupData::Create(TPersistent *owner) {
    inherited::Create(owner);
    InternalSetCurrentKey(-1);
}

IkvTextEditLookupOwner *TkvCustomTextEditLookupData::LookupOwner() {
    return Supports<IkvTextEditLookupOwner>(GetOwner());
}

TStringList *TkvCustomTextEditLookupData::Items() {
    IkvTextEditLookupOwner *owner = LookupOwner();
    return owner != nullptr ? owner->GetLookupItems() : nullptr;
}

std::wstring TkvCustomTextEditLookupData::GetItemText(int index) {
    TStringList *items = Items();
    if (items == nullptr || index < 0 || index >= items->Count())
        return {};
    return items->Strings(index);
}

int TkvCustomTextEditLookupData::GetItemCount() {
    TStringList *items = Items();
    return items != nullptr ? items->Count() : 0;
}

std::wstring TkvCustomTextEditLookupData::GetDisplayText(const Variant &key) {
    if (key.IsNull() || key.IsEmpty() || !key.IsOrdinal())
        return {};
    const std::int64_t index = key.AsInt64();
    if (index < 0 || index >= GetItemCount())
        return {};
    return GetItemText(static_cast<int>(index));
}

int TkvCustomTextEditLookupData::IndexOf(const std::wstring &text) {
    const int count = GetItemCount();
    for (int i = 0; i < count; ++i)
        if (AnsiSameText(GetItemText(i), text))
            return i;
    return -1;
}

bool TkvCustomTextEditLookupData::Locate(std::wstring &text, std::wstring &tail, bool next) {
    tail.clear();
    const int count = GetItemCount();
    if (count == 0) {
        InternalSetCurrentKey(-1);
        return false;
    }
    if (text.empty())
        return false;
    const int first = next ? std::max(itemIndex_ + 1, 0) : 0;
    const std::size_t typed = text.size();
    for (int i = first; i < count; ++i) {
        const std::wstring item = GetItemText(i);
        if (item.size() < typed || !AnsiSameText(std::wstring_view(item).substr(0, typed), text))
            continue;
        text = item.substr(0, typed);
        tail = item.substr(typed);
        InternalSetCurrentKey(i);
        return true;
    }
    InternalSetCurrentKey(-1);
    return false;
}

void TkvCustomTextEditLookupData::SetCurrentKey(const Variant &key) {
    int index = -1;
    if (!key.IsNull() && !key.IsEmpty() && key.IsOrdinal()) {
        const std::int64_t value = key.AsInt64();
        if (value < -1 || value >= GetItemCount())
            return;
        index = static_cast<int>(value);
    } else if (!key.IsNull() && !key.IsEmpty()) {
        return;
    }
    const int old = currentKey_;
    InternalSetCurrentKey(index);
    IkvTextEditLookupOwner *owner = LookupOwner();
    const std::wstring ownerText = owner != nullptr ? owner->GetLookupOwnerText() : std::wstring();
    if ((index != old || GetItemText(index) != ownerText) && OnSelectItem)
        OnSelectItem(this);
}

void TkvCustomTextEditLookupData::ListItemIndexChanged(int index) {
    if (index < -1 || index >= GetItemCount())
        return;
    InternalSetCurrentKey(index);
    if (OnCurrentKeyChanged)
        OnCurrentKeyChanged(this);
}

void TkvCustomTextEditLookupData::TextChanged() {
    IkvTextEditLookupOwner *owner = LookupOwner();
    std::wstring text = owner != nullptr ? owner->GetLookupOwnerText() : std::wstring();
    if (itemIndex_ >= 0 && itemIndex_ < GetItemCount() && AnsiSameText(GetItemText(itemIndex_), text))
        return;
    std::wstring tail;
    Locate(text, tail, false);
}
