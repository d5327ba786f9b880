// Collections: an owned list of items of one class that tell the collection when they change.
//
// Stands in for the compiler library's collection and collection item. An item belongs to at
// most one collection; creating it with a collection adds it there, freeing it takes it out.
// Changes are reported through Update (one item, or null for the whole collection) unless an
// update bracket is open; closing the outermost bracket reports the whole collection once.
#ifndef CLASSLIB_COLLECTION_H
#define CLASSLIB_COLLECTION_H

#include "list.h"
#include "persistent.h"

class TCollection;

class TCollectionItem : public TPersistent {
    CL_CLASS(TCollectionItem, TPersistent)

public:
    virtual void Create(TCollection *collection);

    TCollection *Collection() const noexcept { return collection_; }
    // Moves the item to another collection (null takes it out).
    void SetCollection(TCollection *value);
    int Index() const;
    void SetIndex(int value);
    int ID() const noexcept { return id_; }

protected:
    void Destroy() override;
    TPersistent *GetOwner() override;
    // Tells the collection: this item, or every item.
    virtual void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection *collection_ = nullptr;
    int id_ = 0;
};

class TCollection : public TPersistent {
    CL_CLASS(TCollection, TPersistent)

public:
    virtual void Create(TClass itemClass);

    // A new item of the item class, added at the end.
    TCollectionItem *Add();
    TCollectionItem *Insert(int index);
    void Delete(int index);
    void Clear();
    int Count() const noexcept { return items_.Count(); }
    TCollectionItem *Items(int index) const { return items_.Get(index); }
    TCollectionItem *FindItemID(int id) const;
    TClass ItemClass() const noexcept { return itemClass_; }
    virtual void BeginUpdate() { ++updateCount_; }
    virtual void EndUpdate();
    int UpdateCount() const noexcept { return updateCount_; }
    // The items of another collection, copied into new items of this one.
    void Assign(TPersistent *source) override;

protected:
    void Destroy() override;
    // What changed: one item, or null for all of them.
    virtual void Update(TCollectionItem *) {}
    // After an item joined (before Update).
    virtual void Added(TCollectionItem *) {}
    // Reports the whole collection unless an update bracket is open.
    void Changed();

private:
    friend class TCollectionItem;
    void insertItem(TCollectionItem *item);
    void removeItem(TCollectionItem *item);

    TList<TCollectionItem *> items_;
    TClass itemClass_ = nullptr;
    int updateCount_ = 0;
    int nextId_ = 0;
};

// A collection that answers its owner.
class TOwnedCollection : public TCollection {
    CL_CLASS(TOwnedCollection, TCollection)

public:
    virtual void Create(TPersistent *owner, TClass itemClass);
    TPersistent *Owner() const noexcept { return owner_; }

protected:
    TPersistent *GetOwner() override { return owner_; }

private:
    TPersistent *owner_ = nullptr;
};

#endif
