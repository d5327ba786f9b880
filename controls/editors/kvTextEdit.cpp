#include "kvTextEdit.h"
#include "kvScopedValue.h"

#include <classlib/string_utils.h>

#include <algorithm>

#include "kvClipboardText.h"
#include "kvEditRepository.h"
#include "kvFormats.h"
#include "kvVariants.h"

namespace {

// Whether a font already is the other in the given colour.
bool sameFont(TFont *a, TFont *b, TColor color) {
    return a->GetName() == b->GetName() && a->GetHeight() == b->GetHeight() && a->GetStyle() == b->GetStyle() &&
           a->GetColor() == color && a->GetCharset() == b->GetCharset();
}

} // namespace

// --- life

void TkvCustomTextEdit::Initialize() {
    inherited::Initialize();
    beepOnEnter_ = true;
    if (TWinControl *inner = InnerControl())
        inner->SetColor(clWindow);
    if (IkvInnerTextEdit *inner = InnerTextEdit())
        inner->SetOnSelChange(Bind(this, &TkvCustomTextEdit::InnerSelectionChanged));
    SetBounds(Left(), Top(), 121, 21);
    lookupData_ = NewOf<TkvCustomTextEditLookupData>(ActiveProperties()->GetLookupDataClass(),
                                                     static_cast<TPersistent *>(this));
    lookupData_->OnCurrentKeyChanged = Bind(this, &TkvCustomTextEdit::ApplyLookupSelection);
    formatListener_ = new TkvFormatChangeLink([this] { FormatChanged(); });
}

void TkvCustomTextEdit::BeforeDestruction() {
    savedText_ = GetDisplayText();
    textSaved_ = true;
    inherited::BeforeDestruction();
}

void TkvCustomTextEdit::Destroy() {
    delete formatListener_;
    formatListener_ = nullptr;
    FreeAndNil(lookupData_);
    inherited::Destroy();
}

void TkvCustomTextEdit::Loaded() { inherited::Loaded(); }

// --- text and selection

std::wstring TkvCustomTextEdit::GetDisplayText() {
    if (textSaved_)
        return savedText_;
    IkvCustomInnerEdit *inner = InnerEdit();
    return inner != nullptr ? EditValueText(inner->GetEditValue()) : std::wstring();
}

int TkvCustomTextEdit::SelStart() {
    IkvInnerTextEdit *inner = InnerTextEdit();
    return inner != nullptr && IsInnerEditUsable() ? inner->GetSelStart() : 0;
}

void TkvCustomTextEdit::SetSelStart(int value) {
    if (IkvInnerTextEdit *inner = InnerTextEdit())
        inner->SetSelStart(value);
}

int TkvCustomTextEdit::SelLength() {
    IkvInnerTextEdit *inner = InnerTextEdit();
    return inner != nullptr && IsInnerEditUsable() ? inner->GetSelLength() : 0;
}

void TkvCustomTextEdit::SetSelLength(int value) {
    if (IkvInnerTextEdit *inner = InnerTextEdit())
        inner->SetSelLength(value);
}

std::wstring TkvCustomTextEdit::SelText() {
    const std::wstring text = GetDisplayText();
    const auto start = static_cast<std::size_t>(std::clamp(SelStart(), 0, static_cast<int>(text.size())));
    return text.substr(start, static_cast<std::size_t>(std::max(SelLength(), 0)));
}

void TkvCustomTextEdit::SelectAll() {
    if (IkvInnerTextEdit *inner = InnerTextEdit())
        inner->SelectAll();
}

bool TkvCustomTextEdit::CanSetSelText(const std::wstring &text, std::wstring &newText, int &caret) {
    IkvInnerTextEdit *inner = InnerTextEdit();
    if (inner == nullptr)
        return false;
    const int maxLength = innerEditOperation_ ? ActiveProperties()->MaxLength() : 0;
    std::wstring result;
    if (!ReplaceSelectedText(GetDisplayText(), SelStart(), SelLength(), text, maxLength, result, caret))
        return false;
    Variant value(result);
    if (!ActiveProperties()->IsDisplayValueValid(value, innerEditOperation_))
        return false;
    if (innerEditOperation_ && !DoEditing())
        return false;
    newText = EditValueText(value);
    return true;
}

