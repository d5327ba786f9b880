#include "classlib/collection.h"

#include "classlib/exceptions.h"

void TCollectionItem::Create(TCollection *collection) {
    inherited::Create();
    SetCollection(collection);
}

void TCollectionItem::Destroy() {
    SetCollection(nullptr);
    inherited::Destroy();
}

TPersistent *TCollectionItem::GetOwner() { return collection_; }

void TCollectionItem::SetCollection(TCollection *value) {
    if (value == collection_)
        return;
    if (collection_ != nullptr)
        collection_->removeItem(this);
    if (value != nullptr)
        value->insertItem(this);
}

int TCollectionItem::Index() const { return collection_ != nullptr ? collection_->items_.IndexOf(const_cast<TCollectionItem *>(this)) : -1; }

void TCollectionItem::SetIndex(int value) {
    int current = Index();
    if (current < 0 || value == current || value < 0 || value >= collection_->Count())
        return;
    collection_->items_.Move(current, value);
    Changed(true);
}

void TCollectionItem::Changed(bool allItems) {
    if (collection_ != nullptr && collection_->updateCount_ == 0)
        collection_->Update(allItems ? nullptr : this);
}

void TCollection::Create(TClass itemClass) {
    inherited::Create();
    itemClass_ = itemClass;
}

void TCollection::Destroy() {
    ++updateCount_;
    while (items_.Count() > 0)
        ::Free(items_.Get(items_.Count() - 1));
    inherited::Destroy();
}

TCollectionItem *TCollection::Add() { return NewOf<TCollectionItem>(itemClass_, this); }

TCollectionItem *TCollection::Insert(int index) {
    TCollectionItem *item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) { ::Free(Items(index)); }

void TCollection::Clear() {
    if (items_.Count() == 0)
        return;
    BeginUpdate();
    try {
        while (items_.Count() > 0)
            ::Free(items_.Get(items_.Count() - 1));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TCollectionItem *TCollection::FindItemID(int id) const {
    for (int i = 0; i < items_.Count(); ++i)
        if (items_.Get(i)->id_ == id)
            return items_.Get(i);
    return nullptr;
}

void TCollection::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0)
        Changed();
}

void TCollection::Changed() {
    if (updateCount_ == 0)
        Update(nullptr);
}

void TCollection::insertItem(TCollectionItem *item) {
    items_.Add(item);
    item->collection_ = this;
    item->id_ = nextId_++;
    Added(item);
    Changed();
}

void TCollection::removeItem(TCollectionItem *item) {
    items_.Remove(item);
    item->collection_ = nullptr;
    Changed();
}

void TCollection::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TCollection *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    BeginUpdate();
    try {
        Clear();
        for (int i = 0; i < other->Count(); ++i)
            Add()->Assign(other->Items(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TOwnedCollection::Create(TPersistent *owner, TClass itemClass) {
    owner_ = owner;
    inherited::Create(itemClass);
}
