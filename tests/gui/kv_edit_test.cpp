// The editor base control in real windows: focus moves, keys, validation, the buttons under the
// mouse, the value and its events, the repository item, and the picture of every button style
// and state.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>

#include <kvClasses.h>
#include <kvEdit.h>

#include <algorithm>
#include <memory>

#include "capture.h"
#include "image_compare.h"
#include "kv_control_support.h"
#include "kv_edit_probe.h"
#include "system_colors.h"
#include "theme.h"

using namespace kvcontroltest;
using namespace kvedittest;

namespace {

const wchar_t *const defaultInvalidText = L"Invalid input value. Use escape key to abandon changes";

class KvEditTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        if (HasFatalFailure())
            return;
        kvEditUnit.Start();
        // A hot editor tracks the mouse on a quick timer: keep the cursor away unless a test
        // needs it.
        moveMouseTo(POINT{2, 2});
    }
    void TearDown() override {
        while (form->ComponentCount() > 0)
            form->Components(form->ComponentCount() - 1)->Free();
        if (kvEditUnit.IsStarted())
            kvEditUnit.Stop();
        KvControlTest::TearDown();
    }

    TProbeEdit *edit(TRect bounds) {
        TProbeEdit *e = New<TProbeEdit>(form);
        e->SetAutoSize(false);
        e->Style()->SetBorderStyle(ebsSingle);
        e->Style()->SetTransparentBorder(false);
        e->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
        e->SetParent(form);
        e->HandleNeeded();
        return e;
    }
    bool focus(TProbeEdit *e) {
        e->SetFocus();
        return pumpUntil([e] { return e->Focused(); });
    }
    // The centre of a shown button, in the editor's client coordinates.
    static POINT buttonCentre(TProbeEdit *e, int viewIndex) {
        TRect r = e->ViewInfo()->Button(viewIndex)->Bounds;
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

TEST_F(KvEditTest, TabAndShiftTabMoveTheFocus) {
    ASSERT_TRUE(showForm());
    TProbeEdit *first = edit(TRect{10, 10, 130, 31});
    TProbeEdit *second = edit(TRect{10, 40, 130, 61});
    TProbeEdit *third = edit(TRect{10, 70, 130, 91});
    std::vector<TObject *> focusChanges;
    first->OnFocusChanged = [&](TObject *sender) { focusChanges.push_back(sender); };
    ASSERT_TRUE(focus(first));
    EXPECT_TRUE(first->ViewInfo()->ContainerState.Contains(cvsFocused)) << "the focused look";
    pressKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return second->Focused(); }));
    EXPECT_FALSE(first->ViewInfo()->ContainerState.Contains(cvsFocused));
    EXPECT_TRUE(second->ViewInfo()->ContainerState.Contains(cvsFocused));
    EXPECT_EQ(focusChanges, (std::vector<TObject *>{first, first})) << "in and out, once each";
    pressKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return third->Focused(); }));
    pressKey(VK_TAB, Shift);
    ASSERT_TRUE(pumpUntil([&] { return second->Focused(); }));
    EXPECT_FALSE(first->Focused());
    EXPECT_TRUE(errors.empty());
}

