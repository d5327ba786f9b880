// Keys: notifications before key down, consumption, dialog keys and tab order.
#include <gtest/gtest.h>

#include <classlib/stdctrls.h>

#include "forms_probe.h"
#include "gui_display.h"
#include "forms_test_support.h"

using namespace formstest;

namespace {

void postKey(HWND window, WORD vk) {
    LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16);
    PostMessageW(window, WM_KEYDOWN, vk, data);
    PostMessageW(window, WM_KEYUP, vk, data | 0xC0000000);
}

struct KeyForm : GuiTest {
    void SetUp() override {
        GuiTest::SetUp();
        probe = addProbe<TProbe>(shown.form, &log, "", TRect{10, 10, 110, 60});
        ASSERT_TRUE(shown.show());
        probe->SetFocus();
        ASSERT_TRUE(pumpUntil([&] { return probe->Focused(); }));
        log.clear();
    }
    ShownForm shown;
    Log log;
    TProbe *probe = nullptr;
};

TEST_F(KeyForm, NotificationArrivesBeforeKeyDown) {
    postKey(probe->Handle(), 'A');
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "KeyDown 65"); })) << joined(log);
    EXPECT_EQ(indexOf(log, "CN_KEYDOWN 65"), 0) << joined(log);
    EXPECT_EQ(indexOf(log, "KeyDown 65"), 1) << joined(log);
}

TEST_F(KeyForm, RealKeyboardInputTakesTheSamePath) {
    typeKey('B');
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "KeyDown 66"); })) << joined(log);
    EXPECT_LT(indexOf(log, "CN_KEYDOWN 66"), indexOf(log, "KeyDown 66"));
}

TEST_F(KeyForm, ConsumedNotificationStopsTheKey) {
    probe->consumeNotification = true;
    postKey(probe->Handle(), 'A');
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "CN_KEYDOWN 65"); })) << joined(log);
    settle(50);
    EXPECT_FALSE(contains(log, "KeyDown 65")) << joined(log);
}

TEST_F(KeyForm, KeyPreviewOfTheFormConsumesBeforeTheControl) {
    int seen = 0;
    shown.form->SetKeyPreview(true);
    shown.form->OnKeyDown = [&](TObject *, WORD &key, TShiftState) {
        ++seen;
        if (key == 'C')
            key = 0;
    };
    postKey(probe->Handle(), 'C');
    postKey(probe->Handle(), 'D');
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "KeyDown 68"); })) << joined(log);
    EXPECT_EQ(seen, 2);
    EXPECT_TRUE(contains(log, "CN_KEYDOWN 67"));
    EXPECT_FALSE(contains(log, "KeyDown 67")) << joined(log);
}

TEST_F(KeyForm, KeySetToZeroInKeyDownSkipsTheWindowsOwnHandling) {
    // An edit whose KeyDown eats Home keeps its caret; the next key still moves it.
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetBounds(10, 100, 100, 24);
    edit->SetParent(shown.form);
    edit->SetText(L"hello");
    int homes = 0;
    edit->OnKeyDown = [&](TObject *, WORD &key, TShiftState) {
        if (key == VK_HOME) {
            ++homes;
            key = 0;
        }
    };
    edit->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return edit->Focused(); }));
    edit->SetSelStart(5);
    typeKey(VK_HOME);
    ASSERT_TRUE(pumpUntil([&] { return homes == 1; }));
    settle(30);
    EXPECT_EQ(edit->SelStart(), 5);
    typeKey(VK_LEFT);
    EXPECT_TRUE(pumpUntil([&] { return edit->SelStart() == 4; }));
}