void TkvCustomTextEdit::SetSelText(const std::wstring &text) {
    std::wstring newText;
    int caret = 0;
    if (!CanSetSelText(text, newText, caret))
        return;
    auto *inner = dynamic_cast<TkvCustomInnerTextEdit *>(InnerControl());
    if ((UserInput() || innerEditOperation_) && inner != nullptr) {
        // A change the user made: it is reported as typing is.
        inner->SetText(newText);
    } else if (!SetDisplayText(newText)) {
        return;
    }
    SetSelStart(caret);
    SetSelLength(0);
}

void TkvCustomTextEdit::ClearSelection() {
    if (SelLength() <= 0)
        return;
    const int start = SelStart();
    SetSelText(std::wstring());
    SetSelStart(start);
}

void TkvCustomTextEdit::SetEditingText(const std::wstring &text) {
    if (!DoEditing())
        return;
    InternalSetText(text);
    SetEditModified(true);
}

// --- clipboard

void TkvCustomTextEdit::CopyToClipboard() {
    if (SelLength() > 0)
        if (IkvInnerTextEdit *inner = InnerTextEdit())
            inner->CopyToClipboard();
}

void TkvCustomTextEdit::CutToClipboard() {
    IkvInnerTextEdit *inner = InnerTextEdit();
    if (inner == nullptr)
        return;
    if (innerEditOperation_) {
        std::wstring newText;
        int caret = 0;
        if (CanSetSelText(std::wstring(), newText, caret))
            inner->CallDefWndProc(WM_CUT, 0, 0);
        return;
    }
    CopyToClipboard();
    SetSelText(std::wstring());
}

void TkvCustomTextEdit::PasteFromClipboard() {
    IkvInnerTextEdit *inner = InnerTextEdit();
    if (inner == nullptr)
        return;
    std::wstring text;
    if (!ReadClipboardText(HandleAllocated() ? Handle() : nullptr, text))
        return;
    if (innerEditOperation_) {
        std::wstring newText;
        int caret = 0;
        // The edit itself inserts, cut to its limit.
        if (CanSetSelText(text, newText, caret))
            inner->CallDefWndProc(WM_PASTE, 0, 0);
        return;
    }
    SetSelText(text);
}

// --- the value

void TkvCustomTextEdit::PrepareEditValue(const Variant &text, Variant &value, bool) {
    const std::wstring s = EditValueText(text);
    if (ActiveProperties()->IsEditValueNumeric()) {
        double number = 0;
        if (s.empty())
            value = Variant::Null();
        else if (TryStrToFloat(s, number))
            value = Variant(number);
        else
            value = Variant(s);
        return;
    }
    value = Variant(s);
}

bool TkvCustomTextEdit::SetDisplayText(const std::wstring &text) {
    Variant value(text);
    if (!ActiveProperties()->IsDisplayValueValid(value, innerEditOperation_))
        return false;
    if (innerEditOperation_ && !DoEditing())
        return false;
    SetDisplayValue(value);
    if (!innerEditOperation_) {
        ResetLookupMatch();
        SynchronizeEditValue();
        SetModifiedAfterEnter(false);
    } else {
        // A text set from code while the inner edit works (a handler of its key, say) is what
        // the user sees from now on: the value follows it, or the next display would bring the
        // old back. Typed characters never come this way.
        SynchronizeEditValue();
    }
    return true;
}

void TkvCustomTextEdit::InternalSetDisplayValue(const Variant &value) {
    DataBinding()->SetDisplayValue(value);
    TkvCustomTextEditProperties *properties = ActiveProperties();
    const std::wstring text = EditValueText(value);
    if (properties->GetTextEditKind() == tekEdit && properties->UsesLookupData() && lookupData_ != nullptr &&
        lookupData_->IndexOf(text) < 0)
        DoNewLookupDisplayText(text);
}

void TkvCustomTextEdit::SetInnerEditDisplayValue(const Variant &value) {
    IkvCustomInnerEdit *inner = InnerEdit();
    if (inner == nullptr)
        return;
    const std::wstring old = GetDisplayText();
    inner->SetEditValue(value);
    // Setting a window's text moves its caret to the start; a focused editor keeps what its
    // user expects.
    if (EditValueText(value) != old && IsInnerEditUsable() && GetFocus() == InnerControl()->Handle()) {
        if (ActiveProperties()->AutoSelect())
            SelectAll();
        else
            SetSelStart(static_cast<int>(GetDisplayText().size()));
    }
    UpdateDrawValue();
}

