// The text editor in a real window with real typing: the typed text as edit value, no change
// event for the program's own texts, pasting within the maximum length, character case, text
// typed through the clipboard and the input method, the painted text of an unfocused
// right-aligned editor, a numeric descendant's edit text, completion from lookup items and the
// keys over a completed tail; and captures of text edits in their states.
#include <gtest/gtest.h>

#include <windows.h>

#include <imm.h>

#include <classlib/exception_handler.h>
#include <classlib/float_format.h>
#include <classlib/string_utils.h>
#include <classlib/units.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture.h"
#include "forms_test_support.h"
#include "image_compare.h"
#include "input.h"
#include "kv_editor_support.h"
#include "kvEditRepository.h"
#include "kvTextEdit.h"
#include "system_colors.h"
#include "theme.h"

using namespace editortest;
using namespace formstest;

namespace {

class TNumericTextEditProperties : public TkvTextEditProperties {
    CL_CLASS(TNumericTextEditProperties, TkvTextEditProperties)

public:
    bool IsEditValueNumeric() override { return true; }
};

// A numeric descendant, as the spin editor is.
class TNumericTextEdit : public TkvTextEdit {
    CL_CLASS(TNumericTextEdit, TkvTextEdit)

public:
    TClass GetPropertiesClass() override { return TNumericTextEditProperties::ClassInfo(); }
};

void typeAndDrain(WORD vk) {
    typeKey(vk);
    drainInput();
}

class KvTextEditTest : public EditorFormTest {
protected:
    KvTextEditTest() : EditorFormTest(&kvTextEditUnit, 320, 200) {}

    void SetUp() override {
        EditorFormTest::SetUp();
        if (HasFatalFailure())
            return;
        previousHandler_ = SetExceptionHandler([this](TObject *, const Exception &e) { errors.push_back(e.Message()); });
    }
    void TearDown() override {
        SetExceptionHandler(previousHandler_);
        EditorFormTest::TearDown();
    }

    template <class T = TkvTextEdit> T *addEdit(int left, int top, int width = 121) {
        T *edit = placeEditor<T>(left, top, width);
        drainInput();
        return edit;
    }

    std::vector<std::wstring> errors;

private:
    TExceptionEvent previousHandler_;
};

} // namespace

TEST_F(KvTextEditTest, TypedTextBecomesTheEditValueAndTheProgramsTextChangesNothing) {
    // Registered once, when the unit starts.
    TkvRegisteredClasses *registry = EditPropertiesRegistry();
    const int index = registry->FindByClass(TkvTextEditProperties::ClassInfo());
    ASSERT_GE(index, 0);
    EXPECT_EQ(registry->Items()->Strings(index), L"TextEdit|Represents a single line text editor");
    EXPECT_EQ(TOwned<TkvTextEditProperties>(New<TkvTextEditProperties>(static_cast<TPersistent *>(nullptr)))
                  ->GetEditClass(),
              TkvTextEdit::ClassInfo());

    // A text set before the window exists, and the window's creation, are no user change.
    TkvTextEdit *edit = New<TkvTextEdit>(form);
    int changes = 0;
    int valueChanges = 0;
    edit->Properties()->OnChange = [&](TObject *) { ++changes; };
    edit->Properties()->OnEditValueChanged = [&](TObject *) { ++valueChanges; };
    edit->SetParent(form);
    edit->SetBounds(10, 10, 121, 21);
    edit->SetText(L"early");
    edit->HandleNeeded();
    drainInput();
    EXPECT_EQ(edit->Text(), L"early");
    EXPECT_EQ(changes, 0);
    edit->SetText(L"set");
    EXPECT_EQ(changes, 0); // the program's own text is no user change
    EXPECT_EQ(edit->EditValue().AsWideString(), L"set");
    EXPECT_FALSE(edit->EditModified());

    ASSERT_TRUE(focus(edit));
    changes = 0;
    valueChanges = 0;
    edit->SelectAll();
    typeChars(L"héllo");
    EXPECT_EQ(edit->Text(), L"héllo");
    EXPECT_TRUE(edit->EditModified());
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(valueChanges, 0);
    EXPECT_EQ(edit->SelStart(), 5);
    EXPECT_EQ(edit->SelLength(), 0);

    // WM_GETTEXT answers the shown text and never overruns a short buffer.
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer)), 2);
    EXPECT_EQ(std::wstring(buffer), L"hé");
    EXPECT_EQ(buffer[3], L'x');
    EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 0);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(edit->GetText(), L"héllo");

    // Tab is never inserted; validation makes the text the value.
    typeAndDrain(VK_TAB);
    EXPECT_EQ(edit->Text(), L"héllo");
    EXPECT_TRUE(edit->ValidateEdit(true));
    EXPECT_EQ(edit->EditValue().AsWideString(), L"héllo");
    EXPECT_EQ(valueChanges, 1);
    EXPECT_EQ(changes, 5);
}

