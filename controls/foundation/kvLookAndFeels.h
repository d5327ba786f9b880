// kvLookAndFeels: which drawing style a control uses, inherited along a chain of masters up to
// one root, and the painter that style stands for.
//
// A look-and-feel either holds a value itself (it is in AssignedValues) or takes it from its
// master, or from the root when it has none. A change of an effective value goes to every
// listener (the followers, whose own values it does not override) and to OnChanged. System
// colour changes reach every look-and-feel after the painters' shared resources were refreshed.
#ifndef KV_LOOK_AND_FEELS_H
#define KV_LOOK_AND_FEELS_H

#include <cstdint>

#include <classlib/component.h>
#include <classlib/events.h>
#include <classlib/list.h>
#include <classlib/sets.h>
#include <classlib/units.h>

#include "kvClasses.h"
#include "kvLookAndFeelPainters.h"
#include "kvSystemPalette.h"
#include "ztThemeManager.h"

// Holds the root look-and-feel; needs the painters.
extern TUnit kvLookAndFeelsUnit;

enum TkvLookAndFeelValue : std::uint8_t { lfvKind, lfvNativeStyle };
using TkvLookAndFeelValues = TSet<TkvLookAndFeelValue>;

class TkvLookAndFeel;

struct IkvLookAndFeelListener : IInterface {
    virtual TObject *GetListenerObject() = 0;
    virtual void LookAndFeelChanged(TkvLookAndFeel *sender, TkvLookAndFeelValues changedValues) = 0;
    virtual void LookAndFeelDestroying(TkvLookAndFeel *sender) = 0;
};

using TkvLookAndFeelChangedEvent = TEvent<void(TkvLookAndFeel *sender, TkvLookAndFeelValues changedValues)>;

class TkvLookAndFeel : public TkvInterfacedPersistent, public IkvLookAndFeelListener {
    CL_CLASS(TkvLookAndFeel, TkvInterfacedPersistent)

public:
    void Create(TPersistent *owner) override;

    TkvLookAndFeelValues AssignedValues() const noexcept { return assignedValues_; }
    void SetAssignedValues(TkvLookAndFeelValues values);
    TkvLookAndFeelKind Kind() const noexcept { return kind_; }
    void SetKind(TkvLookAndFeelKind value);
    bool NativeStyle() const noexcept { return nativeStyle_; }
    void SetNativeStyle(bool value);
    // Stored only when assigned here.
    bool IsKindStored() const noexcept { return assignedValues_.Contains(lfvKind); }
    bool IsNativeStyleStored() const noexcept { return assignedValues_.Contains(lfvNativeStyle); }

    TkvLookAndFeel *MasterLookAndFeel() const noexcept { return master_; }
    // Ignored for the root, for this object, for the current effective master and for a master
    // that follows this object (directly or further up its chain).
    void SetMasterLookAndFeel(TkvLookAndFeel *value);
    // The master, or the root when there is none (null for the root).
    TkvLookAndFeel *EffectiveMaster() const noexcept;
    bool IsRoot() const noexcept { return isRoot_; }

    void Assign(TPersistent *source) override;

    // A listener is added once; a controller only to the root.
    void AddChangeListener(IkvLookAndFeelListener *listener);
    void RemoveChangeListener(IkvLookAndFeelListener *listener);
    int ListenerCount() const noexcept { return listeners_.Count(); }

    // The WinXP painter when the native style is asked for and the kind's theme (or every
    // theme of the set) is available, else the painter of the effective kind.
    TkvPainterClass GetPainterClass(TztThemedObjectType kind) const;
    TkvPainterClass GetPainterClassForKinds(TztThemedObjectTypes kinds) const;
    TkvPainterClass GetPainter() const;

    TkvLookAndFeelChangedEvent OnChanged;

    // IkvLookAndFeelListener, as a follower of its master.
    TObject *GetListenerObject() override { return this; }
    void LookAndFeelChanged(TkvLookAndFeel *sender, TkvLookAndFeelValues changedValues) override;
    void LookAndFeelDestroying(TkvLookAndFeel *sender) override;

    virtual TkvLookAndFeelKind GetEffectiveKind() const;
    virtual bool GetEffectiveNativeStyle() const;
    virtual void SystemPaletteChanged();

protected:
    void Destroy() override;
    void Changed(TkvLookAndFeelValues values);

private:
    friend void kvLookAndFeelsCreateRoot();
    void saveState();
    void fireDifferences();
    void changeMaster(TkvLookAndFeel *value);

    TkvLookAndFeelValues assignedValues_;
    TkvLookAndFeelKind kind_ = lfUltraFlat;
    bool nativeStyle_ = false;
    TkvLookAndFeelKind ownKind_ = lfUltraFlat;
    bool ownNativeStyle_ = false;
    TList<IkvLookAndFeelListener *> listeners_;
    bool destroying_ = false;
    bool isRoot_ = false;
    TkvLookAndFeel *master_ = nullptr;
    TkvLookAndFeelKind savedKind_ = lfUltraFlat;
    bool savedNativeStyle_ = false;
    TkvSystemPaletteChangedNotifier *paletteNotifier_ = nullptr;
};

// The root every chain ends in; null while the unit is stopped.
TkvLookAndFeel *GetRootLookAndFeel() noexcept;
// The controllers registered with the root.
int LookAndFeelControllerCount() noexcept;

// Edits the root look-and-feel.
class TkvLookAndFeelController : public TComponent, public IkvLookAndFeelListener {
    CL_CLASS(TkvLookAndFeelController, TComponent)

public:
    void Create(TComponent *owner) override;

    TkvLookAndFeelKind Kind() const;
    void SetKind(TkvLookAndFeelKind value);
    bool NativeStyle() const;
    void SetNativeStyle(bool value);

    TObject *GetListenerObject() override { return this; }
    void LookAndFeelChanged(TkvLookAndFeel *, TkvLookAndFeelValues) override {}
    // The root going away modifies the form the controller sits on; told to OnDesignerModified.
    void LookAndFeelDestroying(TkvLookAndFeel *sender) override;
    TNotifyEvent OnDesignerModified;

protected:
    void Destroy() override;

private:
    bool registered_ = false;
};

#endif