void TkvCustomTextEdit::SynchronizeDisplayValue() {
    if (synchronizingEditValue_ || IsDestroying())
        return;
    TkvCustomTextEditProperties *properties = ActiveProperties();
    const bool editing = Focused();
    Variant value = GetEditValue();
    Variant display;
    if (properties->CanValidate()) {
        if (properties->IsEditValueValid(value))
            PrepareDisplayValue(value, display, editing);
        else if (editing)
            display = Variant(std::wstring());
        else
            display = Variant(EditValueText(value));
    } else {
        PrepareDisplayValue(value, display, editing);
    }
    LockUpdate(true);
    try {
        DataBinding()->SetDisplayValue(display);
    } catch (...) {
        LockUpdate(false);
        throw;
    }
    LockUpdate(false);
    ResetLookupMatch();
    UpdateDrawValue();
}

void TkvCustomTextEdit::SynchronizeEditValue() {
    if (synchronizingEditValue_ || IsDestroying())
        return;
    Variant value;
    PrepareEditValue(Variant(GetDisplayText()), value, Focused());
    TkvScopedValue<bool> guard(synchronizingEditValue_, true);
    const bool userInput = UserInput();
    SetUserInput(EditModified());
    try {
        InternalSetEditValue(value);
    } catch (...) {
        SetUserInput(userInput);
        throw;
    }
    SetUserInput(userInput);
}

void TkvCustomTextEdit::ChangeHandler(TObject *sender) {
    inherited::ChangeHandler(sender);
    if (IsDestroying() || synchronizingEditValue_)
        return;
    if (lookupData_ != nullptr && ActiveProperties()->UsesLookupData())
        lookupData_->TextChanged();
}

void TkvCustomTextEdit::RefreshTextValue() {
    if (ActiveProperties()->GetTextEditKind() == tekEdit && !EditModified())
        DataBinding()->UpdateDisplayValue();
}

void TkvCustomTextEdit::CheckValueBounds() {
    TkvCustomTextEditProperties *properties = ActiveProperties();
    if (properties->IsEditValueNumeric() && IsInnerEditUsable() && properties->HasValueBounds())
        ClampValueToBounds();
}

void TkvCustomTextEdit::FormatChanged() {
    ActiveProperties()->Changed();
    SynchronizeDisplayValue();
}

// --- properties

void TkvCustomTextEdit::PropertiesChanged(TObject *sender) {
    IkvInnerTextEdit *inner = InnerTextEdit();
    TkvCustomTextEditProperties *properties = ActiveProperties();
    if (inner != nullptr && !IsDestroying()) {
        inner->SetAlignment(properties->Alignment()->Horz());
        inner->SetAutoSelect(properties->AutoSelect() && !InPlaceMode());
        inner->SetCharCase(properties->CharCase());
        inner->SetEchoMode(properties->EchoMode());
        inner->SetHideSelection(properties->HideSelection());
        inner->SetImeMode(properties->ImeMode());
        inner->SetImeName(properties->ImeName());
        inner->SetMaxLength(properties->MaxLength());
        inner->SetOEMConvert(properties->OEMConvert());
        inner->SetPasswordChar(properties->PasswordChar());
    }
    imeMode_ = properties->ImeMode();
    imeName_ = properties->ImeName();
    CheckValueBounds();
    if (!IsPosting() && lookupData_ != nullptr)
        RefreshTextValue();
    UpdateDrawValue();
    inherited::PropertiesChanged(sender);
    if (TWinControl *control = InnerControl())
        control->Invalidate();
}

bool TkvCustomTextEdit::IsValidChar(wchar_t ch) {
    if (inherited::IsValidChar(ch) || ActiveProperties()->IsValidCharListed(ch))
        return true;
    bool isCurrency = false;
    bool providerFormat = false;
    std::wstring format;
    ActiveProperties()->GetEditFormat(isCurrency, providerFormat, format, this);
    return !format.empty() || providerFormat;
}

bool TkvCustomTextEdit::IsTextChangingKey(WORD key, TShiftState shift) {
    return inherited::IsTextChangingKey(key, shift) || key == VK_DELETE;
}

bool TkvCustomTextEdit::IsTextChangingChar(wchar_t key) {
    return key == 8 || key == 22 || key == 24 || key > 31;
}

// --- showing the text

bool TkvCustomTextEdit::IsInnerEditShown() {
    if (!IsInnerEditUsable() || IsDestroying() || IsDesigning())
        return false;
    return IsActiveControl() || ActiveProperties()->Alignment()->Horz() == taLeftJustify;
}