TEST_F(KvEditTest, ButtonPressAndReleaseOverItClicks) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Style()->SetHotTrack(false); // no tracking timer to wait through after each move
    e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
    e->Properties()->Buttons()->Add()->SetKind(bkDown);
    std::vector<int> clicks;
    e->Properties()->OnEditButtonClick = [&](TObject *sender, int index) {
        EXPECT_EQ(sender, e);
        clicks.push_back(index);
    };
    ASSERT_TRUE(pumpUntil([&] { return e->ViewInfo()->ButtonCount() == 2; }));
    // Buttons stand from the right edge in collection order: the second view is button 1.
    const int view = e->ViewInfo()->Button(0)->Index == 1 ? 0 : 1;
    const POINT on = buttonCentre(e, view);
    pressMouseAt(e->Handle(), on);
    ASSERT_TRUE(pumpUntil([&] { return e->logCount(L"down 1") == 1; }));
    EXPECT_EQ(e->ViewInfo()->Button(view)->State, kvebsPressed);
    EXPECT_TRUE(clicks.empty()) << "no click before the release";
    releaseMouseAt(e->Handle(), on);
    ASSERT_TRUE(pumpUntil([&] { return e->logCount(L"click 1") == 1; }));
    EXPECT_EQ(e->Log, (std::vector<std::wstring>{L"down 1", L"up 1", L"click 1"}));
    EXPECT_EQ(clicks, std::vector<int>{1});

    // Pressed, moved off and released elsewhere: up, no click.
    e->Log.clear();
    pressMouseAt(e->Handle(), on);
    ASSERT_TRUE(pumpUntil([&] { return e->logCount(L"down 1") == 1; }));
    moveMouseTo(clientToScreen(e->Handle(), POINT{10, 10}));
    releaseMouseAt(e->Handle(), POINT{10, 10});
    pumpFor(50);
    EXPECT_EQ(e->logCount(L"up 1"), 1);
    EXPECT_EQ(e->logCount(L"click 1"), 0);
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(KvEditTest, ADoubleClickOffTheButtonsIsASecondPressAndClick) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Style()->SetHotTrack(false);
    e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
    std::vector<std::wstring> events;
    e->OnMouseDown = [&](TObject *, TMouseButton, TShiftState, int, int) { events.push_back(L"down"); };
    e->OnClick = [&](TObject *) { events.push_back(L"click"); };
    e->OnDblClick = [&](TObject *) { events.push_back(L"double"); };
    ASSERT_TRUE(pumpUntil([&] { return e->ViewInfo()->ButtonCount() == 1; }));
    doubleClickAt(e->Handle(), POINT{10, 10});
    ASSERT_TRUE(pumpUntil([&] { return events.size() >= 5; }));
    pumpFor(30);
    EXPECT_EQ(events, (std::vector<std::wstring>{L"down", L"click", L"double", L"down", L"click"}));

    // On a button: two clicks of the button, no double click of the editor.
    events.clear();
    doubleClickAt(e->Handle(), buttonCentre(e, 0));
    ASSERT_TRUE(pumpUntil([&] { return e->logCount(L"click 0") == 2; }));
    pumpFor(30);
    EXPECT_EQ(std::count(events.begin(), events.end(), L"double"), 0);
}

TEST_F(KvEditTest, ButtonsShownUnderTheMouseArePainted) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Style()->SetHotTrack(false);
    e->Style()->SetButtonTransparency(ebtHideUnselected);
    e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
    UpdateWindow(e->Handle());
    ASSERT_EQ(e->ViewInfo()->ButtonCount(), 0);
    moveMouseTo(clientToScreen(e->Handle(), POINT{10, 10}));
    ASSERT_TRUE(pumpUntil([&] { return e->ViewInfo()->ButtonCount() == 1; }));
    // What the window shows once the buttons came is what a full repaint draws.
    UpdateWindow(e->Handle());
    const PixelBuffer shown = captureClient(e->Handle());
    RedrawWindow(e->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const ImageDifference difference = compareImages(shown, captureClient(e->Handle()));
    EXPECT_EQ(difference.differentPixels, 0) << "first at " << difference.firstX << "," << difference.firstY;
}

TEST_F(KvEditTest, AHandlerThatRaisesReachesTheExceptionHandler) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Style()->SetHotTrack(false);
    e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
    int calls = 0;
    e->Properties()->OnEditButtonClick = [&](TObject *, int) {
        ++calls;
        throw Exception(L"handler failed");
    };
    ASSERT_TRUE(pumpUntil([&] { return e->ViewInfo()->ButtonCount() == 1; }));
    clickAt(e->Handle(), buttonCentre(e, 0));
    ASSERT_TRUE(pumpUntil([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors[0], L"handler failed");
    clickAt(e->Handle(), buttonCentre(e, 0));
    ASSERT_TRUE(pumpUntil([&] { return errors.size() == 2; })) << "the editor goes on";
    EXPECT_EQ(calls, 2);
}

TEST_F(KvEditTest, CtrlEnterClicksTheDefaultButtonAndLeavesNoCharacter) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
    e->Properties()->Buttons()->Add()->SetDefault(true);
    std::vector<int> clicks;
    e->Properties()->OnEditButtonClick = [&](TObject *, int index) { clicks.push_back(index); };
    std::vector<wchar_t> chars;
    e->OnKeyPress = [&](TObject *, wchar_t &key) { chars.push_back(key); };
    ASSERT_TRUE(focus(e));
    pressKey(VK_RETURN, Control);
    ASSERT_TRUE(pumpUntil([&] { return clicks.size() == 1; }));
    pumpFor(30);
    EXPECT_EQ(clicks, std::vector<int>{1});
    EXPECT_TRUE(chars.empty()) << "the shortcut's character was taken from the queue";
    EXPECT_EQ(e->Shown, L"");
}

