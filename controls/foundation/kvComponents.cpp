// The component with designer links and the free notificator.
#include "kvClasses.h"

void TkvComponent::Loaded() {
    inherited::Loaded();
    updateFakeLinks();
}

void TkvComponent::updateFakeLinks() {
    TComponentState state = ComponentState();
    if (!state.Contains(csDesigning) || state.Contains(csDestroying) || Owner() == nullptr)
        return;
    TList<TComponent *> links;
    CollectComponentLinks(links);
    for (int index = 0; index < fakeComponentLinkCount; ++index)
        fakeLinks_[index] = index < links.Count() ? links.Get(index) : nullptr;
}

void TkvComponent::BeforeDestruction() {
    if (!ComponentState().Contains(csDestroying))
        Destroying();
}

void TkvComponent::Destroy() {
    ClearObjectLinks(this);
    inherited::Destroy();
}

void TkvFreeNotificator::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && OnFreeNotification)
        OnFreeNotification(component);
}