void TkvCustomTextEdit::showInnerEdit(bool show) {
    TWinControl *control = InnerControl();
    if (control == nullptr || control->Visible() == show)
        return;
    control->SetVisible(show);
}

void TkvCustomTextEdit::UpdateDrawValue() {
    if (IsDestroying() || InnerControl() == nullptr || !HandleAllocated())
        return;
    const bool shown = IsInnerEditShown();
    showInnerEdit(shown);
    ShortRefreshContainer();
    if (!shown)
        Invalidate();
}

void TkvCustomTextEdit::InitializeViewData(TkvCustomEditViewData *viewData) {
    inherited::InitializeViewData(viewData);
    auto *data = dynamic_cast<TkvCustomTextEditViewData *>(viewData);
    if (data == nullptr)
        return;
    data->InnerEditShown = IsInnerEditShown();
    std::wstring text = GetDisplayText();
    ActiveProperties()->PrepareDisplayText(text);
    data->Text = text;
}

void TkvCustomTextEdit::FocusInnerControl() {
    // A hidden window cannot take the focus: the text is about to be edited, so it shows.
    if (IsInnerEditUsable())
        showInnerEdit(true);
    inherited::FocusInnerControl();
}

void TkvCustomTextEdit::InnerEditFocusChanged() { FocusChanged(); }

int TkvCustomTextEdit::GetInnerEditTextHeight() {
    TWinControl *control = InnerControl();
    TFont *font = control != nullptr ? control->Font() : nullptr;
    if (TkvScreenCanvas *screen = GetScreenCanvas(); screen != nullptr && font != nullptr) {
        screen->SetFont(font);
        return screen->TextHeight(L"Zg");
    }
    return TextEditLineHeight(font);
}

void TkvCustomTextEdit::AdjustInnerEdit() {
    TWinControl *control = InnerControl();
    IkvCustomInnerEdit *inner = InnerEdit();
    if (control == nullptr || inner == nullptr || ViewInfo() == nullptr)
        return;
    inner->LockBounds(true);
    try {
        const TColor color = ViewInfo()->BackgroundColor;
        if (control->Color() != color)
            control->SetColor(color);
        // Every recalculation passes here (a mouse move does one): only a change is applied.
        TFont *font = ActiveStyle()->GetEffectiveFont();
        const TColor textColor = ViewInfo()->TextColor;
        if (!sameFont(control->Font(), font, textColor)) {
            TOwned<TFont> wanted(New<TFont>());
            wanted->Assign(font);
            wanted->SetColor(textColor);
            control->SetFont(wanted.get());
        }
    } catch (...) {
        inner->LockBounds(false);
        throw;
    }
    inner->LockBounds(false);
}

void TkvCustomTextEdit::AdjustInnerEditPosition() {
    TWinControl *control = InnerControl();
    if (adjustingInnerEdit_ || control == nullptr || ViewInfo() == nullptr)
        return;
    TkvScopedValue<bool> guard(adjustingInnerEdit_, true);
    AdjustInnerEdit();
    const TRect area = TextEditClientArea(ViewInfo());
    auto *data = dynamic_cast<TkvCustomTextEditViewData *>(LastViewData());
    const TRect margins = data != nullptr ? data->GetTextMargins() : kvTextEditDefaultMargins;
    TRect r{area.left + margins.left, area.top + margins.top, area.right - margins.right,
            area.bottom - margins.bottom};
    r.right = std::max(r.right, r.left);
    const int height = GetInnerEditTextHeight();
    LONG top = r.top;
    switch (ActiveProperties()->Alignment()->Vert()) {
    case taBottomJustify:
        top = r.bottom - height;
        break;
    case taVCenter:
        top = r.top + (r.bottom - r.top - height) / 2;
        break;
    default:
        break;
    }
    top = std::max<LONG>(top, r.top);
    const TRect target{r.left, top, r.right, top + height};
    const TRect current = control->BoundsRect();
    if (!EqualRect(&target, &current))
        control->SetBoundsRect(target);
}

// --- keys

