// What the component reader and writer see of an editor and its properties.
#include <classlib/filer.h>
#include <classlib/typinfo.h>

#include "kvEdit.h"
#include "kvEditProperties.h"
#include "kvEditRepository.h"

void TkvCustomEdit::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.SetStored(L"Width", [] { return false; });
    list.SetStored(L"Height", [] { return false; });
    list.Boolean(
        L"AutoSize", [this] { return autoSize_; }, [this](bool v) { SetAutoSize(v); }, true);
    list.Class(L"Properties", [this] { return static_cast<TPersistent *>(properties_); });
    list.Component(
        L"RepositoryItem", [this] { return static_cast<TComponent *>(repositoryItem_); },
        [this](TComponent *v) { SetRepositoryItem(dynamic_cast<TkvEditRepositoryItem *>(v)); });
}

void TkvCustomEdit::ReadState(TReader *reader) {
    properties_->OnPropertiesChanged = nullptr;
    inherited::ReadState(reader);
}

void TkvCustomEdit::DefineProperties(TFiler *filer) {
    inherited::DefineProperties(filer);
    auto *ancestor = dynamic_cast<TControl *>(filer->Ancestor());
    filer->DefineProperty(
        L"Height", [this](TReader *reader) { SetHeight(static_cast<int>(reader->ReadInteger())); },
        [this](TWriter *writer) { writer->WriteInteger(Height()); },
        !AutoSize() && (ancestor == nullptr || ancestor->Height() != Height()));
    filer->DefineProperty(
        L"Width", [this](TReader *reader) { SetWidth(static_cast<int>(reader->ReadInteger())); },
        [this](TWriter *writer) { writer->WriteInteger(Width()); },
        !(AutoSize() && IsAutoWidth()) && (ancestor == nullptr || ancestor->Width() != Width()));
}

void TkvCustomEditProperties::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.Boolean(
        L"AutoSelect", [this] { return autoSelect_; }, [this](bool v) { SetAutoSelect(v); }, true);
    list.Integer(
        L"ButtonsLayout", [this] { return buttonsLayout_; },
        [this](std::int64_t v) { SetButtonsLayout(static_cast<std::uint8_t>(v)); }, 0);
    // Written whenever it was set, whatever its value.
    list.Boolean(
        L"ReadOnly", [this] { return ReadOnly(); }, [this](bool v) { SetReadOnly(v); }, false);
    list.Find(L"ReadOnly")->HasDefault = false;
    list.SetStored(L"ReadOnly", [this] { return IsReadOnlyStored(); });
    list.Boolean(
        L"TransparentBackground", [this] { return transparentBackground_; },
        [this](bool v) { SetTransparentBackground(v); }, false);
}

void TkvEditRepositoryItem::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.Class(L"Properties", [this] { return static_cast<TPersistent *>(properties_); });
}
