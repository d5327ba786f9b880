#include "classlib/component.h"

#include "classlib/filer.h"
#include "classlib/string_utils.h"

void TComponent::Create(TComponent *owner) {
    if (owner != nullptr)
        owner->InsertComponent(this);
}

void TComponent::InsertComponent(TComponent *component) {
    if (component == nullptr || component->owner_ == this)
        return;
    if (component->owner_ != nullptr)
        component->owner_->RemoveComponent(component);
    insert(component);
    if (state_.Contains(csDesigning))
        component->SetDesigning(true);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent *component) {
    if (component == nullptr || component->owner_ != this)
        return;
    Notification(component, opRemove);
    remove(component);
}

void TComponent::insert(TComponent *component) {
    components_.Add(component);
    component->owner_ = this;
}

void TComponent::remove(TComponent *component) {
    components_.Remove(component);
    component->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent *component) {
    if (component == nullptr || component == this)
        return;
    // Components of one owner hear of each other through it.
    if (owner_ == nullptr || component->owner_ != owner_) {
        if (freeNotifies_.IndexOf(component) < 0) {
            freeNotifies_.Add(component);
            component->FreeNotification(this);
        }
    }
    state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent *component) {
    if (component == nullptr)
        return;
    removeNotification(component);
    component->removeNotification(this);
}

void TComponent::removeNotification(TComponent *component) { freeNotifies_.Remove(component); }

void TComponent::Notification(TComponent *component, TOperation operation) {
    if (operation == opRemove && component != nullptr)
        RemoveFreeNotification(component);
    // Passed on to every owned component; the list may shrink while it is walked.
    int i = components_.Count() - 1;
    while (i >= 0) {
        components_.Get(i)->Notification(component, operation);
        if (--i >= components_.Count())
            i = components_.Count() - 1;
    }
}

void TComponent::Destroying() {
    if (state_.Contains(csDestroying))
        return;
    state_.Include(csDestroying);
    for (TComponent *component : components_)
        component->Destroying();
}

void TComponent::SetDesigning(bool value, bool setChildren) {
    if (value)
        state_.Include(csDesigning);
    else
        state_.Exclude(csDesigning);
    if (setChildren)
        for (TComponent *component : components_)
            component->SetDesigning(value, true);
}

void TComponent::BeforeDestruction() {
    if (!state_.Contains(csDestroying))
        Destroying();
}

void TComponent::destroyComponents() {
    while (!components_.Empty()) {
        TComponent *component = components_.Last();
        if (component->state_.Contains(csFreeNotification))
            RemoveComponent(component);
        else
            remove(component);
        component->Free();
    }
}

void TComponent::Destroy() {
    Destroying();
    // Each one is taken off both lists before it hears, so that no notification reaches it twice
    // whatever its Notification does.
    while (!freeNotifies_.Empty()) {
        TComponent *other = freeNotifies_.Last();
        freeNotifies_.Remove(other);
        other->removeNotification(this);
        other->Notification(this, opRemove);
    }
    destroyComponents();
    if (owner_ != nullptr)
        owner_->RemoveComponent(this);
    inherited::Destroy();
}

TComponent *TComponent::FindComponent(const std::wstring &name) const {
    if (name.empty())
        return nullptr;
    for (int i = 0; i < components_.Count(); ++i)
        if (SameText(components_.Get(i)->Name(), name))
            return components_.Get(i);
    return nullptr;
}

void TComponent::ReadState(TReader *reader) { reader->ReadData(this); }

void TComponent::WriteState(TWriter *writer) { writer->WriteData(this); }
