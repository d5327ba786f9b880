// kvClasses: the smallest building blocks of the control library. A persistent that knows its
// owner, a component with designer-only link properties, the registry of classes with display
// texts, weak links that tell whether a control was destroyed while in use, a component that
// turns free notifications into an event, the hook every resource string passes through, and a
// few small routines.
#ifndef KV_CLASSES_H
#define KV_CLASSES_H

#include <classlib/component.h>
#include <classlib/events.h>
#include <classlib/geometry.h>
#include <classlib/list.h>
#include <classlib/persistent.h>
#include <classlib/string_list.h>
#include <classlib/units.h>

#include <cstdint>
#include <string>
#include <string_view>

extern TUnit kvClassesUnit;

// A persistent with an owner, created through a class reference with that owner.
class TkvInterfacedPersistent : public TInterfacedPersistent {
    CL_CLASS(TkvInterfacedPersistent, TInterfacedPersistent)

public:
    virtual void Create(TPersistent *owner) { owner_ = owner; }

protected:
    TPersistent *GetOwner() override { return owner_; }

private:
    TPersistent *owner_ = nullptr;
};

// A component whose three link properties show the designer what it refers to; they are never
// stored.
class TkvComponent : public TComponent {
    CL_CLASS(TkvComponent, TComponent)

public:
    static constexpr int fakeComponentLinkCount = 3;

    TComponent *FakeComponentLink1() const noexcept { return fakeLinks_[0]; }
    TComponent *FakeComponentLink2() const noexcept { return fakeLinks_[1]; }
    TComponent *FakeComponentLink3() const noexcept { return fakeLinks_[2]; }
    void SetFakeComponentLink1(TComponent *value) noexcept { fakeLinks_[0] = value; }
    void SetFakeComponentLink2(TComponent *value) noexcept { fakeLinks_[1] = value; }
    void SetFakeComponentLink3(TComponent *value) noexcept { fakeLinks_[2] = value; }

    void Loaded() override;
    void BeforeDestruction() override;

protected:
    // Fills the list with the components the links should show, in order.
    virtual void CollectComponentLinks(TList<TComponent *> &) {}
    void Destroy() override;

private:
    void updateFakeLinks();

    TComponent *fakeLinks_[fakeComponentLinkCount] = {};
};

class TkvRegisteredClasses;

// The registry's item list: a string list that knows its registry.
class TkvRegisteredClassesStringList : public TStringListOf<TClass> {
    CL_CLASS(TkvRegisteredClassesStringList, TStringListOf<TClass>)

public:
    TkvRegisteredClasses *RegisteredClasses = nullptr;
};

// Classes with their descriptions, "DisplayName|Hint", each class listed once.
class TkvRegisteredClasses : public TObject {
    CL_CLASS(TkvRegisteredClasses, TObject)

public:
    // With registerClasses, every class registered here is also registered by name.
    void Create(bool registerClasses);

    // A class already listed keeps its first description; a null class is ignored.
    void Register(TClass cls, const std::wstring &description);
    int FindByClass(TClass cls) const;
    // The display name of an item.
    std::wstring GetDescription(int index) const;
    int Count() const noexcept { return items_->Count(); }
    TkvRegisteredClassesStringList *Items() const noexcept { return items_; }
    bool Sorted() const noexcept { return sorted_; }
    void SetSorted(bool value);
    void Clear();

    virtual int CompareItems(int index1, int index2);
    virtual void Sort();

protected:
    void Destroy() override;

private:
    TkvRegisteredClassesStringList *items_ = nullptr;
    bool registerClasses_ = false;
    bool sorted_ = false;
};

// A weak reference to a control: Ref becomes null when the control is destroyed.
class TkvObjectLink : public TObject {
    CL_CLASS(TkvObjectLink, TObject)

public:
    TObject *Ref = nullptr;
};

class TkvObjectLinkController : public TObject {
    CL_CLASS(TkvObjectLinkController, TObject)

public:
    TkvObjectLink *AddLink(TObject *control);
    void RemoveLink(TkvObjectLink *link);
    void ClearLinks(TObject *component);
    int LinkCount() const noexcept { return links_.Count(); }

private:
    TList<TkvObjectLink *> links_;
};

TkvObjectLink *CreateObjectLink(TObject *control);
void ReleaseObjectLink(TkvObjectLink *link);
void ClearObjectLinks(TObject *component);
// The global controller; it exists exactly while a link is outstanding.
TkvObjectLinkController *ObjectLinkController() noexcept;

using TkvFreeNotificationEvent = TEvent<void(TComponent *component)>;

// Turns the removal of the components it was told of into an event.
class TkvFreeNotificator : public TComponent {
    CL_CLASS(TkvFreeNotificator, TComponent)

public:
    TkvFreeNotificationEvent OnFreeNotification;

protected:
    void Notification(TComponent *component, TOperation operation) override;
};

// The text before the first "|", or the whole text.
std::wstring GetTextBeforeBar(std::wstring_view text);
TPersistent *GetPersistentOwner(TPersistent *persistent);
TSize MakeSize(std::int32_t width, std::int32_t height);
// The mean of a and b rounded towards minus infinity.
std::int32_t GetMiddle(std::int32_t a, std::int32_t b);

// The translation of a loaded resource string: itself unless the translation lists hold it.
std::wstring TranslateResourceString(const std::wstring &loaded);
// Gives the unit its translation lists (a string and its replacement at the same index); the
// unit owns them from then on and frees them at its end.
void SetResourceStringTranslations(TStringList *source, TStringList *target);

#endif