// Typing raises OnEditing and OnChange for each character and leaves the edit value alone;
// validation makes the text the value (OnEditValueChanged, no OnChange); a failed one keeps the
// value it had.
TEST_F(KvTextEditTest, TypingRaisesOnlyOnChangeAndTheValueWaitsForValidation) {
    TkvTextEdit *edit = addEdit(10, 10);
    edit->SetText(L"x");
    std::vector<std::wstring> log;
    edit->OnEditing = [&](TObject *, bool &) { log.push_back(L"editing"); };
    edit->Properties()->OnChange = [&](TObject *) { log.push_back(L"change"); };
    edit->Properties()->OnEditValueChanged = [&](TObject *) { log.push_back(L"value"); };
    edit->Properties()->SetValidateOnEnter(true);
    edit->Properties()->OnValidate = [](TObject *, Variant &value, std::wstring &text, bool &error) {
        if (value.AsWideString() == L"abc") {
            text = L"refused";
            error = true;
        }
    };
    ASSERT_TRUE(focus(edit));
    edit->SelectAll();
    typeChars(L"ab");
    EXPECT_EQ(log, (std::vector<std::wstring>{L"editing", L"change", L"editing", L"change"}));
    EXPECT_EQ(edit->EditValue().AsWideString(), L"x");

    log.clear();
    typeAndDrain(VK_RETURN);
    EXPECT_EQ(edit->EditValue().AsWideString(), L"ab");
    EXPECT_EQ(std::count(log.begin(), log.end(), L"value"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), L"change"), 0);

    typeChars(L"c");
    typeAndDrain(VK_RETURN);
    ASSERT_EQ(errors, (std::vector<std::wstring>{L"refused"}));
    EXPECT_EQ(edit->Text(), L"abc");
    EXPECT_EQ(edit->EditValue().AsWideString(), L"ab") << "a failed validation leaves the value";
    EXPECT_TRUE(edit->EditModified());
}

// The inner edit's margins (0 at the left, 1 at the right) outlive the recalculations of a mouse
// move, a focus change and a resize, each of which hands the edit its font again.
TEST_F(KvTextEditTest, TheInnerEditsMarginsHold) {
    TkvTextEdit *edit = addEdit(10, 10);
    TkvTextEdit *other = addEdit(10, 40);
    edit->SetText(L"margins");
    auto margins = [&] {
        const LRESULT m = SendMessageW(inner(edit), EM_GETMARGINS, 0, 0);
        return std::make_pair(static_cast<int>(LOWORD(m)), static_cast<int>(HIWORD(m)));
    };
    EXPECT_EQ(margins(), std::make_pair(0, 1));
    moveMouseTo(clientToScreen(edit->Handle(), POINT{30, 10}));
    moveMouseTo(clientToScreen(edit->Handle(), POINT{40, 12}));
    drainInput();
    EXPECT_EQ(margins(), std::make_pair(0, 1)) << "after a mouse move";
    ASSERT_TRUE(focus(edit));
    ASSERT_TRUE(focus(other));
    EXPECT_EQ(margins(), std::make_pair(0, 1)) << "after the focus came and went";
    edit->SetBounds(10, 10, 160, 21);
    drainInput();
    EXPECT_EQ(margins(), std::make_pair(0, 1)) << "after a resize";
    moveMouseTo(POINT{0, 0});
    drainInput();
}

