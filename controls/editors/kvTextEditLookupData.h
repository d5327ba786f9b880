// kvTextEditLookupData: the index over a text editor's lookup items, and the incremental
// completion of typed text from them. The key of an item is its index; -1 is none.
#ifndef KV_TEXT_EDIT_LOOKUP_DATA_H
#define KV_TEXT_EDIT_LOOKUP_DATA_H

#include <classlib/events.h>
#include <classlib/geometry.h>
#include <classlib/string_list.h>
#include <classlib/variant.h>

#include <string>

#include "kvClasses.h"

// What the lookup data needs of the editor that owns it.
struct IkvTextEditLookupOwner : IInterface {
    // The active properties' lookup items (none while they are being torn down).
    virtual TStringList *GetLookupItems() = 0;
    // The editor's current text.
    virtual std::wstring GetLookupOwnerText() = 0;
};

struct IkvTextEditLookupData : IInterface {
    virtual Variant GetCurrentKey() = 0;
    virtual std::wstring GetDisplayText(const Variant &key) = 0;
    virtual int IndexOf(const std::wstring &text) = 0;
    virtual bool Locate(std::wstring &text, std::wstring &tail, bool next) = 0;
    virtual void SetCurrentKey(const Variant &key) = 0;
    virtual bool IsEmpty() = 0;
    virtual void ItemsChanged() = 0;
    virtual void SetOnCurrentKeyChanged(TNotifyEvent handler) = 0;
    virtual void SetOnSelectItem(TNotifyEvent handler) = 0;
};

class TkvCustomTextEditLookupData : public TkvInterfacedPersistent, public IkvTextEditLookupData {
    CL_CLASS(TkvCustomTextEditLookupData, TkvInterfacedPersistent)

public:
    // The owner should offer IkvTextEditLookupOwner; without it the data has no items.
    void Create(TPersistent *owner) override;

    // --- IkvTextEditLookupData
    Variant GetCurrentKey() override { return Variant(currentKey_); }
    std::wstring GetDisplayText(const Variant &key) override;
    int IndexOf(const std::wstring &text) override;
    // Completes text from the first item (after the current one when next) that starts with it,
    // ignoring case: text takes the item's own case, tail the rest of the item. No match or no
    // items: false, and the current key becomes -1. An empty text: false, the key unchanged.
    bool Locate(std::wstring &text, std::wstring &tail, bool next) override;
    void SetCurrentKey(const Variant &key) override;
    bool IsEmpty() override { return GetItemCount() == 0; }
    void ItemsChanged() override { DoItemsChanged(); }
    void SetOnCurrentKeyChanged(TNotifyEvent handler) override { OnCurrentKeyChanged = std::move(handler); }
    void SetOnSelectItem(TNotifyEvent handler) override { OnSelectItem = std::move(handler); }

    int CurrentKey() const noexcept { return currentKey_; }
    int ItemIndex() const noexcept { return itemIndex_; }
    TStringList *Items();

    // --- overridable, in slot order
    virtual std::wstring GetItemText(int index);
    virtual int GetItemCount();
    // No lookup list exists in this system.
    virtual TClass GetListClass() { return nullptr; }
    virtual void ListItemIndexChanged(int index);
    virtual void DoItemsChanged() {}
    virtual bool CanResizeVisualArea() { return true; }
    virtual void DroppedDown() {}
    virtual void CloseUp() {}
    virtual bool IsLookupItemText(const std::wstring &text) { return IndexOf(text) >= 0; }
    virtual TSize GetListPreferredSize() { return TSize{0, 0}; }
    virtual void ShowList() {}
    virtual void SetListBounds(const TRect &) {}
    virtual void ItemsUpdated() { DoItemsChanged(); }
    // The editor's text changed: the item found again from the first one, unless it still matches.
    virtual void TextChanged();

    TNotifyEvent OnCurrentKeyChanged;
    TNotifyEvent OnSelectItem;

protected:
    // Key and item index, without events.
    void InternalSetCurrentKey(int key) noexcept {
        currentKey_ = key;
        itemIndex_ = key;
    }
    IkvTextEditLookupOwner *LookupOwner();

private:
    int currentKey_ = -1;
    int itemIndex_ = -1;
};

#endif
