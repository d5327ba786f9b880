#include "classlib/actnlist.h"

#include "classlib/filer.h"
#include "classlib/typinfo.h"

namespace {

// Each link of an action of that kind, last first: a client may let go of the action meanwhile.
template <class Link, class F> void forEachLink(TList<TBasicActionLink *> &clients, F &&apply) {
    for (int i = clients.Count() - 1; i >= 0; --i)
        if (i < clients.Count())
            if (auto *link = dynamic_cast<Link *>(clients.Get(i)))
                apply(link);
}

} // namespace

// --- basic action

bool TBasicAction::Execute() {
    if (!OnExecute)
        return false;
    OnExecute(this);
    return true;
}

bool TBasicAction::Update() {
    if (!OnUpdate)
        return false;
    OnUpdate(this);
    return true;
}

void TBasicAction::RegisterChanges(TBasicActionLink *link) {
    link->action_ = this;
    clients_.Add(link);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink *link) {
    if (clients_.Remove(link) >= 0)
        link->action_ = nullptr;
}

void TBasicAction::Change() {
    forEachLink<TBasicActionLink>(clients_, [](TBasicActionLink *link) { link->Change(); });
}

void TBasicAction::Destroy() {
    // The controls hear of it first (free notification) and drop their links themselves.
    inherited::Destroy();
    while (clients_.Count() > 0)
        UnRegisterChanges(clients_.Last());
}

// --- link

void TBasicActionLink::SetAction(TBasicAction *value) {
    if (value == action_)
        return;
    if (action_ != nullptr)
        action_->UnRegisterChanges(this);
    action_ = nullptr;
    if (value != nullptr)
        value->RegisterChanges(this);
}

void TBasicActionLink::Change() {
    if (OnChange)
        OnChange(action_);
}

void TBasicActionLink::Destroy() {
    if (action_ != nullptr)
        action_->UnRegisterChanges(this);
    inherited::Destroy();
}

bool TActionLink::IsCaptionLinked() { return Is<TCustomAction>(Action()); }
bool TActionLink::IsCheckedLinked() { return Is<TCustomAction>(Action()); }
bool TActionLink::IsEnabledLinked() { return Is<TCustomAction>(Action()); }
bool TActionLink::IsImageIndexLinked() { return Is<TCustomAction>(Action()); }

void TControlActionLink::AssignClient(TObject *client) { client_ = As<TControl>(client); }

bool TControlActionLink::IsCaptionLinked() {
    return inherited::IsCaptionLinked() && client_->Caption() == static_cast<TCustomAction *>(Action())->Caption();
}

bool TControlActionLink::IsEnabledLinked() {
    return inherited::IsEnabledLinked() && client_->Enabled() == static_cast<TCustomAction *>(Action())->Enabled();
}

void TControlActionLink::SetCaption(const std::wstring &value) {
    if (IsCaptionLinked())
        client_->SetCaption(value);
}

void TControlActionLink::SetEnabled(bool value) {
    if (IsEnabledLinked())
        client_->SetEnabled(value);
}

// --- custom action

bool TCustomAction::Execute() { return enabled_ && inherited::Execute(); }

// The links compare their client with the value before the change.
template <class T, class Arg>
void TCustomAction::setLinked(T &field, const T &value, void (TActionLink::*tell)(Arg)) {
    if (value == field)
        return;
    forEachLink<TActionLink>(clients_, [&](TActionLink *link) { (link->*tell)(value); });
    field = value;
    Change();
}

void TCustomAction::SetCaption(const std::wstring &value) { setLinked(caption_, value, &TActionLink::SetCaption); }
void TCustomAction::SetChecked(bool value) { setLinked(checked_, value, &TActionLink::SetChecked); }
void TCustomAction::SetEnabled(bool value) { setLinked(enabled_, value, &TActionLink::SetEnabled); }
void TCustomAction::SetImageIndex(int value) { setLinked(imageIndex_, value, &TActionLink::SetImageIndex); }

void TCustomAction::SetActionList(TCustomActionList *value) {
    if (value == actionList_)
        return;
    if (actionList_ != nullptr)
        actionList_->actions_.Remove(this);
    actionList_ = value;
    if (value != nullptr)
        value->actions_.Add(this);
}

TComponent *TCustomAction::GetParentComponent() { return actionList_; }

void TCustomAction::SetParentComponent(TComponent *parent) {
    if (!ComponentState().Contains(csLoading))
        SetActionList(dynamic_cast<TCustomActionList *>(parent));
}

void TCustomAction::ReadState(TReader *reader) {
    inherited::ReadState(reader);
    if (auto *list = dynamic_cast<TCustomActionList *>(reader->Parent()))
        SetActionList(list);
}

void TCustomAction::Destroy() {
    SetActionList(nullptr);
    inherited::Destroy();
}

void TCustomAction::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.String(
        L"Caption", [this] { return caption_; }, [this](const std::wstring &v) { SetCaption(v); });
    list.Boolean(
        L"Checked", [this] { return checked_; }, [this](bool v) { SetChecked(v); }, false);
    list.Boolean(
        L"Enabled", [this] { return enabled_; }, [this](bool v) { SetEnabled(v); }, true);
    list.Integer(
        L"ImageIndex", [this] { return imageIndex_; }, [this](std::int64_t v) { SetImageIndex(static_cast<int>(v)); },
        -1);
}

// --- action list

void TCustomActionList::SetImages(TCustomImageList *value) {
    if (SetFreeNotifiedReference(this, images_, value))
        imagesChanged();
}

void TCustomActionList::imagesChanged() {
    for (int i = actions_.Count() - 1; i >= 0; --i)
        if (i < actions_.Count())
            actions_.Get(i)->Change();
}

void TCustomActionList::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component != nullptr && component == images_) {
        images_ = nullptr;
        imagesChanged();
    }
}

void TCustomActionList::GetChildren(const TGetChildProc &proc, TComponent *root) {
    for (int i = 0; i < actions_.Count(); ++i)
        if (actions_.Get(i)->Owner() == root)
            proc(actions_.Get(i));
}

void TCustomActionList::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.Component(
        L"Images", [this] { return static_cast<TComponent *>(images_); },
        [this](TComponent *v) { SetImages(dynamic_cast<TCustomImageList *>(v)); });
}

void TCustomActionList::Destroy() {
    // The list's actions go with it.
    while (actions_.Count() > 0)
        actions_.Last()->Free();
    inherited::Destroy();
}
