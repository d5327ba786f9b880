// A control's action: the link that keeps its caption and enabled state in step.
#include "classlib/actnlist.h"

TBasicAction *TControl::Action() const noexcept { return actionLink_ != nullptr ? actionLink_->Action() : nullptr; }

TClass TControl::GetActionLinkClass() { return TControlActionLink::ClassInfo(); }

void TControl::SetAction(TBasicAction *value) {
    if (value == nullptr) {
        if (actionLink_ != nullptr) {
            if (TBasicAction *old = actionLink_->Action())
                old->RemoveFreeNotification(this);
            FreeAndNil(actionLink_);
        }
        controlStyle_.Exclude(csActionClient);
        return;
    }
    controlStyle_.Include(csActionClient);
    if (actionLink_ == nullptr)
        actionLink_ = NewOf<TControlActionLink>(GetActionLinkClass(), static_cast<TObject *>(this));
    else if (TBasicAction *old = actionLink_->Action(); old != nullptr && old != value)
        old->RemoveFreeNotification(this);
    actionLink_->SetAction(value);
    actionLink_->OnChange = [this](TObject *sender) { doActionChange(sender); };
    ActionChange(value, value->ComponentState().Contains(csLoading));
    value->FreeNotification(this);
}

void TControl::doActionChange(TObject *sender) {
    if (sender != nullptr && sender == Action())
        ActionChange(sender, false);
}

void TControl::ActionChange(TObject *sender, bool checkDefaults) {
    auto *action = dynamic_cast<TCustomAction *>(sender);
    if (action == nullptr)
        return;
    if (!checkDefaults || Caption().empty() || Caption() == Name())
        SetCaption(action->Caption());
    if (!checkDefaults || Enabled())
        SetEnabled(action->Enabled());
}

void TControl::clickAction() { actionLink_->Execute(this); }

void TControl::actionRemoved(TComponent *component) {
    if (component != nullptr && component == Action())
        SetAction(nullptr);
}
