// kvEditRepository: repository items whose properties several editors share, the repository that
// holds them, the registry of editor properties classes, and small routines the editors share.
#ifndef KV_EDIT_REPOSITORY_H
#define KV_EDIT_REPOSITORY_H

#include <windows.h>

#include <classlib/component.h>
#include <classlib/controls.h>
#include <classlib/list.h>
#include <classlib/variant.h>

#include <functional>
#include <string>

#include "kvClasses.h"
#include "kvEditProperties.h"

class TkvEditRepository;
class TkvEditRepositoryItem;

// How an item talks to the editors that use it.
struct IkvEditRepositoryItemListener : IInterface {
    // Forget the item, with no further notification.
    virtual void ItemRemoved(TkvEditRepositoryItem *item) = 0;
    virtual void ItemPropertiesChanged(TkvEditRepositoryItem *item) = 0;
};

class TkvEditRepositoryItem : public TComponent {
    CL_CLASS(TkvEditRepositoryItem, TComponent)

public:
    void Create(TComponent *owner) override;

    // The class of the properties the item owns.
    virtual TClass GetPropertiesClass() { return TkvCustomEditProperties::ClassInfo(); }
    TkvCustomEditProperties *Properties() const noexcept { return properties_; }
    TkvEditRepository *Repository() const noexcept { return repository_; }
    void SetRepository(TkvEditRepository *value);

    // A listener already present stays once.
    void AddListener(IkvEditRepositoryItemListener *listener);
    void RemoveListener(IkvEditRepositoryItemListener *listener);
    int ListenerCount() const noexcept { return listeners_.Count(); }

    bool HasParent() override { return repository_ != nullptr; }
    TComponent *GetParentComponent() override;
    void GetPublishedProperties(TPropList &list) override;
    void SetParentComponent(TComponent *parent) override;

protected:
    void Destroy() override;
    // The reader's parent becomes the repository once the item is read.
    void ReadState(TReader *reader) override;

private:
    void propertiesChanged(TObject *sender);

    TkvCustomEditProperties *properties_ = nullptr;
    TkvEditRepository *repository_ = nullptr;
    TList<IkvEditRepositoryItemListener *> listeners_;
};

class TkvEditRepository : public TComponent {
    CL_CLASS(TkvEditRepository, TComponent)

public:
    // Owned by the repository's owner.
    TkvEditRepositoryItem *CreateItem(TClass itemClass);
    TkvEditRepositoryItem *CreateItem(TClass itemClass, TComponent *owner);
    int Count() const noexcept { return items_.Count(); }
    TkvEditRepositoryItem *Items(int index) const { return items_.Get(index); }
    // Every item whose owner is the root.
    void GetChildren(const TGetChildProc &proc, TComponent *root) override;

protected:
    void Destroy() override;

private:
    friend class TkvEditRepositoryItem;
    TList<TkvEditRepositoryItem *> items_;
};

// The editor properties classes, each with "Name|Description"; sorted, made on first use.
TkvRegisteredClasses *EditPropertiesRegistry();
// Frees the registry (the editors' unit end); the next use makes a new one.
void FreeEditPropertiesRegistry();

bool VariantsEqualExactly(const Variant &a, const Variant &b);
// The text an edit value shows; Null, Empty and a value without a string form show none.
std::wstring EditValueText(const Variant &value);
// The key flags of a mouse message for a shift state.
WPARAM ShiftStateToKeys(TShiftState shift);
TShiftState MouseButtonToShift(TMouseButton button);
// Each of the sizes raised to at least the other's.
void CheckSizeMaximum(TSize &a, TSize &b);
bool IsWhiteSpace(wchar_t ch);
void SendKeyDown(HWND window, WPARAM key);
void SendKeyPress(HWND window, wchar_t key);

#endif