void TkvCustomTextEdit::DoEditKeyDown(WORD &key, TShiftState shift) {
    IkvInnerTextEdit *inner = InnerTextEdit();
    if (inner != nullptr)
        inner->SetKeyConsumed(true);
    inherited::DoEditKeyDown(key, shift);
    if (key != 0) {
        switch (key) {
        case VK_RETURN:
            if (lookupMatched_)
                SelectAll();
            break;
        case VK_LEFT:
        case VK_RIGHT:
            // With Shift the selection grows from the completed tail, which still matches.
            if (shift.Contains(ssShift))
                break;
            if (SelLength() > 0) {
                // Only a selection is collapsed; otherwise the caret moves as in any edit.
                const int start = SelStart();
                const int end = start + SelLength();
                SetSelStart(key == VK_LEFT ? start : end);
                SetSelLength(0);
                key = 0;
            }
            ResetLookupMatch();
            break;
        case VK_DELETE:
            ResetLookupMatch();
            break;
        case VK_PRIOR:
        case VK_NEXT:
        case VK_UP:
        case VK_DOWN:
            DoAfterKeyDown(key, shift);
            key = 0;
            break;
        case VK_END:
            if (SelLength() == 0)
                ResetLookupMatch();
            break;
        default:
            break;
        }
    }
    if (key != 0 && inner != nullptr)
        inner->SetKeyConsumed(false);
}

void TkvCustomTextEdit::DoEditKeyPress(wchar_t &key) {
    inherited::DoEditKeyPress(key);
    if (key == 0 || lookupData_ == nullptr)
        return;
    TkvCustomTextEditProperties *properties = ActiveProperties();
    if (!properties->UsesLookupData() || !properties->IncrementalSearch() || !IsInnerEditUsable())
        return;
    const int keyBefore = lookupData_->CurrentKey();
    lookupSearching_ = true;
    if (completeFromLookup(key))
        key = 0;
    if (lookupData_->CurrentKey() != keyBefore) {
        SetEditModified(true);
        Click();
    }
}

void TkvCustomTextEdit::setCompletedText(const std::wstring &typed, const std::wstring &tail) {
    auto *inner = dynamic_cast<TkvCustomInnerTextEdit *>(InnerControl());
    if (inner == nullptr)
        return;
    // Reported as the user's change: the edit value follows through the change handler.
    inner->SetText(typed + tail);
    SetSelStart(static_cast<int>(typed.size()));
    SetSelLength(static_cast<int>(tail.size()));
    if (!IsInnerEditShown())
        UpdateDrawValue();
}

bool TkvCustomTextEdit::completeFromLookup(wchar_t &key) {
    IkvInnerTextEdit *inner = InnerTextEdit();
    const std::wstring text = GetDisplayText();
    const int length = static_cast<int>(text.size());
    const int selStart = std::clamp(SelStart(), 0, length);
    const int selEnd = std::clamp(selStart + SelLength(), selStart, length);
    const bool hasSelection = selEnd > selStart;
    std::wstring typed;
    std::wstring tail;
    if (key == 8) {
        // Nothing before the caret: the edit has nothing to remove either.
        if (!lookupMatched_ || (selStart == 0 && !hasSelection))
            return false;
        // The completed tail goes, and with it the last character typed.
        typed = text.substr(0, static_cast<std::size_t>(std::max(selStart - 1, 0)));
        // An empty text matches nothing: it is only cleared.
        lookupMatched_ = !typed.empty() && lookupData_->Locate(typed, tail, false);
        setCompletedText(typed, lookupMatched_ ? tail : std::wstring());
        return true;
    }
    if (key < 32)
        return false;
    // Typed in the middle of the text, with nothing selected and no item matched, a character
    // only inserts.
    if (!(selStart == length || hasSelection || lookupMatched_))
        return false;
    std::wstring typedChar(1, key);
    typedChar = ApplyCharCase(typedChar, ActiveProperties()->CharCase());
    typed = text.substr(0, static_cast<std::size_t>(selStart)) + typedChar;
    if (inner != nullptr)
        if (wchar_t lead = inner->GetImeLastChar(); lead != 0)
            typed += lead;
    const int maxLength = ActiveProperties()->MaxLength();
    if (maxLength > 0 && static_cast<int>(typed.size()) > maxLength)
        return false;
    lookupMatched_ = lookupData_->Locate(typed, tail, false);
    if (!lookupMatched_)
        return false; // the edit inserts the character as typed
    if (maxLength > 0 && static_cast<int>(typed.size() + tail.size()) > maxLength)
        tail.resize(static_cast<std::size_t>(maxLength) - typed.size());
    setCompletedText(typed, tail);
    return true;
}

// --- lookup

