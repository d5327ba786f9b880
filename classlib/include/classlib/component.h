// Components: ownership, free notification and component state.
//
// Stands in for the compiler library's component class. An owner frees the components it owns
// when it is freed; a component told of another (FreeNotification) hears of its removal through
// Notification, and an owner passes every notification on to the components it owns. State
// flags say whether the component is being loaded, designed or destroyed. Names are kept but not
// checked. The component reader and writer (filer.h) stream a component through ReadState and
// WriteState, with the children GetChildren hands them.
#ifndef CLASSLIB_COMPONENT_H
#define CLASSLIB_COMPONENT_H

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

#include "list.h"
#include "persistent.h"
#include "sets.h"

enum TComponentStateFlag : std::uint8_t {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csFreeNotification,
};
using TComponentState = TSet<TComponentStateFlag>;

enum TOperation : std::uint8_t { opInsert, opRemove };

class TComponent;
class TReader;
class TWriter;
using TGetChildProc = std::function<void(TComponent *)>;

class TComponent : public TPersistent, public IInterface {
    CL_CLASS(TComponent, TPersistent)

public:
    // The virtual constructor: the owner, when given, takes the component into its list.
    virtual void Create(TComponent *owner);

    TComponent *Owner() const noexcept { return owner_; }
    int ComponentCount() const noexcept { return components_.Count(); }
    TComponent *Components(int index) const { return components_.Get(index); }
    TComponentState ComponentState() const noexcept { return state_; }
    const std::wstring &Name() const noexcept { return name_; }
    virtual void SetName(const std::wstring &name) { name_ = name; }

    void InsertComponent(TComponent *component);
    void RemoveComponent(TComponent *component);
    // Both components hear of each other's removal (through their owner when they share one).
    void FreeNotification(TComponent *component);
    void RemoveFreeNotification(TComponent *component);

    // Marks the component and everything it owns as being destroyed.
    void Destroying();
    // The steps of loading a component built by code: Loading before its properties are set,
    // Loaded after.
    void Loading() { state_.Include(csLoading); }
    virtual void Loaded() { state_.Exclude(csLoading); }
    void SetDesigning(bool value, bool setChildren = true);

    virtual bool HasParent() { return false; }
    virtual TComponent *GetParentComponent() { return nullptr; }
    virtual void SetParentComponent(TComponent *) {}
    // The owned component of that name (ASCII case ignored), or null.
    TComponent *FindComponent(const std::wstring &name) const;
    // The components written as this one's children when root is streamed.
    virtual void GetChildren(const TGetChildProc &, TComponent *) {}
    // The owner and the parent the components read as children get (null owner: the root).
    virtual TComponent *GetChildOwner() { return nullptr; }
    virtual TComponent *GetChildParent() { return this; }

    void BeforeDestruction() override;

protected:
    void Destroy() override;
    virtual void Notification(TComponent *component, TOperation operation);
    TPersistent *GetOwner() override { return owner_; }
    // Reads the properties and the children (the reader's ReadData).
    virtual void ReadState(TReader *reader);
    virtual void WriteState(TWriter *writer);

private:
    friend class TReader;
    friend class TWriter;
    void insert(TComponent *component);
    void remove(TComponent *component);
    void removeNotification(TComponent *component);
    void destroyComponents();

    TComponent *owner_ = nullptr;
    TList<TComponent *> components_;
    TList<TComponent *> freeNotifies_;
    TComponentState state_;
    std::wstring name_;
};

// Points a component's reference at value, self watching the new target for being freed instead
// of the old one (self's Notification then clears the field). False when it held value already.
template <class T> bool SetFreeNotifiedReference(TComponent *self, T *&field, std::type_identity_t<T> *value) {
    if (field == value)
        return false;
    if (field != nullptr)
        field->RemoveFreeNotification(self);
    field = value;
    if (value != nullptr)
        value->FreeNotification(self);
    return true;
}

#endif