TEST_F(KvEditTest, ForeignRepositoryItemIsRefused) {
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    TkvEditRepository *repository = New<TkvEditRepository>(form);
    auto *fitting = static_cast<TProbeRepositoryItem *>(repository->CreateItem(TProbeRepositoryItem::ClassInfo()));
    TkvEditRepositoryItem *foreign = repository->CreateItem(TkvEditRepositoryItem::ClassInfo());
    e->SetRepositoryItem(fitting);
    try {
        e->SetRepositoryItem(foreign);
        ADD_FAILURE() << "a foreign item was taken";
    } catch (const Exception &error) {
        EXPECT_EQ(error.Message(), L"The repository item is not acceptable");
    }
    EXPECT_EQ(e->RepositoryItem(), fitting) << "the old item stays";
    EXPECT_EQ(fitting->ListenerCount(), 1);
    EXPECT_EQ(foreign->ListenerCount(), 0);

    // The text passes through the program's translations.
    TStringList *source = New<TStringList>();
    TStringList *target = New<TStringList>();
    source->Add(L"The repository item is not acceptable");
    target->Add(L"Element abgelehnt");
    SetResourceStringTranslations(source, target);
    try {
        e->SetRepositoryItem(foreign);
        ADD_FAILURE() << "a foreign item was taken";
    } catch (const Exception &error) {
        EXPECT_EQ(error.Message(), L"Element abgelehnt");
    }
    SetResourceStringTranslations(nullptr, nullptr);
}

TEST_F(KvEditTest, ValidationOnExitRaisesAndKeepsTheFocus) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    TProbeEdit *next = edit(TRect{10, 40, 150, 61});
    e->Properties()->OnValidate = [](TObject *, Variant &value, std::wstring &text, bool &error) {
        if (textOf(value) == L"x") {
            error = true;
            text = L"no x here";
        }
    };
    ASSERT_TRUE(focus(e));
    typeText(L"x");
    ASSERT_TRUE(pumpUntil([&] { return e->Shown == L"x"; }));
    EXPECT_TRUE(e->EditModified());
    next->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return errors.size() == 1; }));
    pumpFor(50);
    EXPECT_EQ(errors[0], L"no x here");
    EXPECT_TRUE(e->Focused()) << "the editor keeps the focus";
    EXPECT_TRUE(e->ViewInfo()->ContainerState.Contains(cvsFocused)) << "and shows it";
    EXPECT_TRUE(e->EditModified());
    EXPECT_EQ(textOf(e->EditValue()), L"x") << "the value is unchanged";

    // A valid text lets the focus go.
    pressKey(VK_BACK);
    e->SetUserInput(true);
    e->SetEditValue(Variant(std::wstring(L"y")));
    e->SetUserInput(false);
    next->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return next->Focused(); }));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(e->EditModified());
}

