// Control properties that travel between controls, cursors, alignment, menus, drags and the
// application's run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <classlib/menus.h>
#include <classlib/stdctrls.h>

#include "child_process.h"
#include "forms_probe.h"
#include "forms_test_support.h"
#include "gui_display.h"

using namespace formstest;

namespace {

using FormsControls = GuiTest;

TEST_F(FormsControls, ParentColourAndFontReachChildrenThatFollowTheirParent) {
    ShownForm shown;
    TProbe *follows = addProbe<TProbe>(shown.form, nullptr, "", TRect{0, 0, 10, 10});
    follows->SetParentColor(true);
    TProbe *own = addProbe<TProbe>(shown.form, nullptr, "", TRect{0, 20, 10, 30});
    own->SetColor(clYellow);
    TLabel *label = New<TLabel>(shown.form);
    label->SetParent(shown.form);

    shown.form->SetColor(clTeal);
    EXPECT_EQ(follows->Color(), clTeal);
    EXPECT_TRUE(follows->ParentColor());
    EXPECT_EQ(own->Color(), clYellow);
    EXPECT_EQ(label->Color(), clTeal);

    shown.form->Font()->SetName(L"Courier New");
    shown.form->Font()->SetHeight(-20);
    EXPECT_EQ(follows->Font()->GetHeight(), -20);
    EXPECT_EQ(label->Font()->GetName(), L"Courier New");
    EXPECT_TRUE(label->ParentFont());
    own->Font()->SetHeight(-9); // its own font from now on
    EXPECT_FALSE(own->ParentFont());
    shown.form->Font()->SetHeight(-30);
    EXPECT_EQ(own->Font()->GetHeight(), -9);
    EXPECT_EQ(follows->Font()->GetHeight(), -30);
}

TEST_F(FormsControls, CursorOfTheControlUnderTheMouseComesFromTheScreenTable) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 110, 110});
    TGraphicProbe *graphic = addProbe<TGraphicProbe>(shown.form, nullptr, "", TRect{200, 10, 250, 60});
    HCURSOR own = LoadCursorW(nullptr, IDC_CROSS);
    Screen->SetCursors(2100, own);
    probe->SetCursor(2100);
    graphic->SetCursor(crHandPoint);
    ASSERT_TRUE(shown.show());

    HWND window = probe->Handle();
    ASSERT_TRUE(moveMouseTo(probe->ClientToScreen(TPoint{50, 50})));
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), own);
    ASSERT_TRUE(moveMouseTo(graphic->ClientToScreen(TPoint{5, 5})));
    HWND formWindow = shown.form->Handle();
    SendMessageW(formWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(formWindow), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), Screen->Cursors(crHandPoint));

    // A changed cursor shows at once while the mouse is over the control.
    ASSERT_TRUE(moveMouseTo(probe->ClientToScreen(TPoint{50, 50})));
    probe->SetCursor(crIBeam);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));

    // The screen's cursor wins over every control's.
    Screen->SetCursor(crHourGlass);
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    Screen->SetCursor(crDefault);
    Screen->SetCursors(2100, nullptr);
    EXPECT_EQ(Screen->Cursors(2100), LoadCursorW(nullptr, IDC_ARROW)); // unknown ids answer the arrow
}