// Alt and a button caption's accelerator click the button while the focus is in the editor's
// inner edit, which takes characters itself; the letter is not typed.
TEST_F(KvTextEditTest, AltAndTheAcceleratorClickAButtonFromInsideTheEditor) {
    TkvTextEdit *edit = addEdit(10, 10);
    TkvEditButton *open = edit->Properties()->Buttons()->Add();
    open->SetKind(bkText);
    open->SetCaption(L"&Open");
    std::vector<int> clicked;
    edit->Properties()->OnEditButtonClick = [&](TObject *, int index) { clicked.push_back(index); };
    edit->SetText(L"path");
    ASSERT_TRUE(focus(edit));
    pressWith('O', VK_MENU);
    ASSERT_TRUE(pumpUntil([&] { return !clicked.empty(); }));
    EXPECT_EQ(clicked, std::vector<int>{0});
    EXPECT_EQ(edit->Text(), L"path");
    EXPECT_EQ(GetFocus(), inner(edit));
}

TEST_F(KvTextEditTest, PastingIsCutToTheMaximumLengthAndChineseSurvivesWhole) {
    TkvTextEdit *edit = addEdit(10, 10);
    edit->Properties()->SetMaxLength(3);
    ASSERT_TRUE(focus(edit));
    putOnClipboard(L"abcdef");
    pressWith('V', VK_CONTROL);
    EXPECT_EQ(edit->Text(), L"abc");
    EXPECT_TRUE(edit->ValidateEdit(true));
    EXPECT_EQ(edit->EditValue().AsWideString(), L"abc");
    typeChars(L"z");
    EXPECT_EQ(edit->Text(), L"abc");

    edit->Properties()->SetMaxLength(0);
    edit->SetText(L"");
    putOnClipboard(L"中文字");
    pressWith('V', VK_CONTROL);
    EXPECT_EQ(edit->Text(), L"中文字");
    EXPECT_EQ(edit->SelStart(), 3);
    EXPECT_EQ(edit->SelLength(), 0);
    // Pasted from code: the selection is replaced.
    edit->SetSelStart(1);
    edit->SetSelLength(1);
    putOnClipboard(L"国");
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), L"中国字");
    EXPECT_EQ(edit->SelStart(), 2);
}

TEST_F(KvTextEditTest, TheInputMethodsCharactersArriveWholeAndTheSelectionStaysTrue) {
    TkvTextEdit *edit = addEdit(10, 10);
    ASSERT_TRUE(focus(edit));
    auto *innerEdit = dynamic_cast<TkvCustomInnerTextEdit *>(edit->InnerControl());
    for (wchar_t c : std::wstring(L"中文")) {
        PostMessageW(inner(edit), WM_IME_CHAR, c, 1);
        drainInput();
    }
    EXPECT_EQ(edit->Text(), L"中文");
    EXPECT_EQ(innerEdit->ImeCharCount(), 0);
    EXPECT_EQ(edit->SelStart(), 2);
    EXPECT_EQ(edit->SelLength(), 0);
    edit->SetSelStart(0);
    edit->SetSelLength(1);
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_EQ(edit->SelLength(), 1);
    EXPECT_EQ(edit->SelText(), L"中");
    // The caret's character, found from where the caret is drawn.
    edit->SetSelStart(1);
    EXPECT_EQ(innerEdit->CaretIndex(), 1);
}

TEST_F(KvTextEditTest, UpperCaseModeShowsCapitalsForTypedLowerCase) {
    TkvTextEdit *edit = addEdit(10, 10);
    edit->Properties()->SetCharCase(ecUpperCase);
    ASSERT_TRUE(focus(edit));
    typeChars(L"abc");
    EXPECT_EQ(edit->Text(), L"ABC");
    edit->SetText(L"mixed");
    EXPECT_EQ(edit->Text(), L"MIXED");
}