TEST_F(KvEditTest, AFailedValidationShowsTheHandlersTextBeforeRaising) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Properties()->SetValidateOnEnter(true);
    std::wstring shownWhenRaised;
    e->Properties()->OnValidate = [](TObject *, Variant &value, std::wstring &text, bool &error) {
        value = Variant(std::wstring(L"fixed"));
        text = L"try again";
        error = true;
    };
    ASSERT_TRUE(focus(e));
    typeText(L"q");
    ASSERT_TRUE(pumpUntil([&] { return e->Shown == L"q"; }));
    pressKey(VK_RETURN);
    ASSERT_TRUE(pumpUntil([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors[0], L"try again");
    EXPECT_EQ(e->Shown, L"fixed") << "the display took the handler's value first";
    EXPECT_EQ(textOf(e->EditValue()), L"q") << "the edit value is unchanged";
    EXPECT_TRUE(e->EditModified());
}

TEST_F(KvEditTest, AButtonCaptionsAcceleratorClicksIt) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    TkvEditButton *go = e->Properties()->Buttons()->Add();
    go->SetKind(bkText);
    go->SetCaption(L"&Go");
    // The form offers a character no focused control took to its controls.
    EXPECT_EQ(form->Perform(CM_DIALOGCHAR, L'g', 0), 1);
    EXPECT_EQ(e->logCount(L"click 0"), 1);
    EXPECT_EQ(form->Perform(CM_DIALOGCHAR, L'o', 0), 0);
    // Typed into the editor itself, the letter is text.
    ASSERT_TRUE(focus(e));
    typeText(L"g");
    ASSERT_TRUE(pumpUntil([&] { return e->Shown == L"g"; }));
    EXPECT_EQ(e->logCount(L"click 0"), 1);
    go->SetEnabled(false);
    EXPECT_EQ(form->Perform(CM_DIALOGCHAR, L'g', 0), 0) << "a disabled button has no accelerator";
    EXPECT_EQ(e->logCount(L"click 0"), 1);
}

TEST_F(KvEditTest, AnInPlaceEditorTakesEveryKeyAndSizesNothing) {
    TProbeEdit *e = New<TProbeEdit>(form, true);
    EXPECT_TRUE(e->InPlaceMode());
    EXPECT_FALSE(e->AutoSize());
    EXPECT_FALSE(e->CanAutoSize());
    EXPECT_TRUE(e->Keys().Contains(ckAllKeys));
    EXPECT_TRUE(e->Keys().Contains(ckArrows));
    EXPECT_TRUE(e->Keys().Contains(ckTab)) << "no inner edit takes Tab for it";
    EXPECT_EQ(e->Properties()->DefaultValuesProvider(), nullptr) << "in place, no provider of the binding";
    EXPECT_TRUE(e->CanModify());
    e->Properties()->SetReadOnly(true);
    EXPECT_FALSE(e->CanModify());
    e->SetAutoSize(true);
    EXPECT_FALSE(e->AutoSize()) << "ignored in place";

    TProbeEdit *plain = New<TProbeEdit>(form);
    EXPECT_FALSE(plain->InPlaceMode());
    EXPECT_TRUE(plain->AutoSize());
    EXPECT_FALSE(plain->Keys().Contains(ckTab));
    EXPECT_EQ(plain->Properties()->DefaultValuesProvider(), plain->DataBinding()->IDefaultValuesProvider());
    // An auto-sized editor takes the height its view data gives, whatever it is asked for.
    plain->SetParent(form);
    plain->SetBounds(10, 10, 120, 50);
    TOwned<TkvCustomEditViewData> data(plain->CreateViewData());
    const int wanted = data->GetEditSize(nullptr, TSize{0, 0}).cy;
    EXPECT_EQ(plain->Height(), wanted);
    EXPECT_EQ(plain->Width(), 120);
    plain->Properties()->Buttons()->Add()->SetWidth(11);
    plain->Properties()->SetButtonsLayout(2);
    EXPECT_EQ(plain->Width(), data->GetEditSize(nullptr, TSize{0, 0}).cx) << "the width follows the buttons";
    EXPECT_GT(plain->Width(), 11);
}

TEST_F(KvEditTest, ActivationByKeyFocusesAndForwardsTheKey) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = New<TProbeEdit>(form, true);
    e->SetBounds(10, 10, 120, 21);
    e->SetParent(form);
    e->Hide();
    e->SetEditValue(Variant(std::wstring(L"ab")));
    TkvCustomEditData *data = nullptr;
    e->ActivateByKey(L'c', data);
    EXPECT_TRUE(e->Visible());
    ASSERT_TRUE(pumpUntil([&] { return e->Focused(); }));
    EXPECT_EQ(e->Shown, L"abc") << "the key reached the editor as a character";
    EXPECT_TRUE(e->EditModified());
    EXPECT_EQ(data, nullptr) << "the base editor keeps no edit data";
}

