#include "unCofing.h"

#include <classlib/string_utils.h>

#include "heap_option.h"
#include "settings_file.h"

TfrmConfig *frmConfig = nullptr;

namespace {

constexpr wchar_t promptCaption[] = L"系统提示";
constexpr wchar_t fileMissingText[] = L"配置文件丢失，无法进行设置。";
constexpr wchar_t notIntegerText[] = L"输入的值不正确，请重新输入";
constexpr wchar_t outOfRangeText[] = L"输入的数值不在384-1024范围内，请重新输入";

} // namespace

void TfrmConfig::Create(TComponent *owner) {
    inherited::Create(owner);
    SetCaption(L"程序设置");
    SetBorderStyle(bsSingle);
    SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 362, 145);
    Font()->SetName(L"宋体");
    Font()->SetHeight(-12);
    Font()->SetCharset(ANSI_CHARSET);

    Label1 = makeLabel(16, 24, L"设置最大可用内存");
    Label2 = makeLabel(216, 24, L"可设置范围384-1024");
    // No property set: integer values, no bounds, step 1.
    kvspndtXMX = New<TkvSpinEdit>(this);
    kvspndtXMX->SetName(L"kvspndtXMX");
    kvspndtXMX->SetParent(this);
    kvspndtXMX->SetBounds(122, 20, 79, kvspndtXMX->Height());
    kvspndtXMX->SetTabOrder(0);
    btnBtnOK = makeButton(92, 70, L"确定", &TfrmConfig::btnBtnOKClick);
    btnBtnOK->SetName(L"btnBtnOK");
    btnBtnOK->SetTabOrder(1);
    btnBtnCancel = makeButton(198, 70, L"取消", &TfrmConfig::btnBtnCancelClick);
    btnBtnCancel->SetName(L"btnBtnCancel");
    btnBtnCancel->SetTabOrder(2);

    OnCreate = [this](TObject *sender) { FormCreate(sender); };
    OnDestroy = [this](TObject *sender) { FormDestroy(sender); };
}

TLabel *TfrmConfig::makeLabel(int left, int top, const wchar_t *caption) {
    auto *label = New<TLabel>(this);
    label->SetParent(this);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

TkvButton *TfrmConfig::makeButton(int left, int top, const wchar_t *caption,
                                  void (TfrmConfig::*click)(TObject *)) {
    auto *button = New<TkvButton>(this);
    button->SetParent(this);
    button->SetBounds(left, top, 70, 25);
    button->SetCaption(caption);
    button->LookAndFeel()->SetKind(lfOffice11);
    button->OnClick = [this, click](TObject *sender) { (this->*click)(sender); };
    return button;
}

void TfrmConfig::tell(const wchar_t *text) {
    MessageBoxW(GetHandle(), text, promptCaption, MB_OK | MB_ICONINFORMATION);
}

void TfrmConfig::showFileError(const std::wstring &text) {
    std::wstring title = Application->Title();
    MessageBoxW(GetHandle(), text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

void TfrmConfig::endProgram() {
    Application->ShowMainForm = false;
    Application->Terminate();
}

void TfrmConfig::FormCreate(TObject *) {
    lines_ = New<TStringList>();
    settingsPath_ = ProgramDirectory() + SettingsFileName;
    if (!SettingsFileExists(settingsPath_)) {
        tell(fileMissingText);
        endProgram();
        return;
    }
    heapLineIndex_ = -1;
    try {
        LoadSettingsLines(settingsPath_, lines_);
    } catch (const ESettingsFileError &e) {
        // A file we could not read whole is never written: nothing is shown to change.
        lines_->Clear();
        showFileError(e.Message());
        endProgram();
        return;
    }
    heapLineIndex_ = FindHeapLine(lines_);
    if (heapLineIndex_ < 0)
        return;
    double megabytes = 0;
    if (TryStrToFloat(HeapValueText(lines_->Strings(heapLineIndex_)), megabytes))
        kvspndtXMX->SetEditValue(Variant(megabytes));
}

void TfrmConfig::FormDestroy(TObject *) { FreeAndNil(lines_); }

void TfrmConfig::btnBtnOKClick(TObject *) {
    std::wstring text = kvspndtXMX->Text();
    switch (CheckHeapText(text)) {
    case THeapCheck::NotInteger:
        tell(notIntegerText);
        kvspndtXMX->SetFocus();
        return;
    case THeapCheck::OutOfRange:
        tell(outOfRangeText);
        kvspndtXMX->SetFocus();
        return;
    case THeapCheck::Accepted:
        break;
    }
    // The lines change only once the file holds them, so a failed save can be tried again.
    TOwned<TStringList> updated(New<TStringList>());
    updated->Assign(lines_);
    StoreHeapLine(updated.get(), heapLineIndex_, text);
    try {
        SaveSettingsLines(settingsPath_, updated.get());
    } catch (const ESettingsFileError &e) {
        showFileError(e.Message());
        return;
    }
    lines_->Assign(updated.get());
    if (heapLineIndex_ < 0)
        heapLineIndex_ = lines_->Count() - 1;
    Close();
}

void TfrmConfig::btnBtnCancelClick(TObject *) { Close(); }