TEST_F(KvTextEditTest, AnUnfocusedRightAlignedEditorPaintsItsTextAtTheRight) {
    TkvTextEdit *edit = addEdit(10, 10, 160);
    TkvTextEdit *other = addEdit(10, 50);
    edit->Properties()->Alignment()->SetHorz(taRightJustify);
    edit->SetText(L"WWW");
    ASSERT_TRUE(focus(other));
    EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(inner(edit)); }));
    edit->Repaint();
    PixelBuffer picture = captureClient(edit->Handle());
    auto darkIn = [&](int from, int to) {
        int dark = 0;
        for (int y = 3; y < picture.height - 3; ++y)
            for (int x = from; x < to; ++x)
                if ((picture.at(x, y) & 0xFF) < 0x60)
                    ++dark;
        return dark;
    };
    EXPECT_EQ(darkIn(3, 100), 0);
    EXPECT_GT(darkIn(100, picture.width - 3), 10);

    // A click shows the inner edit and gives it the focus.
    clickAt(edit->Handle(), POINT{40, 10});
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == inner(edit); }));
    EXPECT_TRUE(IsWindowVisible(inner(edit)));
    EXPECT_EQ(edit->Text(), L"WWW");

    // Leaving hides it again; Tab coming back shows it.
    ASSERT_TRUE(focus(other));
    EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(inner(edit)); }));
    typeAndDrain(VK_TAB);
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == inner(edit); }));
    EXPECT_TRUE(IsWindowVisible(inner(edit)));
}

TEST_F(KvTextEditTest, ANumericDescendantEditsPointOnePlusPointTwoAsPointThree) {
    TNumericTextEdit *edit = addEdit<TNumericTextEdit>(10, 10);
    edit->SetEditValue(Variant(0.1 + 0.2));
    ASSERT_TRUE(focus(edit));
    EXPECT_EQ(edit->Text(), FloatToStr(0.3));
    edit->Properties()->SetDisplayFormat(L"0.00");
    TkvTextEdit *other = addEdit(10, 50);
    ASSERT_TRUE(focus(other));
    std::wstring expected = L"0.30";
    expected[1] = FormatSettings().DecimalSeparator;
    EXPECT_EQ(edit->Text(), expected);
}

TEST_F(KvTextEditTest, TypedTextIsCompletedFromTheLookupItems) {
    TkvTextEdit *edit = addEdit(10, 10);
    TStringList *items = edit->Properties()->LookupItems();
    items->Add(L"Alpha");
    items->Add(L"alphabet");
    items->Add(L"Beta");
    std::vector<std::wstring> newTexts;
    edit->Properties()->OnNewLookupDisplayText = [&](TObject *, const std::wstring &text) { newTexts.push_back(text); };
    int clicks = 0;
    edit->OnClick = [&](TObject *) { ++clicks; };
    ASSERT_TRUE(focus(edit));
    typeChars(L"al");
    EXPECT_EQ(edit->Text(), L"Alpha");
    EXPECT_EQ(edit->SelStart(), 2);
    EXPECT_EQ(edit->SelLength(), 3);
    EXPECT_TRUE(edit->LookupItemsMatched());
    EXPECT_EQ(edit->ItemIndex(), 0);
    EXPECT_TRUE(edit->ValidateEdit(true));
    EXPECT_EQ(edit->EditValue().AsWideString(), L"Alpha") << "once validated";
    EXPECT_GE(clicks, 1);

    // Backspace drops the completed tail and the last typed character.
    typeAndDrain(VK_BACK);
    EXPECT_EQ(edit->Text(), L"Alpha");
    EXPECT_EQ(edit->SelStart(), 1);
    EXPECT_EQ(edit->SelLength(), 4);

    // With Shift the arrows only select: the item still matches.
    pressWith(VK_RIGHT, VK_SHIFT);
    EXPECT_TRUE(edit->LookupItemsMatched());

    // Right collapses the selection to its end and is used up; then it moves the caret again.
    typeAndDrain(VK_RIGHT);
    EXPECT_EQ(edit->SelStart(), 5);
    EXPECT_EQ(edit->SelLength(), 0);
    EXPECT_FALSE(edit->LookupItemsMatched());
    typeAndDrain(VK_LEFT);
    EXPECT_EQ(edit->SelStart(), 4);
    EXPECT_EQ(edit->SelLength(), 0);

    // No item starts so: the text stays as typed.
    edit->SelectAll();
    typeChars(L"gam");
    EXPECT_EQ(edit->Text(), L"gam");
    EXPECT_EQ(edit->ItemIndex(), -1);

    // Typed whole, the item still matches: Backspace takes the last character and searches again.
    edit->SelectAll();
    typeChars(L"alpha");
    EXPECT_EQ(edit->Text(), L"Alpha");
    ASSERT_TRUE(edit->LookupItemsMatched());
    typeAndDrain(VK_BACK);
    EXPECT_EQ(edit->Text(), L"Alpha");
    EXPECT_EQ(edit->SelStart(), 4);
    EXPECT_EQ(edit->SelLength(), 1);

    // Typed over a selection inside the text, the prefix is completed and the item is the text.
    edit->SetText(L"Gamma");
    edit->SetSelStart(0);
    edit->SetSelLength(2);
    typeChars(L"b");
    EXPECT_EQ(edit->Text(), L"Beta");
    EXPECT_EQ(edit->SelStart(), 1);
    EXPECT_EQ(edit->SelLength(), 3);
    // Inside the text with nothing selected or matched, a character is only inserted.
    edit->SetText(L"Gamma");
    edit->SetSelStart(0);
    edit->SetSelLength(0);
    typeChars(L"b");
    EXPECT_EQ(edit->Text(), L"bGamma");

    // An item chosen by index becomes the value, as a click.
    const int clicksBefore = clicks;
    edit->SetItemIndex(2);
    EXPECT_EQ(edit->ItemIndex(), 2);
    EXPECT_EQ(edit->EditValue().AsWideString(), L"Beta");
    EXPECT_EQ(edit->Text(), L"Beta");
    EXPECT_EQ(clicks, clicksBefore + 1);
    EXPECT_FALSE(edit->ModifiedAfterEnter());

    edit->SetText(L"Gamma");
    ASSERT_FALSE(newTexts.empty());
    EXPECT_EQ(newTexts.back(), L"Gamma");
    const std::size_t known = newTexts.size();
    edit->SetText(L"BETA");
    EXPECT_EQ(newTexts.size(), known);

    // Without incremental search the items complete nothing.
    edit->Properties()->SetIncrementalSearch(false);
    edit->SelectAll();
    typeChars(L"Be");
    EXPECT_EQ(edit->Text(), L"Be");
    EXPECT_EQ(edit->SelLength(), 0);
}