// Runs inside the modal form's loop: types into the editor, then closes the form with a result.
struct ModalRun {
    TProbeEdit *Edit = nullptr;
    TModalResult Result = mrNone;
    TCustomForm *Form = nullptr;
    bool Done = false;
};
ModalRun *modalRun = nullptr;

void CALLBACK modalStep(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ModalRun *run = modalRun;
    run->Edit->SetFocus();
    run->Edit->SetUserInput(true);
    run->Edit->SetEditValue(Variant(std::wstring(L"typed")));
    run->Edit->SetUserInput(false);
    run->Done = run->Edit->EditModified();
    run->Form->SetModalResult(run->Result);
}

TEST_F(KvEditTest, ClosingAModalFormWithOkValidatesWithoutRaising) {
    for (TModalResult result : {mrOk, mrCancel}) {
        SCOPED_TRACE(result);
        TForm *dialog = New<TForm>(form);
        dialog->SetBounds(60, 60, 200, 100);
        TProbeEdit *e = New<TProbeEdit>(dialog);
        e->SetAutoSize(false);
        e->SetBounds(10, 10, 120, 21);
        e->SetParent(dialog);
        int validations = 0;
        e->Properties()->OnValidate = [&](TObject *, Variant &, std::wstring &text, bool &error) {
            ++validations;
            text = L"refused";
            error = true;
        };
        ModalRun run{e, result, dialog};
        modalRun = &run;
        SetTimer(nullptr, 0, 10, modalStep);
        EXPECT_EQ(dialog->ShowModal(), result);
        modalRun = nullptr;
        EXPECT_TRUE(run.Done) << "the editor was modified inside the loop";
        EXPECT_EQ(validations, result == mrOk ? 1 : 0);
        EXPECT_TRUE(errors.empty()) << "nothing is raised";
        dialog->Free();
    }
}

// Only a modal form's closing validates: a form that merely hides keeps its editors' text.
TEST_F(KvEditTest, HidingAFormThatIsNotModalDoesNotValidate) {
    TForm *other = New<TForm>(form);
    other->SetBounds(60, 60, 200, 100);
    TProbeEdit *e = New<TProbeEdit>(other);
    e->SetAutoSize(false);
    e->SetBounds(10, 10, 120, 21);
    e->SetParent(other);
    int validations = 0;
    e->Properties()->OnValidate = [&](TObject *, Variant &, std::wstring &, bool &) { ++validations; };
    other->Show();
    e->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return e->Focused(); }));
    e->SetUserInput(true);
    e->SetEditValue(Variant(std::wstring(L"typed")));
    e->SetUserInput(false);
    ASSERT_TRUE(e->EditModified());
    other->SetModalResult(mrOk);
    other->Hide();
    pumpFor(30);
    EXPECT_EQ(validations, 0);
    other->Free();
}

TEST_F(KvEditTest, EnterValidatesWithTheDefaultText) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->Properties()->OnValidate = [](TObject *, Variant &, std::wstring &, bool &error) { error = true; };
    ASSERT_TRUE(focus(e));
    pressKey(VK_RETURN);
    pumpFor(30);
    EXPECT_TRUE(errors.empty()) << "without ValidateOnEnter, nor anything modified";
    e->Properties()->SetValidateOnEnter(true);
    typeText(L"a");
    ASSERT_TRUE(pumpUntil([&] { return e->Shown == L"a"; }));
    pressKey(VK_RETURN);
    ASSERT_TRUE(pumpUntil([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors[0], defaultInvalidText);
    EXPECT_TRUE(e->Focused());
}

// An editor whose properties cannot reset keeps the typed value on Escape; the Escape
// character is swallowed all the same.
TEST_F(KvEditTest, EscapeWithoutResetKeepsTheValueAndSwallowsItsCharacter) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    e->SetEditValue(Variant(std::wstring(L"abc")));
    EXPECT_EQ(e->Shown, L"abc");
    std::vector<wchar_t> chars;
    e->OnKeyPress = [&](TObject *, wchar_t &key) { chars.push_back(key); };
    ASSERT_TRUE(focus(e));
    typeText(L"d");
    ASSERT_TRUE(pumpUntil([&] { return e->Shown == L"abcd"; }));
    EXPECT_TRUE(e->EditModified());
    chars.clear();
    pressKey(VK_ESCAPE);
    pumpFor(30);
    EXPECT_EQ(e->Shown, L"abcd");
    EXPECT_EQ(textOf(e->EditValue()), L"abcd");
    EXPECT_TRUE(e->EditModified());
    EXPECT_TRUE(chars.empty()) << "the Escape character after the key";
}

