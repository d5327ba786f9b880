// What the component reader and writer see of the controls: their published properties, the
// parent a control read gets, and the children a windowed control and a form hand over.
#include "classlib/actnlist.h"
#include "classlib/filer.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "classlib/typinfo.h"

void TControl::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.Integer(
        L"Left", [this] { return left_; }, [this](std::int64_t v) { SetLeft(static_cast<int>(v)); }, 0);
    list.Integer(
        L"Top", [this] { return top_; }, [this](std::int64_t v) { SetTop(static_cast<int>(v)); }, 0);
    list.Integer(
        L"Width", [this] { return width_; }, [this](std::int64_t v) { SetWidth(static_cast<int>(v)); }, 0);
    list.Integer(
        L"Height", [this] { return height_; }, [this](std::int64_t v) { SetHeight(static_cast<int>(v)); }, 0);
    list.Boolean(
        L"Enabled", [this] { return enabled_; }, [this](bool v) { SetEnabled(v); }, true);
    list.Boolean(
        L"Visible", [this] { return visible_; }, [this](bool v) { SetVisible(v); }, true);
    list.Enum(
        L"BiDiMode", {L"bdLeftToRight", L"bdRightToLeft", L"bdRightToLeftNoAlign", L"bdRightToLeftReadingOnly"},
        [this] { return biDiMode_; }, [this](std::int64_t v) { SetBiDiMode(static_cast<TBiDiMode>(v)); },
        bdLeftToRight);
    list.SetStored(L"BiDiMode", [this] { return !parentBiDiMode_; });
    list.Boolean(
        L"ParentBiDiMode", [this] { return parentBiDiMode_; }, [this](bool v) { SetParentBiDiMode(v); }, true);
    list.Component(
        L"Action", [this] { return static_cast<TComponent *>(Action()); },
        [this](TComponent *v) { SetAction(dynamic_cast<TBasicAction *>(v)); });
}

void TControl::ReadState(TReader *reader) {
    controlState_.Include(csReadingState);
    try {
        if (auto *parent = dynamic_cast<TWinControl *>(reader->Parent()))
            SetParent(parent);
        inherited::ReadState(reader);
    } catch (...) {
        controlState_.Exclude(csReadingState);
        throw;
    }
    controlState_.Exclude(csReadingState);
}

void TWinControl::GetChildren(const TGetChildProc &proc, TComponent *root) {
    for (int i = 0; i < ControlCount(); ++i)
        if (Controls(i)->Owner() == root)
            proc(Controls(i));
}

void TCustomForm::GetChildren(const TGetChildProc &proc, TComponent *root) {
    inherited::GetChildren(proc, root);
    if (root != this)
        return;
    for (int i = 0; i < ComponentCount(); ++i)
        if (!Components(i)->HasParent())
            proc(Components(i));
}

void TCustomForm::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.String(
        L"Caption", [this] { return GetText(); }, [this](const std::wstring &v) { SetText(v); });
}

void TButton::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.String(
        L"Caption", [this] { return GetText(); }, [this](const std::wstring &v) { SetText(v); });
    list.Boolean(
        L"Default", [this] { return default_; }, [this](bool v) { SetDefault(v); }, false);
    list.Boolean(
        L"Cancel", [this] { return cancel_; }, [this](bool v) { SetCancel(v); }, false);
    list.Integer(
        L"ModalResult", [this] { return modalResult_; },
        [this](std::int64_t v) { SetModalResult(static_cast<TModalResult>(v)); }, 0);
}