TEST_F(KvTextEditTest, TheInputMethodCounterNeverOutlivesASetTextOrTheFocus) {
    TkvTextEdit *edit = addEdit(10, 10);
    TkvTextEdit *other = addEdit(10, 50);
    auto *innerEdit = dynamic_cast<TkvCustomInnerTextEdit *>(edit->InnerControl());
    int countInside = -1;
    int countAfterSetText = -1;
    int countAfterFocusLoss = -1;
    edit->OnKeyPress = [&](TObject *, wchar_t &key) {
        if (key == L'中') {
            countInside = innerEdit->ImeCharCount();
            edit->SetText(L"reset");
            countAfterSetText = innerEdit->ImeCharCount();
            key = 0;
        } else if (key == L'文') {
            other->SetFocus();
            countAfterFocusLoss = innerEdit->ImeCharCount();
            key = 0;
        }
    };
    ASSERT_TRUE(focus(edit));
    PostMessageW(inner(edit), WM_IME_CHAR, L'中', 1);
    drainInput();
    EXPECT_EQ(countInside, 1);
    EXPECT_EQ(countAfterSetText, 0);
    EXPECT_EQ(edit->Text(), L"reset");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(inner(edit), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(edit->SelStart(), static_cast<int>(start));
    EXPECT_EQ(edit->SelLength(), static_cast<int>(end - start));
    PostMessageW(inner(edit), WM_IME_CHAR, L'文', 1);
    drainInput();
    EXPECT_EQ(countAfterFocusLoss, 0);
    EXPECT_EQ(edit->Text(), L"reset");
}

TEST_F(KvTextEditTest, PasswordEchoNavigationKeysAndTheBoundsLock) {
    TkvTextEdit *edit = addEdit(10, 10);
    edit->Properties()->SetEchoMode(eemPassword);
    EXPECT_EQ(SendMessageW(inner(edit), EM_GETPASSWORDCHAR, 0, 0), L'*');
    edit->Properties()->SetPasswordChar(L'#');
    EXPECT_EQ(SendMessageW(inner(edit), EM_GETPASSWORDCHAR, 0, 0), L'#');
    edit->SetText(L"secret");
    EXPECT_EQ(edit->Text(), L"secret");
    edit->Properties()->SetEchoMode(eemNormal);
    EXPECT_EQ(SendMessageW(inner(edit), EM_GETPASSWORDCHAR, 0, 0), 0);

    std::vector<WORD> after;
    edit->OnAfterKeyDown = [&](TObject *, WORD &key, TShiftState) { after.push_back(key); };
    ASSERT_TRUE(focus(edit));
    typeAndDrain(VK_DOWN);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), VK_DOWN);
    EXPECT_EQ(edit->Text(), L"secret");

    // A key that changed only the case of the text changed nothing.
    edit->OnKeyDown = [&](TObject *, WORD &key, TShiftState) {
        if (key != VK_F2)
            return;
        const int start = edit->SelStart();
        const int length = edit->SelLength();
        edit->SetText(L"SECRET");
        edit->SetSelStart(start);
        edit->SetSelLength(length);
    };
    after.clear();
    typeAndDrain(VK_F2);
    edit->OnKeyDown = nullptr;
    EXPECT_EQ(edit->Text(), L"SECRET");
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), VK_F2);

    // The input method follows the mode whenever the edit takes the focus.
    TkvTextEdit *other = addEdit(10, 50);
    edit->Properties()->SetImeMode(imDisable);
    ASSERT_TRUE(focus(other));
    ASSERT_TRUE(focus(edit));
    EXPECT_EQ(ImmGetContext(inner(edit)), nullptr);
    edit->Properties()->SetImeMode(imOpen);
    edit->Properties()->SetImeName(L"Pinyin");
    // The editor's own settings follow its properties.
    EXPECT_EQ(edit->ImeMode(), imOpen);
    EXPECT_EQ(edit->ImeName(), L"Pinyin");
    ASSERT_TRUE(focus(other));
    ASSERT_TRUE(focus(edit));
    HIMC context = ImmGetContext(inner(edit));
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(ImmGetOpenStatus(context));
    ImmReleaseContext(inner(edit), context);

    auto *innerEdit = dynamic_cast<TkvCustomInnerTextEdit *>(edit->InnerControl());
    innerEdit->LockBounds(false);
    EXPECT_EQ(innerEdit->BoundsLockCount(), 0);
    innerEdit->LockBounds(true);
    const TRect before = innerEdit->BoundsRect();
    innerEdit->SetBounds(0, 0, 10, 10); // ignored while locked
    EXPECT_TRUE(EqualRect(&before, &static_cast<const RECT &>(innerEdit->BoundsRect())));
    innerEdit->LockBounds(false);
}