TEST_F(KvEditTest, ClipboardKeysReachTheEditor) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    ASSERT_TRUE(focus(e));
    pressKey('C', Control);
    pressKey('X', Control);
    pressKey('V', Control);
    pressKey(VK_INSERT, Control);
    pressKey(VK_DELETE, Shift);
    pressKey(VK_INSERT, Shift);
    ASSERT_TRUE(pumpUntil([&] { return e->Log.size() == 6; }));
    EXPECT_EQ(e->Log, (std::vector<std::wstring>{L"copy", L"cut", L"paste", L"copy", L"cut", L"paste"}));
    EXPECT_EQ(e->Shown, L"") << "no character was typed";

    // Read only: cut copies and paste does nothing.
    e->Log.clear();
    e->Properties()->SetReadOnly(true);
    pressKey('X', Control);
    pressKey('V', Control);
    pumpFor(30);
    EXPECT_EQ(e->Log, std::vector<std::wstring>{L"copy"});
}

TEST_F(KvEditTest, NavigationKeysAndRefusedKeysEndAfterKeyDown) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    std::vector<WORD> after;
    e->OnAfterKeyDown = [&](TObject *sender, WORD &key, TShiftState) {
        EXPECT_EQ(sender, e);
        after.push_back(key);
    };
    std::vector<WORD> down;
    e->OnKeyDown = [&](TObject *, WORD &key, TShiftState) { down.push_back(key); };
    ASSERT_TRUE(focus(e));
    pressKey(VK_DOWN);
    pressKey(VK_HOME);
    ASSERT_TRUE(pumpUntil([&] { return after.size() == 2; }));
    EXPECT_EQ(after, (std::vector<WORD>{VK_DOWN, VK_HOME}));
    EXPECT_EQ(down, (std::vector<WORD>{VK_DOWN, VK_HOME})) << "the key-down event comes first";

    // A refused editing request drops the character and changes nothing.
    e->OnEditing = [](TObject *, bool &canEdit) { canEdit = false; };
    typeText(L"z");
    pumpFor(30);
    EXPECT_EQ(e->Shown, L"");
    EXPECT_FALSE(e->EditModified());
}