TEST_F(KeyForm, TabMovesTheFocusInTabOrderAndShiftTabBack) {
    TEdit *first = New<TEdit>(shown.form);
    TEdit *second = New<TEdit>(shown.form);
    TEdit *third = New<TEdit>(shown.form);
    for (TEdit *e : {first, second, third}) {
        e->SetParent(shown.form);
        e->SetBounds(150, 10 + 30 * e->TabOrder(), 100, 24);
    }
    third->SetTabOrder(1); // probe 0, third 1, first 2, second 3
    ASSERT_EQ(probe->TabOrder(), 0);
    ASSERT_EQ(first->TabOrder(), 2);
    TList<TWinControl *> order;
    shown.form->GetTabOrderList(order);
    ASSERT_EQ(order.Count(), 4);
    EXPECT_EQ(order[1], third);

    typeKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return third->Focused(); }));
    EXPECT_EQ(shown.form->ActiveControl(), third);
    EXPECT_EQ(Screen->ActiveControl(), third);
    EXPECT_LT(indexOf(log, "CN_KEYDOWN 9"), indexOf(log, "CM_EXIT")) << joined(log);
    typeKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return first->Focused(); }));
    second->SetTabStop(false);
    typeKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return probe->Focused(); })); // second is skipped, the order wraps

    sendKey(VK_SHIFT, false);
    typeKey(VK_TAB);
    sendKey(VK_SHIFT, true);
    ASSERT_TRUE(pumpUntil([&] { return first->Focused(); }));
}

TEST_F(KeyForm, AControlThatWantsADialogKeyGetsItInKeyDown) {
    TProbe *next = addProbe<TProbe>(shown.form, &log, "next", TRect{10, 100, 60, 150});
    probe->dialogCode = DLGC_WANTTAB;
    typeKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "KeyDown 9"); })) << joined(log);
    EXPECT_TRUE(probe->Focused());

    // Arrows: the dialog code does not ask for them, the special-key question does.
    typeKey(VK_DOWN);
    ASSERT_TRUE(pumpUntil([&] { return next->Focused(); })) << joined(log);
    EXPECT_FALSE(contains(log, "KeyDown 40"));
    next->wantsSpecialKeys = true;
    typeKey(VK_DOWN);
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "next KeyDown 40"); })) << joined(log);
    EXPECT_TRUE(next->Focused());
}

TEST_F(KeyForm, EnterAndEscapeGoToTheDefaultAndCancelButtons) {
    int okClicks = 0;
    int cancelClicks = 0;
    TButton *ok = New<TButton>(shown.form);
    ok->SetParent(shown.form);
    ok->SetBounds(10, 200, 75, 25);
    ok->SetDefault(true);
    ok->OnClick = [&](TObject *) { ++okClicks; };
    TButton *cancel = New<TButton>(shown.form);
    cancel->SetParent(shown.form);
    cancel->SetBounds(100, 200, 75, 25);
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject *) { ++cancelClicks; };

    postKey(probe->Handle(), VK_RETURN);
    ASSERT_TRUE(pumpUntil([&] { return okClicks == 1; })) << joined(log);
    postKey(probe->Handle(), VK_ESCAPE);
    ASSERT_TRUE(pumpUntil([&] { return cancelClicks == 1; }));
    EXPECT_EQ(okClicks, 1);
    EXPECT_FALSE(contains(log, "KeyDown 13")) << joined(log);
}

using FormsModal = GuiTest;

TEST_F(FormsModal, ShowModalEndsWithTheModalResultOfTheButtonPressed) {
    InitForms();
    TForm *dialog = New<TForm>(Application);
    dialog->SetBorderStyle(bsDialog);
    dialog->SetPosition(poScreenCenter);
    TButton *cancel = New<TButton>(dialog);
    cancel->SetParent(dialog);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    TButton *ok = New<TButton>(dialog);
    ok->SetParent(dialog);
    ok->SetModalResult(mrOk);
    ok->SetLeft(100);
    // The key waits in the queue; the modal loop offers it to the dialog as a dialog key.
    PostMessageW(dialog->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_EQ(dialog->Left(), (Screen->Width() - dialog->Width()) / 2);

    PostMessageW(ok->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    dialog->Free();
}

// What reacts to the hiding (an editor losing the focus) still sees the modal state.
TEST_F(FormsModal, TheFormHidesBeforeItsModalStateEnds) {
    InitForms();
    TForm *dialog = New<TForm>(Application);
    int hides = 0;
    bool modalWhenHidden = false;
    dialog->OnHide = [&](TObject *) {
        ++hides;
        modalWhenHidden = dialog->FormState().Contains(fsModal) && !dialog->Visible();
    };
    PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(hides, 1);
    EXPECT_TRUE(modalWhenHidden);
    EXPECT_FALSE(dialog->FormState().Contains(fsModal));
    dialog->Free();
}

} // namespace