TEST_F(KvTextEditTest, ANumericValueOutsideItsBoundsFailsOnEnter) {
    TNumericTextEdit *edit = addEdit<TNumericTextEdit>(10, 10);
    edit->Properties()->SetMinValue(384);
    edit->Properties()->SetMaxValue(1024);
    edit->Properties()->SetValidateOnEnter(true);
    ASSERT_TRUE(focus(edit));
    typeChars(L"100");
    typeAndDrain(VK_RETURN);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], L"Value out of bounds");
    EXPECT_TRUE(edit->EditModified());
    EXPECT_TRUE(edit->EditValue().IsNull()) << "a failed validation leaves the value";
    edit->SelectAll();
    typeChars(L"512");
    typeAndDrain(VK_RETURN);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(edit->EditValue().AsDouble(), 512.0);
}

// --- captures

namespace {

PixelBuffer captureEdits(const std::vector<TkvCustomEdit *> &edits) {
    return captureEditors(edits, [] { drainInput(); });
}

} // namespace

TEST_F(KvTextEditTest, CapturesOfTextEditsInTheirStates) {
    disableThemingForProcess();
    TkvTextEdit *focused = addEdit(10, 10, 140);
    TkvTextEdit *unfocused = addEdit(10, 35, 140);
    TkvTextEdit *disabled = addEdit(10, 60, 140);
    TkvTextEdit *right = addEdit(10, 85, 140);
    TkvTextEdit *lookup = addEdit(10, 110, 140);
    focused->SetText(L"Focused");
    unfocused->SetText(L"Unfocused");
    disabled->SetText(L"Disabled");
    disabled->SetEnabled(false);
    right->SetText(L"Right");
    right->Properties()->Alignment()->SetHorz(taRightJustify);
    lookup->Properties()->LookupItems()->Add(L"Completion");
    ASSERT_TRUE(focus(lookup));
    typeChars(L"Com");
    ASSERT_EQ(lookup->Text(), L"Completion");
    // The caret blinks: it is not part of the picture.
    HideCaret(inner(lookup));
    PixelBuffer withLookup = captureEdits({lookup});
    ASSERT_TRUE(focus(focused));
    focused->SelectAll();
    HideCaret(inner(focused));
    PixelBuffer all = captureEdits({focused, unfocused, disabled, right});
    EXPECT_TRUE(matchesReference(stackShots({all, withLookup}, 0), "gui", "kv_text_edits"));
    restoreThemingForProcess();
}

