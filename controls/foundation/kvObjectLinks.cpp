// Weak links to controls and the one controller that clears them.
#include "kvClasses.h"

namespace {
constinit TkvObjectLinkController *controller = nullptr;
constinit std::int32_t controllerReferences = 0;
} // namespace

TkvObjectLink *TkvObjectLinkController::AddLink(TObject *control) {
    TkvObjectLink *link = New<TkvObjectLink>();
    link->Ref = control;
    try {
        links_.Add(link);
    } catch (...) {
        link->Free();
        throw;
    }
    return link;
}

void TkvObjectLinkController::RemoveLink(TkvObjectLink *link) {
    // A cleared link is no longer listed.
    if (link->Ref != nullptr)
        links_.Remove(link);
    link->Free();
}

void TkvObjectLinkController::ClearLinks(TObject *component) {
    for (int i = links_.Count() - 1; i >= 0; --i) {
        TkvObjectLink *link = links_.Get(i);
        if (link->Ref == component) {
            link->Ref = nullptr;
            links_.Delete(i);
        }
    }
}

TkvObjectLink *CreateObjectLink(TObject *control) {
    if (controller == nullptr)
        controller = New<TkvObjectLinkController>();
    ++controllerReferences;
    try {
        return controller->AddLink(control);
    } catch (...) {
        if (--controllerReferences == 0)
            FreeAndNil(controller);
        throw;
    }
}

void ReleaseObjectLink(TkvObjectLink *link) {
    if (link == nullptr)
        return;
    if (controller == nullptr) {
        link->Free();
        return;
    }
    controller->RemoveLink(link);
    if (--controllerReferences == 0)
        FreeAndNil(controller);
}

void ClearObjectLinks(TObject *component) {
    if (controller != nullptr)
        controller->ClearLinks(component);
}

TkvObjectLinkController *ObjectLinkController() noexcept { return controller; }