TEST_F(KvEditTest, TheClearShortcutEmptiesTheValueWithoutValidation) {
    ASSERT_TRUE(showForm());
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    TProbeEdit *next = edit(TRect{10, 40, 150, 61});
    e->Properties()->SetClearShortCut(scCtrl | 'D');
    int validations = 0;
    e->Properties()->OnValidate = [&](TObject *, Variant &, std::wstring &, bool &error) {
        ++validations;
        error = true;
    };
    e->SetEditValue(Variant(std::wstring(L"abc")));
    ASSERT_TRUE(focus(e));
    pressKey('D', Control);
    ASSERT_TRUE(pumpUntil([&] { return e->EditValue().IsNull(); }));
    EXPECT_TRUE(e->EditModified());
    next->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return next->Focused(); }));
    EXPECT_EQ(validations, 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(KvEditTest, EqualValuesRaiseNoEventsAndOwnHandlersComeFirst) {
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    std::vector<std::wstring> events;
    e->Properties()->OnEditValueChanged = [&](TObject *) { events.push_back(L"own value"); };
    e->Properties()->OnChange = [&](TObject *) { events.push_back(L"own change"); };
    e->SetEditValue(Variant(std::int32_t{5}));
    EXPECT_EQ(events, (std::vector<std::wstring>{L"own value", L"own change"}));
    events.clear();
    e->SetEditValue(Variant(std::int32_t{5}));
    EXPECT_TRUE(events.empty()) << "the same type and value";
    e->SetEditValue(Variant(std::wstring(L"5")));
    EXPECT_EQ(events, (std::vector<std::wstring>{L"own value", L"own change"})) << "another type, the same text";

    events.clear();
    e->LockUpdate(true);
    e->SetEditValue(Variant(std::int32_t{7}));
    e->LockUpdate(false);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(textOf(e->EditValue()), L"5") << "nothing happens under the update lock";

    TkvEditRepository *repository = New<TkvEditRepository>(form);
    TkvEditRepositoryItem *item = repository->CreateItem(TProbeRepositoryItem::ClassInfo());
    item->Properties()->OnChange = [&](TObject *) { events.push_back(L"item change"); };
    item->Properties()->OnEditValueChanged = [&](TObject *) { events.push_back(L"item value"); };
    e->SetRepositoryItem(item);
    e->SetEditValue(Variant(std::int32_t{8}));
    EXPECT_EQ(events,
              (std::vector<std::wstring>{L"own value", L"item value", L"own change", L"item change"}));

    // Change events wait while locked and come once at the end.
    events.clear();
    e->LockChangeEvents(true);
    e->SetEditValue(Variant(std::int32_t{9}));
    e->SetEditValue(Variant(std::int32_t{10}));
    EXPECT_TRUE(events.empty());
    e->LockChangeEvents(false);
    EXPECT_EQ(events,
              (std::vector<std::wstring>{L"own change", L"item change", L"own value", L"item value"}));
}

TEST_F(KvEditTest, ARemovedItemGivesTheEditorItsOwnPropertiesBack) {
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    TProbeEdit *other = edit(TRect{10, 40, 150, 61});
    TkvEditRepository *repository = New<TkvEditRepository>(form);
    TkvEditRepositoryItem *item = repository->CreateItem(TProbeRepositoryItem::ClassInfo());
    e->SetRepositoryItem(item);
    other->SetRepositoryItem(item);
    item->Properties()->Buttons()->Add();
    EXPECT_EQ(e->ViewInfo()->ButtonCount(), 1) << "the item's settings are followed";
    EXPECT_EQ(e->Properties()->DefaultValuesProvider(), nullptr);

    item->Free();
    EXPECT_EQ(e->RepositoryItem(), nullptr);
    EXPECT_EQ(other->RepositoryItem(), nullptr);
    EXPECT_EQ(e->ActiveProperties(), e->Properties());
    EXPECT_EQ(e->ViewInfo()->ButtonCount(), 0) << "the change handling ran with the own settings";
    EXPECT_EQ(e->Properties()->DefaultValuesProvider(), e->DataBinding()->IDefaultValuesProvider());
    // And the editor follows its own settings from now on.
    e->Properties()->Buttons()->Add();
    EXPECT_EQ(e->ViewInfo()->ButtonCount(), 1);
    e->Properties()->SetTransparentBackground(true);
    EXPECT_TRUE(e->IsTransparentBackground());
}

TEST_F(KvEditTest, TheUnitMakesAndFreesTheDefaultStyleController) {
    TkvEditStyleController *controller = GetDefaultEditStyleController();
    ASSERT_NE(controller, nullptr);
    TProbeEdit *e = edit(TRect{10, 10, 150, 31});
    EXPECT_EQ(e->Style()->ControllerInEffect(), controller);
    kvEditUnit.Stop();
    EXPECT_EQ(GetDefaultEditStyleController(), nullptr) << "no controller means none";
    EXPECT_EQ(e->Style()->ControllerInEffect(), nullptr) << "no style is left pointing at it";
    EXPECT_EQ(e->Style()->ButtonStyle(), btsDefault);
    kvEditUnit.Start();
    EXPECT_NE(GetDefaultEditStyleController(), nullptr);
}

// Every button style in each state, the buttons forced into the state through the view data.
class KvEditPaintTest : public KvEditTest {
protected:
    // The colours are set before the units start: the painters take the system's brushes then.
    void SetUp() override {
        colours = std::make_unique<ScopedSysColors>(fixedSystemColors());
        pumpFor(50);
        KvEditTest::SetUp();
    }
    void TearDown() override {
        KvEditTest::TearDown();
        colours.reset();
    }
    PixelBuffer paintButtons() {
        const TkvEditButtonStyle styles[] = {bts3D, btsFlat, btsSimple, btsHotFlat, btsUltraFlat, btsOffice11};
        const int states[] = {kvebsNormal, kvebsHot, kvebsPressed, kvebsDisabled};
        form->SetBounds(30, 30, 4 * 110 + 10, 6 * 28 + 10);
        EXPECT_TRUE(showForm());
        moveMouseTo(POINT{5, 5});
        for (int row = 0; row < 6; ++row)
            for (int column = 0; column < 4; ++column) {
                TProbeEdit *e = edit(TRect{5 + column * 110, 5 + row * 28, 105 + column * 110, 26 + row * 28});
                e->ForcedButtonState = states[column];
                if (styles[row] == btsUltraFlat)
                    e->Style()->SetBorderStyle(ebsUltraFlat);
                if (styles[row] == btsOffice11)
                    e->Style()->SetBorderStyle(ebsOffice11);
                e->Style()->SetButtonStyle(styles[row]);
                e->Properties()->Buttons()->Add()->SetKind(bkDown);
                e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
                e->Properties()->Buttons()->Add()->SetLeftAlignment(true);
                e->Properties()->Buttons()->Items(2)->SetKind(bkEllipsis);
            }
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(100);
        for (const std::wstring &error : errors)
            ADD_FAILURE() << "painting raised: " << std::string(error.begin(), error.end());
        return captureClient(form->Handle());
    }

    // Every border style under the theme (the editor's look and feel paints natively), the
    // buttons in each state.
    PixelBuffer paintThemedBorders() {
        const TkvEditBorderStyle borders[] = {ebsNone, ebsSingle, ebsThick, ebsFlat, ebs3D, ebsUltraFlat, ebsOffice11};
        const int states[] = {kvebsNormal, kvebsHot, kvebsPressed, kvebsDisabled};
        form->SetBounds(30, 30, 4 * 110 + 10, 7 * 28 + 10);
        EXPECT_TRUE(showForm());
        moveMouseTo(POINT{5, 5});
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 4; ++column) {
                TProbeEdit *e = edit(TRect{5 + column * 110, 5 + row * 28, 105 + column * 110, 26 + row * 28});
                e->Style()->LookAndFeel()->SetNativeStyle(true);
                e->ForcedButtonState = states[column];
                e->Style()->SetBorderStyle(borders[row]);
                // A single drop-down is the combo box's part; two buttons are push buttons.
                e->Properties()->Buttons()->Add()->SetKind(bkDown);
                if (row % 2 == 0)
                    e->Properties()->Buttons()->Add()->SetKind(bkEllipsis);
            }
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(100);
        for (const std::wstring &error : errors)
            ADD_FAILURE() << "painting raised: " << std::string(error.begin(), error.end());
        return captureClient(form->Handle());
    }

    std::unique_ptr<ScopedSysColors> colours;
};

TEST_F(KvEditPaintTest, EveryBorderStyleAndButtonStateWithTheTheme) {
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are off on this system";
    EXPECT_TRUE(matchesReference(paintThemedBorders(), "gui", "kv_edit_frames_themed"));
}

TEST_F(KvEditPaintTest, EveryButtonStyleAndStateWithoutTheme) {
    ASSERT_TRUE(disableThemingForProcess());
    CloseAllThemes();
    PixelBuffer shot = paintButtons();
    EXPECT_TRUE(matchesReference(shot, "gui", "kv_edit_buttons_unthemed"));
    while (form->ComponentCount() > 0)
        form->Components(form->ComponentCount() - 1)->Free();
    EXPECT_TRUE(restoreThemingForProcess());
    CloseAllThemes();
}

} // namespace