// Each look and feel's frame lies on the ring just inside the window region (the transparent
// border's outer ring is cut away), UltraFlat's in clHighlight while focused;
// and a picture of an editor with a button in each look and feel, focused and not.
TEST_F(KvTextEditTest, FramesAreDrawnInsideTheWindowRegionInEachLookAndFeel) {
    disableThemingForProcess();
    const TkvLookAndFeelKind kinds[] = {lfFlat, lfStandard, lfUltraFlat, lfOffice11};
    std::vector<TkvTextEdit *> edits;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 2; ++column) {
            TkvTextEdit *edit = addEdit(10 + column * 150, 10 + row * 26, 140);
            edit->Style()->LookAndFeel()->SetKind(kinds[row]);
            edit->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
            edit->SetText(column == 0 ? L"Unfocused" : L"Focused");
            edits.push_back(edit);
        }
    drainInput();
    std::vector<PixelBuffer> shots;
    for (int row = 0; row < 4; ++row) {
        TkvTextEdit *focused = edits[row * 2 + 1];
        ASSERT_TRUE(focus(focused));
        focused->SelectAll();
        HideCaret(inner(focused));
        shots.push_back(captureEdits({edits[row * 2], focused}));
    }
    // Every one-pixel frame: the same colour all round on the second ring, another inside.
    auto ringColour = [](const PixelBuffer &shot, int top, int width, int height, std::uint32_t &colour) {
        const POINT ring[] = {{1, top + height / 2}, {width - 2, top + height / 2}, {width / 3, top + 1},
                              {width / 3, top + height - 2}};
        colour = shot.at(ring[0].x, ring[0].y);
        for (const POINT &p : ring)
            if (shot.at(p.x, p.y) != colour)
                return false;
        return shot.at(width / 3, top + 2) != colour;
    };
    for (int row = 2; row < 4; ++row)
        for (int column = 0; column < 2; ++column) {
            SCOPED_TRACE(row * 2 + column);
            std::uint32_t colour = 0;
            EXPECT_TRUE(ringColour(shots[row], column * 23, 140, 21, colour));
            if (kinds[row] == lfUltraFlat && column == 1) {
                EXPECT_EQ(colour, PixelBuffer::fromColorRef(ColorToRGB(clHighlight)));
            }
        }
    EXPECT_TRUE(matchesReference(stackShots(shots, 0), "gui", "kv_text_edits_looks"));
    restoreThemingForProcess();
}

// The keyboard and the code bring the focus with the text selected; a click on the frame leaves
// the selection where it was.
TEST_F(KvTextEditTest, FocusFromTheKeyboardSelectsTheTextAClickOnTheFrameDoesNot) {
    TkvTextEdit *first = addEdit(10, 10);
    TkvTextEdit *second = addEdit(10, 40);
    second->SetText(L"hello");
    ASSERT_TRUE(focus(first));
    typeAndDrain(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == inner(second); }));
    EXPECT_EQ(second->SelStart(), 0);
    EXPECT_EQ(second->SelLength(), 5);

    second->SetSelStart(2);
    second->SetSelLength(0);
    ASSERT_TRUE(focus(first));
    clickAt(second->Handle(), POINT{1, 10});
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == inner(second); }));
    drainInput();
    EXPECT_EQ(second->SelStart(), 2);
    EXPECT_EQ(second->SelLength(), 0);

    ASSERT_TRUE(focus(first));
    ASSERT_TRUE(focus(second));
    EXPECT_EQ(second->SelLength(), 5);
}