TStringList *TkvCustomTextEdit::GetLookupItems() {
    if (IsDestroying() || Properties() == nullptr)
        return nullptr;
    return ActiveProperties()->LookupItems();
}

int TkvCustomTextEdit::GetItemIndex() {
    return lookupData_ != nullptr ? LookupKeyToItemIndex(lookupData_->GetCurrentKey()) : -1;
}

int TkvCustomTextEdit::LookupKeyToItemIndex(const Variant &key) {
    if (key.IsNull() || key.IsEmpty() || !key.IsOrdinal())
        return -1;
    return key.AsInteger();
}

Variant TkvCustomTextEdit::LookupKeyToEditValue(const Variant &key) {
    Variant value;
    PrepareEditValue(Variant(lookupData_->GetDisplayText(key)), value, Focused());
    return value;
}

void TkvCustomTextEdit::SetItemIndex(int index) {
    if (lookupData_ == nullptr)
        return;
    const int old = GetItemIndex();
    lookupData_->SetCurrentKey(ItemIndexToLookupKey(index));
    const Variant value = LookupKeyToEditValue(lookupData_->GetCurrentKey());
    if (!VariantsEqual(value, GetEditValue()))
        InternalSetEditValue(value);
    if (GetItemIndex() != old) {
        SetModifiedAfterEnter(false);
        Click();
    }
}

void TkvCustomTextEdit::ApplyLookupSelection(TObject *) {
    const Variant value = LookupKeyToEditValue(lookupData_->GetCurrentKey());
    const bool differs = !VariantsEqual(value, GetEditValue());
    if (!differs && !DoEditing())
        return;
    LockChangeEvents(true);
    try {
        InternalSetEditValue(value);
        if (differs)
            SetEditModified(true);
    } catch (...) {
        LockChangeEvents(false);
        throw;
    }
    LockChangeEvents(false);
    SelectAll();
    ShortRefreshContainer();
}

void TkvCustomTextEdit::ResetLookupMatch() { lookupMatched_ = false; }

void TkvCustomTextEdit::DoNewLookupDisplayText(const std::wstring &text) {
    if (Properties()->OnNewLookupDisplayText)
        Properties()->OnNewLookupDisplayText(this, text);
    if (RepositoryItem() != nullptr && ActiveProperties() != Properties() &&
        ActiveProperties()->OnNewLookupDisplayText)
        ActiveProperties()->OnNewLookupDisplayText(this, text);
}

bool TkvCustomTextEdit::IsDataSourceFree() { return !InPlaceMode() && !DataBinding()->HasDataSource(); }

// --- activation and messages

void TkvCustomTextEdit::Activate(TkvCustomEditData *&editData) {
    inherited::Activate(editData);
    SetSelStart(0);
    if (ActiveProperties()->AutoSelect())
        SelectAll();
}

void TkvCustomTextEdit::wmGetText(TMessage &m) {
    const std::wstring text = InternalGetText();
    if (m.WParam < 1 || m.LParam == 0) {
        m.Result = 0;
        return;
    }
    const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(m.WParam) - 1);
    auto *buffer = reinterpret_cast<wchar_t *>(m.LParam);
    text.copy(buffer, count);
    buffer[count] = L'\0';
    m.Result = static_cast<LRESULT>(count);
}

void TkvCustomTextEdit::wmSetText(TMessage &m) {
    if (settingText_) {
        inherited::Dispatch(m);
        return;
    }
    TkvScopedValue<bool> guard(settingText_, true);
    const std::wstring text = m.LParam != 0 ? reinterpret_cast<const wchar_t *>(m.LParam) : L"";
    m.Result = InternalSetText(text) ? 1 : 0;
}

void TkvCustomTextEdit::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_GETTEXT:
        wmGetText(m);
        return;
    case WM_GETTEXTLENGTH:
        m.Result = static_cast<LRESULT>(InternalGetText().size());
        return;
    case WM_SETTEXT:
        wmSetText(m);
        return;
    default:
        inherited::Dispatch(m);
    }
}

// --- the unit

namespace {

void startTextEditUnit() {
    EditPropertiesRegistry()->Register(TkvTextEditProperties::ClassInfo(), L"TextEdit|Represents a single line text editor");
}

} // namespace

constinit TUnit kvTextEditUnit{L"kvTextEdit", startTextEditUnit, nullptr, {&kvEditUnit, &kvFormatsUnit}};
