#include "kvMaskEditModes.h"

#include <windows.h>

#include "kvRegExpr.h"
#include "kvStandardMask.h"

#include <algorithm>

namespace {

constexpr int maxLiteralHops = 4; // a literal under the cursor moves it on; bounded retries

int clampIndex(int value, int low, int high) { return std::max(low, std::min(value, high)); }

// How many characters at the start of `text` from `from` on equal `prefix`.
std::size_t commonPrefix(const std::wstring &prefix, const std::wstring &text, std::size_t from) {
    std::size_t n = 0;
    while (n < prefix.size() && from + n < text.size() && text[from + n] == prefix[n])
        ++n;
    return n;
}

bool startsWith(const std::wstring &text, const std::wstring &prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A NUL would end the inner edit's text where it stands: it is never taken.
std::wstring withoutNul(const std::wstring &text) {
    std::wstring result = text;
    std::erase(result, L'\0');
    return result;
}

// The inner text and the selection [start, end) in it, held inside the text.
struct TextSelection {
    std::wstring text;
    int length;
    int start;
    int end;
};

TextSelection selectionOf(const IkvMaskEditModeHost &host) {
    TextSelection selection{host.InnerText(), 0, 0, 0};
    selection.length = static_cast<int>(selection.text.size());
    selection.start = clampIndex(host.SelStart(), 0, selection.length);
    selection.end = selection.start + clampIndex(host.SelLength(), 0, selection.length - selection.start);
    return selection;
}

} // namespace

bool IsMaskTextEmpty(const std::wstring &mask) {
    return std::all_of(mask.begin(), mask.end(), [](wchar_t c) { return c == L' '; });
}

// ---- the base -------------------------------------------------------------------------------

void TkvMaskEditCustomMode::Create(IkvMaskEditModeHost *host, const IkvMaskEditModeOptions *options) {
    host_ = host;
    options_ = options;
}

const IkvMaskEditModeOptions *TkvMaskEditCustomMode::Options() const noexcept {
    return host_ != nullptr ? &host_->Options() : options_;
}

void TkvMaskEditCustomMode::beep() {
    const IkvMaskEditModeOptions *options = Options();
    if (options != nullptr && options->BeepOnError()) {
        if (host_ != nullptr)
            host_->Beep();
        else
            MessageBeep(0);
    }
}

void TkvMaskEditCustomMode::writePendingEmptyValue() {
    if (!NeedUpdateEditValue)
        return;
    NeedUpdateEditValue = false;
    if (host_ != nullptr)
        host_->SetEditValueText(GetEmptyString());
}

void TkvMaskEditCustomMode::SynchronizeEditValue() {
    if (!HasEdit())
        return;
    host_->SetInnerText(host_->EditModified() ? GetFormattedText(host_->DisplayText(), true)
                                              : host_->DisplayValueOfEditValue());
}

// ---- standard mode --------------------------------------------------------------------------

void TkvMaskEditStandardMode::Create(IkvMaskEditModeHost *host, const IkvMaskEditModeOptions *options) {
    inherited::Create(host, options);
    standardMask_ = New<TkvStandardMask>();
}

void TkvMaskEditStandardMode::Destroy() {
    FreeAndNil(standardMask_);
    inherited::Destroy();
}

void TkvMaskEditStandardMode::Compile(const std::wstring &mask) {
    mask_ = mask;
    if (mask.empty())
        standardMask_->Clear();
    else
        standardMask_->SetMask(mask);
    NeedUpdateEditValue = !HasEdit();
}

wchar_t TkvMaskEditStandardMode::GetBlank() const { return standardMask_->Blank(); }

std::wstring TkvMaskEditStandardMode::GetEmptyString() { return standardMask_->GetEmptyString(); }

std::wstring TkvMaskEditStandardMode::GetFormattedText(const std::wstring &text, bool flag) {
    std::wstring result = withoutNul(text);
    standardMask_->FormatText(result, true, flag);
    return result;
}

std::wstring TkvMaskEditStandardMode::TextToEditText(const std::wstring &text, bool flag) {
    if (standardMask_->ItemCount() == 0)
        return text;
    const IkvMaskEditModeOptions *options = Options();
    std::wstring result = withoutNul(text);
    standardMask_->FormatText(result, options == nullptr || options->CharCaseNormal(), flag);
    standardMask_->StripBlanks(result);
    return result;
}

bool TkvMaskEditStandardMode::IsFullText(const std::wstring &text) {
    if (standardMask_->IsComplete(text))
        return true;
    const IkvMaskEditModeOptions *options = Options();
    if (options == nullptr || !options->IgnoreMaskBlank())
        return false;
    // All blank: nothing typed at any input position.
    std::wstring formatted = GetFormattedText(text, true);
    for (int i = 0; i < standardMask_->ItemCount(); ++i) {
        wchar_t c = formatted[static_cast<std::size_t>(i)];
        if (standardMask_->IsInputAt(i) && c != GetBlank() && c != L' ')
            return false;
    }
    return true;
}

bool TkvMaskEditStandardMode::maskActive() const { return !IsMaskTextEmpty(mask_) && standardMask_->ItemCount() > 0; }

// The overwrite cursor: one character selected, the caret at its start.
void TkvMaskEditStandardMode::placeCaret(int position) {
    const int length = static_cast<int>(host_->InnerText().size());
    position = clampIndex(position, 0, length);
    if (position < length && maskActive())
        host_->SetSelection(position + 1, position);
    else
        host_->SetSelection(position, position);
}

void TkvMaskEditStandardMode::selectOverwriteCursor() {
    if (host_ == nullptr || !host_->HasWindow() || !maskActive() || host_->SelLength() != 0)
        return;
    placeCaret(host_->SelStart());
}

void TkvMaskEditStandardMode::MouseDown() { selectOverwriteCursor(); }

void TkvMaskEditStandardMode::SetText(const std::wstring &) { selectOverwriteCursor(); }

void TkvMaskEditStandardMode::SynchronizeEditValue() {
    inherited::SynchronizeEditValue();
    selectOverwriteCursor();
}

void TkvMaskEditStandardMode::UpdateEditValue() { writePendingEmptyValue(); }

bool TkvMaskEditStandardMode::IsCursorBegin() {
    if (host_ == nullptr)
        return true;
    int firstInput = 0;
    while (firstInput < standardMask_->ItemCount() && standardMask_->IsLiteralAt(firstInput))
        ++firstInput;
    const int start = host_->SelStart();
    return start <= firstInput && (host_->SelLength() < 2 || host_->CaretIndex() == start);
}

bool TkvMaskEditStandardMode::IsCursorEnd() {
    return host_ == nullptr || host_->CaretIndex() >= static_cast<int>(host_->InnerText().size());
}

void TkvMaskEditStandardMode::blankSelection() {
    std::wstring text = host_->InnerText();
    const int length = static_cast<int>(text.size());
    const int start = clampIndex(host_->SelStart(), 0, length);
    const int end = clampIndex(start + std::max(host_->SelLength(), 1), 0, length);
    for (int i = start; i < end; ++i)
        if (standardMask_->IsInputAt(i))
            text[static_cast<std::size_t>(i)] = GetBlank();
    host_->SetInnerText(text);
    placeCaret(start);
}

bool TkvMaskEditStandardMode::moveRight(bool shift) {
    const int start = host_->SelStart();
    const int selected = host_->SelLength();
    if (shift) {
        // Shift+Right then selects from the cursor on.
        if (selected == 1 && host_->CaretIndex() == start)
            host_->SetSelection(start, start);
        return true;
    }
    const int length = static_cast<int>(host_->InnerText().size());
    if (selected < 2) {
        int p = start + 1;
        while (p < length && standardMask_->IsLiteralAt(p))
            ++p;
        if (p <= length)
            placeCaret(p);
        return false;
    }
    const int end = start + selected;
    if (end >= length) {
        placeCaret(length);
        return false;
    }
    int p = end - 1;
    while (p >= start && !standardMask_->IsInputAt(p))
        --p;
    placeCaret(p >= start ? p : end);
    return false;
}

bool TkvMaskEditStandardMode::moveLeft(bool shift) {
    if (shift)
        return true; // the anchor is after the cursor: Shift+Left takes it and the one before
    const int start = host_->SelStart();
    const int selected = host_->SelLength();
    const int length = static_cast<int>(host_->InnerText().size());
    if (selected >= 2) {
        const int end = std::min(start + selected, length);
        int p = start;
        while (p < end && !standardMask_->IsInputAt(p))
            ++p;
        if (p < end)
            placeCaret(p);
        else
            placeCaret(end >= length ? length : start);
        return false;
    }
    int p = std::min(start, length) - 1;
    while (p >= 0 && standardMask_->IsLiteralAt(p))
        --p;
    if (p >= 0)
        placeCaret(p);
    return false;
}

bool TkvMaskEditStandardMode::PressLeft() { return host_ == nullptr || moveLeft(host_->ShiftFlag()); }
bool TkvMaskEditStandardMode::PressRight() { return host_ == nullptr || moveRight(host_->ShiftFlag()); }

bool TkvMaskEditStandardMode::PressHome() {
    if (host_ == nullptr || host_->ShiftFlag())
        return true;
    placeCaret(0);
    if (standardMask_->IsLiteralAt(0))
        moveRight(false);
    return false;
}

bool TkvMaskEditStandardMode::PressEnd() {
    if (host_ == nullptr || host_->ShiftFlag())
        return true;
    placeCaret(static_cast<int>(host_->InnerText().size()));
    return false;
}

bool TkvMaskEditStandardMode::PressDelete() {
    if (host_ == nullptr)
        return true;
    blankSelection();
    return false;
}

bool TkvMaskEditStandardMode::PressBackspace() {
    if (host_ == nullptr)
        return true;
    if (host_->SelLength() <= 1)
        moveLeft(false);
    return PressDelete();
}

bool TkvMaskEditStandardMode::PressSymbol(wchar_t &character) {
    if (host_ == nullptr)
        return true;
    return pressSymbolAt(character, 0);
}

bool TkvMaskEditStandardMode::pressSymbolAt(wchar_t &character, int depth) {
    const int start = host_->SelStart();
    if (start < 0 || start >= static_cast<int>(host_->InnerText().size()) || start >= standardMask_->ItemCount())
        return false;
    if (standardMask_->IsLiteralAt(start)) {
        host_->SetShiftFlag(false);
        if (host_->SelLength() > 1)
            blankSelection();
        moveRight(false);
        if (host_->SelStart() != start && depth < maxLiteralHops + standardMask_->ItemCount())
            return pressSymbolAt(character, depth + 1);
        return false;
    }
    wchar_t converted = character;
    if (!standardMask_->Items(start)->Check(converted))
        return false; // a wrong character is simply not taken
    if (!host_->IsCharAllowedAt(converted, start) || converted == L'\0') {
        beep();
        return false;
    }
    if (host_->SelLength() > 1)
        blankSelection();
    std::wstring text = host_->InnerText();
    if (start >= static_cast<int>(text.size()))
        return false;
    text[static_cast<std::size_t>(start)] = converted;
    host_->SetInnerText(text);
    placeCaret(start);
    host_->SetShiftFlag(false);
    moveRight(false);
    return false;
}

void TkvMaskEditStandardMode::BeforePaste() {
    if (host_ == nullptr)
        return;
    pasteStart_ = host_->SelStart();
    const int length = static_cast<int>(host_->InnerText().size());
    host_->SetSelection(pasteStart_, clampIndex(pasteStart_ + ClipboardTextLength, pasteStart_, length));
}

void TkvMaskEditStandardMode::AfterPaste() {
    if (host_ == nullptr)
        return;
    const int length = static_cast<int>(host_->InnerText().size());
    const int p = clampIndex(pasteStart_ + ClipboardTextLength, 0, std::max(length - 1, 0));
    ClipboardTextLength = 0;
    placeCaret(p);
    if (standardMask_->IsLiteralAt(p)) {
        host_->SetShiftFlag(false);
        moveRight(false);
    }
}

// ---- regular-expression mode ----------------------------------------------------------------

void TkvMaskEditRegExprMode::Create(IkvMaskEditModeHost *host, const IkvMaskEditModeOptions *options) {
    inherited::Create(host, options);
    regExpr_ = New<TkvRegExpr>();
    applyCaseRule();
}

void TkvMaskEditRegExprMode::Destroy() {
    FreeAndNil(regExpr_);
    inherited::Destroy();
}

bool TkvMaskEditRegExprMode::Compiled() const { return regExpr_->Compiled(); }

void TkvMaskEditRegExprMode::applyCaseRule() {
    const IkvMaskEditModeOptions *options = Options();
    regExpr_->CaseInsensitive = options == nullptr || options->CaseInsensitive();
}

void TkvMaskEditRegExprMode::Compile(const std::wstring &mask) {
    if (IsMaskTextEmpty(mask)) {
        regExpr_->Clear();
        mask_ = mask;
        NeedUpdateEditValue = !HasEdit();
        return;
    }
    // Compiled aside first: a refused expression leaves the mode as it was.
    TOwned<TkvRegExpr> compiled(New<TkvRegExpr>());
    try {
        compiled->CompileText(mask);
    } catch (const EkvRegExprError &e) {
        throw EkvMaskEditError(RegExprErrorsMessage(*e.Errors()));
    }
    TkvRegExpr *old = regExpr_;
    regExpr_ = compiled.release();
    old->Free();
    mask_ = mask;
    applyCaseRule();
    NeedUpdateEditValue = !HasEdit();
}

bool TkvMaskEditRegExprMode::feed(const std::wstring &text) {
    regExpr_->Reset();
    for (wchar_t c : text)
        if (!regExpr_->Next(c))
            return false;
    return true;
}

bool TkvMaskEditRegExprMode::fits(const std::wstring &text) {
    std::size_t fed = 0;
    while (fed < text.size() && regExpr_->Next(text[fed]))
        ++fed;
    for (std::size_t i = 0; i < fed; ++i)
        regExpr_->Prev();
    return fed == text.size();
}

void TkvMaskEditRegExprMode::setText(const std::wstring &text, int caret) {
    host_->SetInnerText(text);
    caret = clampIndex(caret, 0, static_cast<int>(text.size()));
    host_->SetSelection(caret, caret);
}

std::wstring TkvMaskEditRegExprMode::GetFormattedText(const std::wstring &text, bool) {
    if (!Compiled())
        return {};
    applyCaseRule();
    regExpr_->Reset();
    return regExpr_->FeedText(withoutNul(text));
}

bool TkvMaskEditRegExprMode::IsFullText(const std::wstring &text) {
    if (text.empty() || !Compiled())
        return true;
    applyCaseRule();
    if (!feed(text))
        return false;
    const IkvMaskEditModeOptions *options = Options();
    return (options != nullptr && options->IgnoreMaskBlank()) || regExpr_->IsFinal();
}

bool TkvMaskEditRegExprMode::IsCursorBegin() { return host_ == nullptr || host_->CaretIndex() == 0; }

bool TkvMaskEditRegExprMode::IsCursorEnd() {
    return host_ == nullptr || host_->CaretIndex() >= static_cast<int>(host_->InnerText().size());
}

bool TkvMaskEditRegExprMode::PressSymbol(wchar_t &character) {
    if (host_ == nullptr || !Compiled())
        return true;
    applyCaseRule();
    const auto [text, length, start, end] = selectionOf(*host_);
    const std::wstring head = text.substr(0, static_cast<std::size_t>(start));
    regExpr_->Reset();
    regExpr_->FeedText(head);
    wchar_t accepted = character;
    if (!regExpr_->Next(character, &accepted)) {
        beep();
        return false;
    }
    character = accepted;
    if (fits(text.substr(static_cast<std::size_t>(end))))
        return true; // the inner edit puts it over the selection
    setText(head + accepted, start + 1);
    return false;
}

bool TkvMaskEditRegExprMode::removeSelection(const std::wstring &text, int start, int end) {
    const std::wstring head = text.substr(0, static_cast<std::size_t>(start));
    regExpr_->Reset();
    regExpr_->FeedText(head);
    if (fits(text.substr(static_cast<std::size_t>(end))))
        return true; // the inner edit removes it
    setText(head, start);
    beep();
    return false;
}

bool TkvMaskEditRegExprMode::PressBackspace() {
    if (host_ == nullptr || !Compiled())
        return true;
    const auto [text, length, start, end] = selectionOf(*host_);
    if (end > start)
        return removeSelection(text, start, end);
    if (start == 0)
        return true;
    regExpr_->Reset();
    regExpr_->FeedText(text.substr(0, static_cast<std::size_t>(start - 1)));
    if (!fits(text.substr(static_cast<std::size_t>(start))))
        setText(text.substr(0, static_cast<std::size_t>(start)), start); // the rest no longer fits
    return true;
}

bool TkvMaskEditRegExprMode::PressDelete() {
    if (host_ == nullptr || !Compiled())
        return true;
    const auto [text, length, start, end] = selectionOf(*host_);
    if (end > start)
        return removeSelection(text, start, end);
    const std::wstring head = text.substr(0, static_cast<std::size_t>(start));
    regExpr_->Reset();
    regExpr_->FeedText(head);
    if (start >= length)
        return true;
    if (!fits(text.substr(static_cast<std::size_t>(start + 1))))
        setText(head, start);
    return true;
}

void TkvMaskEditRegExprMode::AfterPaste() { ClipboardTextLength = 0; }

void TkvMaskEditRegExprMode::SynchronizeEditValue() {
    inherited::SynchronizeEditValue();
    if (!HasEdit())
        return;
    const int length = static_cast<int>(host_->InnerText().size());
    host_->SetSelection(length, length);
}

// ---- extended regular-expression mode -------------------------------------------------------

std::wstring TkvMaskEditRegExprExMode::forcedContinuation() {
    std::wstring added;
    regExpr_->OnSymbolAdd = [&added](wchar_t c) { added += c; };
    regExpr_->SetUpdateOn(true);
    regExpr_->SetUpdateOn(false);
    regExpr_->OnSymbolAdd = nullptr;
    return added;
}

std::wstring TkvMaskEditRegExprExMode::forcedStart() {
    if (!Compiled())
        return {};
    regExpr_->Reset();
    return forcedContinuation();
}

int TkvMaskEditRegExprExMode::trailingForced(const std::wstring &text) {
    int count = 0;
    for (std::size_t j = text.size(); j > 0; --j) {
        regExpr_->Reset();
        regExpr_->FeedText(text.substr(0, j - 1));
        std::wstring continuation = forcedContinuation();
        if (continuation.empty() || continuation[0] != text[j - 1])
            break;
        ++count;
    }
    return count;
}

std::wstring TkvMaskEditRegExprExMode::GetEmptyString() { return forcedStart(); }

std::wstring TkvMaskEditRegExprExMode::GetFormattedText(const std::wstring &text, bool) {
    if (!Compiled())
        return {};
    applyCaseRule();
    // Typed text may leave out what the expression forces: it is put in where it is missing.
    regExpr_->Reset();
    std::wstring result;
    for (wchar_t c : withoutNul(text)) {
        wchar_t accepted = c;
        if (regExpr_->Next(c, &accepted)) {
            result += accepted;
            continue;
        }
        std::wstring forced = forcedContinuation();
        if (!forced.empty() && regExpr_->Next(c, &accepted)) {
            result += forced;
            result += accepted;
            continue;
        }
        for (std::size_t i = 0; i < forced.size(); ++i)
            regExpr_->Prev();
    }
    return result + forcedContinuation();
}

bool TkvMaskEditRegExprExMode::IsFullText(const std::wstring &text) {
    if (Compiled() && text == forcedStart())
        return true;
    return inherited::IsFullText(text);
}

void TkvMaskEditRegExprExMode::UpdateEditValue() { writePendingEmptyValue(); }

// The caret stands only where a whole step (a character and what it forces) ends.
std::vector<int> TkvMaskEditRegExprExMode::stepEnds(const std::wstring &text) {
    std::vector<int> ends;
    const std::wstring start = forcedStart();
    std::size_t position = 0;
    if (startsWith(text, start))
        position = start.size();
    else
        regExpr_->Reset();
    ends.push_back(static_cast<int>(position));
    while (position < text.size() && regExpr_->Next(text[position])) {
        position += 1 + commonPrefix(forcedContinuation(), text, position + 1);
        ends.push_back(static_cast<int>(std::min(position, text.size())));
    }
    return ends;
}

void TkvMaskEditRegExprExMode::snapCaret() {
    if (host_ == nullptr || !Compiled())
        return;
    const std::vector<int> ends = stepEnds(host_->InnerText());
    const int start = host_->SelStart();
    const int selected = host_->SelLength();
    if (selected == 0) {
        // The caret goes back to the end of the last whole step before it.
        const int caret = host_->CaretIndex();
        int snapped = ends.front();
        for (int end : ends)
            if (end <= caret)
                snapped = end;
        if (snapped != caret)
            host_->SetSelection(snapped, snapped);
        return;
    }
    // A selection reaches to the end of the step that covers its end.
    const int end = start + selected;
    for (int stepEnd : ends) {
        if (stepEnd >= end) {
            if (stepEnd != end)
                host_->SetSelection(start, stepEnd);
            return;
        }
    }
}

void TkvMaskEditRegExprExMode::MouseDown() { snapCaret(); }

void TkvMaskEditRegExprExMode::BeforePaste() {
    snapCaret();
    newCaret_ = -1;
}

void TkvMaskEditRegExprExMode::AfterPaste() {
    inherited::AfterPaste();
    if (newCaret_ >= 0 && host_ != nullptr)
        host_->SetSelection(newCaret_, newCaret_);
    newCaret_ = -1;
    snapCaret();
}

void TkvMaskEditRegExprExMode::SetText(const std::wstring &) {
    if (HasEdit())
        snapCaret();
}

bool TkvMaskEditRegExprExMode::PressSymbol(wchar_t &character) {
    if (host_ == nullptr || !Compiled())
        return true;
    applyCaseRule();
    auto [text, length, start, end] = selectionOf(*host_);
    const std::wstring forcedHead = forcedStart();
    if (start < static_cast<int>(forcedHead.size()) && startsWith(text, forcedHead)) {
        start = static_cast<int>(forcedHead.size()); // typing goes after the forced start
        end = std::max(end, start);
    }
    const std::wstring head = text.substr(0, static_cast<std::size_t>(start));
    const std::wstring tail = text.substr(static_cast<std::size_t>(end));
    regExpr_->Reset();
    regExpr_->FeedText(head);
    wchar_t accepted = character;
    std::wstring before;
    if (!regExpr_->Next(character, &accepted)) {
        before = forcedContinuation();
        if (before.empty() || !regExpr_->Next(character, &accepted)) {
            for (std::size_t i = 0; i < before.size(); ++i)
                regExpr_->Prev();
            beep();
            return false;
        }
    }
    const std::wstring after = forcedContinuation();
    const std::wstring full = head + before + accepted + after;
    // The rest is kept where it fits: after the forced characters, or in their place.
    if (fits(tail)) {
        setText(full + tail, static_cast<int>(full.size()));
    } else if (startsWith(tail, after) && fits(tail.substr(after.size()))) {
        setText(full + tail.substr(after.size()), static_cast<int>(full.size()));
    } else {
        setText(full, static_cast<int>(full.size()));
    }
    return false;
}

bool TkvMaskEditRegExprExMode::PressBackspace() {
    if (host_ == nullptr || !Compiled())
        return true;
    if (host_->SelLength() > 0)
        return inherited::PressBackspace();
    const auto [text, length, start, end] = selectionOf(*host_);
    const std::wstring forcedHead = forcedStart();
    const int keep = startsWith(text, forcedHead) ? static_cast<int>(forcedHead.size()) : 0;
    if (start <= keep) {
        if (keep > 0)
            beep(); // the forced start stays
        return start == 0;
    }
    const std::wstring head = text.substr(0, static_cast<std::size_t>(start));
    const int target = std::max(start - trailingForced(head) - 1, keep);
    const std::wstring kept = text.substr(0, static_cast<std::size_t>(target));
    const std::wstring tail = text.substr(static_cast<std::size_t>(start));
    feed(kept);
    setText(fits(tail) ? kept + tail : kept, target);
    return false;
}

bool TkvMaskEditRegExprExMode::PressDelete() {
    if (host_ == nullptr || !Compiled())
        return true;
    if (host_->SelLength() > 0)
        return inherited::PressDelete();
    const auto [text, length, start, end] = selectionOf(*host_);
    if (start >= length)
        return true;
    const std::wstring head = text.substr(0, static_cast<std::size_t>(start));
    std::size_t removed = 1;
    if (feed(head) && regExpr_->Next(text[static_cast<std::size_t>(start)]))
        removed += commonPrefix(forcedContinuation(), text, static_cast<std::size_t>(start) + 1);
    const std::wstring rest = text.substr(static_cast<std::size_t>(start) + removed);
    feed(head);
    setText(fits(rest) ? head + rest : head, start);
    return false;
}

bool TkvMaskEditRegExprExMode::PressLeft() {
    if (host_ == nullptr || !Compiled() || host_->ShiftFlag() || host_->SelLength() > 0)
        return true;
    const std::wstring text = host_->InnerText();
    const int caret = clampIndex(host_->CaretIndex(), 0, static_cast<int>(text.size()));
    const std::wstring forcedHead = forcedStart();
    const int keep = startsWith(text, forcedHead) ? static_cast<int>(forcedHead.size()) : 0;
    if (caret <= keep)
        return caret > 0 && keep == 0;
    const int target = std::max(caret - trailingForced(text.substr(0, static_cast<std::size_t>(caret))) - 1, keep);
    host_->SetSelection(target, target);
    return false;
}

bool TkvMaskEditRegExprExMode::PressRight() {
    if (host_ == nullptr || !Compiled() || host_->ShiftFlag() || host_->SelLength() > 0)
        return true;
    const std::wstring text = host_->InnerText();
    const int caret = clampIndex(host_->CaretIndex(), 0, static_cast<int>(text.size()));
    if (caret >= static_cast<int>(text.size()))
        return true;
    std::size_t step = 1;
    if (feed(text.substr(0, static_cast<std::size_t>(caret))) && regExpr_->Next(text[static_cast<std::size_t>(caret)]))
        step += commonPrefix(forcedContinuation(), text, static_cast<std::size_t>(caret) + 1);
    const int target = caret + static_cast<int>(step);
    host_->SetSelection(target, target);
    return false;
}

// ---- routing --------------------------------------------------------------------------------

TClass MaskEditModeClass(TkvEditMaskKind kind) {
    switch (kind) {
    case emkStandard: return TkvMaskEditStandardMode::ClassInfo();
    case emkRegExpr: return TkvMaskEditRegExprMode::ClassInfo();
    default: return TkvMaskEditRegExprExMode::ClassInfo();
    }
}

std::uint16_t MaskEditModeKeyDown(TkvMaskEditCustomMode &mode, std::uint16_t key, bool shift, bool ctrl,
                                  bool &afterKeyDown) {
    afterKeyDown = false;
    IkvMaskEditModeHost *host = mode.Host();
    if (key == VK_TAB || host == nullptr)
        return key;
    host->SetShiftFlag(shift);
    switch (key) {
    case VK_UP:
    case VK_DOWN: afterKeyDown = true; return 0;
    case VK_LEFT:
    case VK_RIGHT: {
        const bool left = key == VK_LEFT;
        if (ctrl) {
            host->SendKey(left ? VK_HOME : VK_END);
            return (left ? mode.PressHome() : mode.PressEnd()) ? key : 0;
        }
        const bool atEdge = left ? mode.IsCursorBegin() : mode.IsCursorEnd();
        if (left ? mode.PressLeft() : mode.PressRight())
            return key;
        afterKeyDown = atEdge;
        return 0;
    }
    case VK_DELETE:
        if (!shift)
            return mode.PressDelete() ? key : 0;
        if (host->SelLength() == 0) {
            // The inner edit would cut nothing: what Backspace does is done instead.
            if (mode.PressBackspace())
                host->SendChar(L'\b');
            return 0;
        }
        return key;
    case VK_HOME: return mode.PressHome() ? key : 0;
    case VK_END: return mode.PressEnd() ? key : 0;
    default: return key;
    }
}

bool MaskEditModeKeyPress(TkvMaskEditCustomMode &mode, wchar_t &character) {
    switch (character) {
    case L'\t':
    case L'\x1B': return false;
    case L'\r':
    case L'\x03':
    case L'\x16':
    case L'\x18': return true;
    case L'\b': return mode.PressBackspace();
    default: return mode.PressSymbol(character);
    }
}

void MaskEditModeCut(TkvMaskEditCustomMode &mode) {
    IkvMaskEditModeHost *host = mode.Host();
    if (host == nullptr || host->SelLength() == 0)
        return;
    if (mode.PressDelete())
        host->SendChar(L'\b');
}