TEST_F(FormsControls, ScreenKnowsItsSizeFontsAndTheActiveForm) {
    ShownForm shown;
    ASSERT_TRUE(shown.show());
    EXPECT_EQ(Screen->Width(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(Screen->Height(), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(Screen->PixelsPerInch(), 0);
    EXPECT_FALSE(Screen->MenuFont()->GetName().empty());
    EXPECT_EQ(Screen->ActiveForm(), shown.form);
    EXPECT_GE(Screen->FormCount(), 1);
    EXPECT_EQ(GetParentForm(shown.form), shown.form);
    EXPECT_GT(Mouse->DragThreshold(), 0);
    EXPECT_GT(Mouse->WheelScrollLines(), 0);
    Mouse->SetCursorPos(TPoint{20, 30});
    EXPECT_EQ(Mouse->CursorPos().x, 20);
}

TEST_F(FormsControls, AlignedControlsShareTheClientArea) {
    ShownForm shown;
    shown.form->SetClientWidth(300);
    shown.form->SetClientHeight(200);
    TProbe *top = addProbe<TProbe>(shown.form, nullptr, "", TRect{0, 0, 50, 30});
    TProbe *left = addProbe<TProbe>(shown.form, nullptr, "", TRect{0, 0, 40, 50});
    TProbe *client = addProbe<TProbe>(shown.form, nullptr, "", TRect{0, 0, 10, 10});
    client->SetAlign(alClient);
    left->SetAlign(alLeft);
    top->SetAlign(alTop);
    EXPECT_EQ(shown.form->ClientWidth(), 300);
    auto bounds = [](TControl *c) {
        TRect r = c->BoundsRect();
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    };
    EXPECT_EQ(bounds(top), "0,0,300,30");
    EXPECT_EQ(bounds(left), "0,30,40,200");
    EXPECT_EQ(bounds(client), "40,30,300,200");
    shown.form->SetClientWidth(400);
    EXPECT_EQ(bounds(client), "40,30,400,200");
    EXPECT_EQ(client->ClientToScreen(TPoint{1, 2}).x, shown.form->ClientToScreen(TPoint{41, 32}).x);
    EXPECT_EQ(client->ScreenToClient(shown.form->ClientToScreen(TPoint{41, 32})).y, 2);
}

void CALLBACK endMenuAfterTimeout(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

TEST_F(FormsControls, ContextMenuRequestPopsTheMenuUpAndRunsTheChosenItem) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 110, 60});
    TPopupMenu *menu = New<TPopupMenu>(shown.form);
    int chosen = 0;
    for (int i = 1; i <= 2; ++i) {
        TMenuItem *item = New<TMenuItem>(menu);
        item->SetCaption(L"Item " + std::to_wstring(i));
        item->OnClick = [&chosen, i](TObject *) { chosen = i; };
        menu->Items()->Add(item);
    }
    int popups = 0;
    menu->OnPopup = [&](TObject *) { ++popups; };
    probe->SetPopupMenu(menu);
    ASSERT_TRUE(shown.show());

    // The handler may take the request itself.
    probe->OnContextPopup = [](TObject *, TPoint, bool &handled) { handled = true; };
    SendMessageW(probe->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(probe->Handle()), MAKELPARAM(-1, -1));
    EXPECT_EQ(popups, 0);
    probe->OnContextPopup = nullptr;

    // The menu's own loop reads the keys waiting in the queue: down twice, Enter.
    UINT_PTR guard = SetTimer(nullptr, 0, 3000, endMenuAfterTimeout);
    HWND window = shown.form->Handle();
    for (WORD vk : {VK_DOWN, VK_DOWN, VK_RETURN})
        PostMessageW(window, WM_KEYDOWN, vk, 1);
    SendMessageW(probe->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(probe->Handle()), MAKELPARAM(-1, -1));
    KillTimer(nullptr, guard);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(menu->PopupComponent(), probe);
    EXPECT_EQ(chosen, 2);
}

TEST_F(FormsControls, PopupMenuShortcutConsumesTheKeyOfItsControl) {
    ShownForm shown;
    Log log;
    TProbe *probe = addProbe<TProbe>(shown.form, &log, "", TRect{10, 10, 110, 60});
    TPopupMenu *menu = New<TPopupMenu>(shown.form);
    TMenuItem *item = New<TMenuItem>(menu);
    item->SetCaption(L"Quit");
    item->SetShortCut(ShortCut('Q', false, true, false));
    int clicked = 0;
    item->OnClick = [&](TObject *) { ++clicked; };
    menu->Items()->Add(item);
    probe->SetPopupMenu(menu);
    ASSERT_TRUE(shown.show());
    probe->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return probe->Focused(); }));
    log.clear();

    sendKey(VK_CONTROL, false);
    typeKey('Q');
    sendKey(VK_CONTROL, true);
    typeKey('Q'); // without Ctrl: no shortcut, an ordinary key
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "KeyDown 81"); })) << joined(log);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), std::string("KeyDown 81")), 1) << joined(log);

    menu->Free(); // the control forgets a menu that goes
    EXPECT_EQ(probe->PopupMenu(), nullptr);
}

class TDragProbe : public TProbe {
    CL_CLASS(TDragProbe, TProbe)
public:
    int started = 0;
    int ended = 0;
    void DoStartDrag(TDragObject *&object) override {
        ++started;
        TProbe::DoStartDrag(object);
    }
    void DoEndDrag(TObject *target, int x, int y) override {
        ++ended;
        TProbe::DoEndDrag(target, x, y);
    }
};

TEST_F(FormsControls, AutomaticDragStartsOnPressAndDropsOnRelease) {
    ShownForm shown;
    Log log;
    auto *probe = addProbe<TDragProbe>(shown.form, &log, "", TRect{10, 10, 110, 60});
    probe->SetDragMode(dmAutomatic);
    ASSERT_TRUE(shown.show());
    log.clear();
    SendMessageW(probe->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(probe->Dragging());
    ASSERT_NE(ActiveDragObject(), nullptr);
    EXPECT_NE(GetCapture(), nullptr) << "the drag holds the mouse";
    SendMessageW(probe->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(probe->Dragging());
    EXPECT_EQ(probe->started, 1);
    EXPECT_EQ(probe->ended, 1);
    EXPECT_TRUE(log.empty()) << joined(log); // the press was the drag's, not a click
    EXPECT_EQ(GetCapture(), nullptr);
}

CHILD_SCENARIO(runMainFormUntilClosed) {
    InitForms();
    TForm *main = Application->CreateForm<TForm>();
    int closes = 0;
    main->OnClose = [&](TObject *, TCloseAction &) { ++closes; };
    TButton *button = New<TButton>(main);
    button->SetParent(main);
    button->OnClick = [](TObject *) { throw Exception(L"failed click"); };
    std::wstring caught;
    Application->SetOnException([&](TObject *, const Exception &e) { caught = e.Message(); });
    PostMessageW(button->Handle(), BM_CLICK, 0, 0);
    PostMessageW(main->Handle(), WM_CLOSE, 0, 0);
    Application->Run();
    bool ok = Application->Terminated() && closes == 1 && caught == L"failed click" && Application->MainForm() == main;
    FormsUnit.Stop();
    printf("%s\n", ok ? "ran" : "wrong");
    fflush(stdout);
    return ok ? 0 : 1;
}

TEST_F(FormsControls, RunEndsWhenTheMainFormCloses) {
    ChildResult result = runScenario("runMainFormUntilClosed");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.out, "ran\r\n");
}

} // namespace
