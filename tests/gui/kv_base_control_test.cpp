// TkvControl: dialog codes, background, context menus, the drag-detect loop, a control freed in
// its own mouse-down, its scroll bars, the wheel and middle-button automatic scrolling, and the
// height of a popup menu whose items draw themselves.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/graphics.h>
#include <classlib/image_list.h>
#include <classlib/menus.h>

#include <atomic>
#include <thread>
#include <vector>

#include "kv_control_support.h"

using namespace kvcontroltest;

namespace {

class KvBaseControlTest : public KvControlTest {};

// A popup menu that writes down where it was asked to pop up.
class TRecordingMenu : public TComponent, public IkvPopupMenu {
    CL_CLASS(TRecordingMenu, TComponent)

public:
    std::vector<TPoint> Popups;
    WORD ShortCutKey = 0;
    int ShortCuts = 0;
    bool IsShortCut(TWMKey &message) override {
        if (message.CharCode() != ShortCutKey)
            return false;
        ++ShortCuts;
        return true;
    }
    void Popup(int x, int y) override { Popups.push_back(TPoint{x, y}); }
};

void queueKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

// Runs the drag-detect loop, ended by a posted Esc when its input never comes.
TkvDragDetect boundedDragDetect(TkvControl *control) {
    HWND window = control->Handle();
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !finished.load(); ++i)
            Sleep(10);
        if (!finished.load())
            PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    TkvDragDetect result = control->GetDragDetect();
    finished = true;
    watchdog.join();
    return result;
}

void setCtrlState(bool down) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

int menuTextHeight() {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, Screen->MenuFont()->GetHandle());
    SIZE size{};
    GetTextExtentPoint32W(screen, L"Qg", 2, &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size.cy;
}

// Plain items count the menu font's "Qg" and 4; items the menu draws itself (an owner-drawn
// menu, an image list, a bitmap) count what their MeasureItem makes of that; hidden ones nothing.
TEST_F(KvBaseControlTest, PopupMenuHeightAsksTheItemsTheMenuDraws) {
    const int line = menuTextHeight() + 4;
    TOwned<TPopupMenu> menu(New<TPopupMenu>(nullptr));
    std::vector<int> offered;
    auto measure = [&](TObject *, TCanvas *canvas, int &, int &height) {
        EXPECT_NE(canvas, nullptr);
        offered.push_back(height);
        height = 2 * height + 1;
    };
    TMenuItem *plain = New<TMenuItem>(nullptr);
    TMenuItem *pictured = New<TMenuItem>(nullptr);
    TMenuItem *hidden = New<TMenuItem>(nullptr);
    for (TMenuItem *item : {plain, pictured, hidden}) {
        item->SetCaption(L"Item");
        item->OnMeasureItem = measure;
        menu->Items()->Add(item);
    }
    pictured->Bitmap()->SetSize(16, 16);
    hidden->Bitmap()->SetSize(16, 16);
    hidden->SetVisible(false);
    EXPECT_EQ(GetPopupMenuHeight(menu.get()), 4 + line + (2 * line + 1));
    EXPECT_EQ(offered, std::vector<int>{line});

    offered.clear();
    TOwned<TCustomImageList> images(New<TCustomImageList>(nullptr));
    menu->SetImages(images.get());
    EXPECT_EQ(GetPopupMenuHeight(menu.get()), 4 + 2 * (2 * line + 1)) << "the menu's images";
    menu->SetImages(nullptr);

    offered.clear();
    menu->SetOwnerDraw(true);
    EXPECT_EQ(GetPopupMenuHeight(menu.get()), 4 + 2 * (2 * line + 1)) << "owner-drawn";
    EXPECT_EQ(offered, (std::vector<int>{line, line}));
}

// A shown menu asks an item with a picture its size and has it draw itself in that size.
TEST_F(KvBaseControlTest, MenuItemsWithAPictureMeasureAndDrawThemselves) {
    ASSERT_TRUE(showForm());
    TOwned<TPopupMenu> menu(New<TPopupMenu>(nullptr));
    TMenuItem *item = New<TMenuItem>(nullptr);
    item->SetCaption(L"Drawn");
    item->Bitmap()->SetSize(16, 16);
    menu->Items()->Add(item);
    int measured = 0;
    std::atomic<int> drawn{0};
    int drawnHeight = 0;
    item->OnMeasureItem = [&](TObject *, TCanvas *, int &width, int &height) {
        ++measured;
        width = 80;
        height = 30;
    };
    item->OnDrawItem = [&](TObject *sender, TCanvas *canvas, TRect rect, bool) {
        EXPECT_EQ(sender, item);
        EXPECT_NE(canvas, nullptr);
        drawnHeight = rect.bottom - rect.top;
        ++drawn;
        EndMenu();
    };
    // A menu that never draws is closed with Escape, so that the test ends.
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 6000 && !finished.load() && drawn.load() == 0; ++i)
            Sleep(10);
        if (!finished.load() && drawn.load() == 0) {
            queueKey(VK_ESCAPE, false);
            queueKey(VK_ESCAPE, true);
        }
    });
    POINT at = clientToScreen(form->Handle(), POINT{40, 40});
    menu->Popup(at.x, at.y);
    finished = true;
    watchdog.join();
    EXPECT_GE(measured, 1);
    EXPECT_GE(drawn.load(), 1);
    EXPECT_EQ(drawnHeight, 30);
}

TEST_F(KvBaseControlTest, DialogCodeFollowsTheWantedKeysAndCtrl) {
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{10, 10, 110, 110});
    HWND window = probe->Handle();
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), 0);
    probe->SetKeys(TkvControlKeys{ckArrows, ckChars, ckTab});
    setCtrlState(false);
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB);
    setCtrlState(true);
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS)
        << "Ctrl+Tab leaves the control";
    setCtrlState(false);
    probe->SetKeys(TkvControlKeys{ckAllKeys});
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 1) << "nothing erased, answered 1";
}

TEST_F(KvBaseControlTest, KeyboardContextMenuPopsUpAtTheClientOrigin) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{30, 40, 230, 200});
    TRecordingMenu *menu = New<TRecordingMenu>(form);
    probe->SetPopupMenuComponent(menu);
    ASSERT_EQ(probe->PopupMenuComponent(), menu);
    TPoint origin = probe->ClientToScreen(TPoint{0, 0});

    EXPECT_EQ(SendMessageW(probe->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(probe->Handle()),
                           MAKELPARAM(0xFFFF, 0xFFFF)),
              1);
    ASSERT_EQ(menu->Popups.size(), 1u);
    EXPECT_EQ(menu->Popups[0].x, origin.x);
    EXPECT_EQ(menu->Popups[0].y, origin.y);

    // The context-menu key, through the system.
    probe->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return probe->Focused(); }));
    pressKey(VK_APPS);
    ASSERT_TRUE(pumpUntil([&] { return menu->Popups.size() == 2; }));
    EXPECT_EQ(menu->Popups[1].x, origin.x);
    EXPECT_EQ(menu->Popups[1].y, origin.y);

    // A right click pops up at the mouse.
    clickAt(probe->Handle(), POINT{50, 60}, MouseButton::Right);
    ASSERT_TRUE(pumpUntil([&] { return menu->Popups.size() == 3; }));
    EXPECT_EQ(menu->Popups[2].x, origin.x + 50);
    EXPECT_EQ(menu->Popups[2].y, origin.y + 60);

    // Neither a TPopupMenu nor an IkvPopupMenu: refused.
    TComponent *other = New<TComponent>(form);
    probe->SetPopupMenuComponent(other);
    EXPECT_EQ(probe->PopupMenuComponent(), nullptr);
    // Freed: forgotten.
    probe->SetPopupMenuComponent(menu);
    menu->Free();
    EXPECT_EQ(probe->PopupMenuComponent(), nullptr);
}

TEST_F(KvBaseControlTest, PopupMenuShortCutsOfTheParentChainTakeTheKey) {
    TScrollingProbe *outer = add<TScrollingProbe>(TRect{10, 10, 300, 300});
    TScrollingProbe *inner = New<TScrollingProbe>(form);
    inner->SetBounds(10, 10, 100, 100);
    inner->SetParent(outer);
    TRecordingMenu *menu = New<TRecordingMenu>(form);
    menu->ShortCutKey = 'K';
    outer->SetPopupMenuComponent(menu);
    EXPECT_EQ(inner->Perform(CN_KEYDOWN, 'K', 0), 1);
    EXPECT_EQ(menu->ShortCuts, 1);
    EXPECT_EQ(inner->Perform(CN_KEYDOWN, 'J', 0), 0);
}

// The loop answers for what happened to the queued input: a move past the threshold, a button
// coming up, Esc.
TEST_F(KvBaseControlTest, DragDetectLoopAnswersMoveReleaseAndEscape) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{30, 30, 330, 330});
    HWND window = probe->Handle();
    int threshold = Mouse->DragThreshold();
    POINT start = clientToScreen(window, POINT{100, 100});
    ASSERT_TRUE(moveMouseTo(start));
    pumpFor(50);

    // The area is taken around the cursor when the loop starts: the user moves afterwards.
    std::thread user([&] {
        Sleep(100);
        queueMoveTo(POINT{start.x + threshold - 1, start.y}); // still inside the area
        Sleep(100);
        queueMoveTo(POINT{start.x + threshold, start.y});
    });
    EXPECT_EQ(boundedDragDetect(probe), ddDrag);
    user.join();

    ASSERT_TRUE(moveMouseTo(start));
    pumpFor(50);
    queueMoveTo(POINT{start.x + 1, start.y + 1});
    queueMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(boundedDragDetect(probe), ddNone);

    ASSERT_TRUE(moveMouseTo(start));
    pumpFor(50);
    ASSERT_TRUE(bringToForeground(form->Handle()));
    probe->SetFocus();
    queueKey(VK_ESCAPE, false);
    queueKey(VK_ESCAPE, true);
    EXPECT_EQ(boundedDragDetect(probe), ddCancel);
    EXPECT_NE(GetCapture(), window) << "the capture is given back";
}

// Freed inside its own WM_LBUTTONDOWN: nothing touches it afterwards, no link is left over,
// and the program goes on.
TEST_F(KvBaseControlTest, ControlFreedInItsOwnMouseDown) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{30, 30, 130, 130});
    TScrollingProbe *survivor = add<TScrollingProbe>(TRect{150, 30, 250, 130});
    bool freed = false;
    probe->OnMouseDown = [&](TObject *sender, TMouseButton, TShiftState, int, int) {
        static_cast<TObject *>(sender)->Free();
        freed = true;
    };
    HWND window = probe->Handle();
    clickAt(window, POINT{20, 20});
    ASSERT_TRUE(pumpUntil([&] { return freed; }));
    pumpFor(50);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ObjectLinkController(), nullptr) << "every weak link was released";
    EXPECT_TRUE(errors.empty());
    clickAt(survivor->Handle(), POINT{20, 20});
    EXPECT_EQ(survivor->AfterMouseDowns, 1) << "the program goes on";
}

TEST_F(KvBaseControlTest, ClickFocusesAndScrollBarsFollowTheContent) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{20, 20, 220, 180});
    TScrollingProbe *other = add<TScrollingProbe>(TRect{240, 20, 340, 120});
    probe->SetContent(100, 100);
    EXPECT_FALSE(probe->HScrollBar()->Visible());
    EXPECT_FALSE(probe->VScrollBar()->Visible());
    EXPECT_FALSE(probe->SizeGrip()->Visible());

    probe->SetContent(400, 400);
    EXPECT_TRUE(probe->HScrollBar()->Visible());
    EXPECT_TRUE(probe->VScrollBar()->Visible());
    EXPECT_TRUE(probe->SizeGrip()->Visible());
    TRect client;
    probe->GetClientBounds(client);
    EXPECT_EQ(client.right, 200 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(client.bottom, 160 - GetSystemMetrics(SM_CYHSCROLL));
    EXPECT_EQ(probe->VScrollBar()->Left(), client.right);
    EXPECT_EQ(probe->HScrollBar()->Top(), client.bottom);
    EXPECT_EQ(probe->SizeGrip()->Left(), client.right);
    EXPECT_EQ(probe->SizeGrip()->Top(), client.bottom);
    EXPECT_EQ(probe->VScrollBar()->PageSize(), client.bottom);
    EXPECT_EQ(probe->VScrollBar()->Max(), 399);

    // Only wider than the control: one bar, and no grip.
    probe->SetContent(400, 100);
    EXPECT_TRUE(probe->HScrollBar()->Visible());
    EXPECT_FALSE(probe->VScrollBar()->Visible());
    EXPECT_FALSE(probe->SizeGrip()->Visible());
    probe->SetScrollBars(ssVertical);
    EXPECT_FALSE(probe->HScrollBar()->Visible()) << "the style refuses the bar";

    clickAt(other->Handle(), POINT{10, 10});
    EXPECT_TRUE(other->Focused());
    other->SetFocusOnClick(false);
    clickAt(probe->Handle(), POINT{10, 10});
    EXPECT_TRUE(probe->Focused());
    clickAt(other->Handle(), POINT{10, 10});
    EXPECT_TRUE(probe->Focused()) << "focus on click turned off";
}

TEST_F(KvBaseControlTest, ScrollBarClickScrollsTheControl) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{20, 20, 220, 180});
    probe->SetContent(400, 400);
    TkvControlScrollBar *bar = probe->VScrollBar();
    clickAt(bar->Handle(), POINT{bar->Width() / 2, bar->Height() - 4});
    EXPECT_EQ(probe->count(sbVertical, scLineDown), 1);
    EXPECT_EQ(probe->TopOffset, 8);
    EXPECT_EQ(bar->Position(), 8);
    EXPECT_TRUE(probe->Focused()) << "a click on a bar focuses its control";
}

TEST_F(KvBaseControlTest, WheelScrollsLinesOrOnePage) {
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{20, 20, 220, 180});
    probe->SetContent(400, 2000);
    UINT saved = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &saved, 0);
    auto wheel = [&](int delta) {
        probe->Scrolls.clear();
        probe->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
    };
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 3, nullptr, 0);
    wheel(-WHEEL_DELTA);
    EXPECT_EQ(probe->count(sbVertical, scLineDown), 3);
    wheel(WHEEL_DELTA);
    EXPECT_EQ(probe->count(sbVertical, scLineUp), 3);
    for (UINT setting : {static_cast<UINT>(WHEEL_PAGESCROLL), 0u}) {
        SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, setting, nullptr, 0);
        wheel(-WHEEL_DELTA);
        EXPECT_EQ(probe->Scrolls.size(), 1u) << "setting " << setting;
        EXPECT_EQ(probe->count(sbVertical, scPageDown), 1);
    }
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, saved, nullptr, 0);

    probe->SetContent(100, 100);
    wheel(-WHEEL_DELTA);
    EXPECT_TRUE(probe->Scrolls.empty()) << "no vertical bar, no wheel scrolling";
}

// Arms the library's drag and drop on every left click.
class TDragProbe : public TScrollingProbe {
    CL_CLASS(TDragProbe, TScrollingProbe)

public:
    int Moves = 0;
    bool Ended = false;
    bool EndAccepted = false;
    bool StartDragAndDrop(const TPoint &) override { return true; }
    void DoDragAndDrop(const TPoint &p, bool &accepted) override {
        ++Moves;
        inherited::DoDragAndDrop(p, accepted);
    }
    void EndDragAndDrop(bool accepted) override {
        Ended = true;
        EndAccepted = accepted;
        inherited::EndDragAndDrop(accepted);
    }
};

TEST_F(KvBaseControlTest, LibraryDragAndDropStartsPastTheThresholdAndEndsOnRelease) {
    ASSERT_TRUE(showForm());
    TDragProbe *probe = add<TDragProbe>(TRect{20, 20, 320, 320});
    HWND window = probe->Handle();
    Screen->SetCursor(crDefault);
    pressMouseAt(window, POINT{100, 100});
    EXPECT_EQ(probe->DragAndDropState(), ddsStarting);
    EXPECT_TRUE(probe->IsMousePressed());
    moveMouseTo(clientToScreen(window, POINT{101, 101}));
    EXPECT_EQ(probe->DragAndDropState(), ddsStarting) << "inside the drag-detect area";
    moveMouseTo(clientToScreen(window, POINT{100 + Mouse->DragThreshold() + 2, 100}));
    ASSERT_TRUE(pumpUntil([&] { return probe->DragAndDropState() == ddsInProcess; }));
    moveMouseTo(clientToScreen(window, POINT{150, 150}));
    ASSERT_TRUE(pumpUntil([&] { return probe->Moves >= 1; }));
    EXPECT_EQ(Screen->Cursor(), crNoDrop) << "not accepted: the no-drop cursor";
    EXPECT_EQ(probe->DragAndDropObject()->CurMousePos.x, 150);
    releaseMouseAt(window, POINT{150, 150});
    EXPECT_TRUE(probe->Ended);
    EXPECT_TRUE(probe->EndAccepted) << "a mouse-up finishes it as accepted";
    EXPECT_EQ(probe->DragAndDropState(), ddsNone);
    EXPECT_FALSE(probe->HasDragAndDropObject()) << "the object lives for one drag";
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_NE(GetCapture(), window);

    // Esc while dragging finishes it as not accepted.
    probe->Ended = false;
    pressMouseAt(window, POINT{200, 200}); // away from the last click: no double click
    moveMouseTo(clientToScreen(window, POINT{240, 200}));
    ASSERT_TRUE(pumpUntil([&] { return probe->DragAndDropState() == ddsInProcess; }));
    probe->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(probe->Ended);
    EXPECT_FALSE(probe->EndAccepted);
    releaseMouseAt(window, POINT{240, 200});
}

TEST_F(KvBaseControlTest, DragControlObjectShowsTheCopyCursorWithCtrl) {
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{20, 20, 120, 120});
    TOwned<TkvDragControlObject> object(New<TkvDragControlObject>(static_cast<TControl *>(probe)));
    keyUp(VK_CONTROL);
    EXPECT_EQ(object->GetDragCursor(true, 0, 0), crDrag);
    keyDown(VK_CONTROL);
    EXPECT_EQ(object->GetDragCursor(true, 0, 0), crkvDragCopy);
    EXPECT_EQ(object->GetDragCursor(false, 0, 0), crNoDrop);
    keyUp(VK_CONTROL);
}

TEST(KvAutoScrollMotion, SpeedFollowsTheDistanceFromTheAnchor) {
    TPoint anchor{400, 300};
    const int size = 28;
    auto at = [&](int dx, int dy, bool h = true, bool v = true) {
        return CalcAutoScrollMotion(anchor, TPoint{anchor.x + dx, anchor.y + dy}, size, h, v);
    };
    EXPECT_EQ(at(0, 0).Direction, dirNone);
    EXPECT_EQ(at(13, -13).Direction, dirNone) << "inside the neutral square";
    EXPECT_EQ(at(0, 14 + 5).Speed, 2) << "5 pixels beyond half the width";
    EXPECT_EQ(at(0, 14 + 5).Direction, dirDown);
    EXPECT_EQ(at(0, -(14 + 55)).Speed, 12);
    EXPECT_EQ(at(0, -(14 + 55)).Direction, dirUp);
    EXPECT_EQ(at(0, 14 + 500).Speed, 12) << "at most 12";
    EXPECT_EQ(at(-30, 10).Direction, dirLeft);
    EXPECT_EQ(at(30, 40).Direction, dirDown) << "the larger distance decides";
    EXPECT_EQ(at(30, 40, false, true).Direction, dirDown);
    EXPECT_EQ(at(300, 0, false, true).Direction, dirNone) << "no horizontal bar: the zone spans the screen's width";
    EXPECT_EQ(at(60, 300, true, false).Direction, dirRight);
    EXPECT_EQ(AutoScrollCursor(dirNone, true, true), crkvFullScroll);
    EXPECT_EQ(AutoScrollCursor(dirNone, true, false), crkvHorScroll);
    EXPECT_EQ(AutoScrollCursor(dirNone, false, true), crkvVerScroll);
    EXPECT_EQ(AutoScrollCursor(dirLeft, true, true), crkvLeftScroll);
    EXPECT_EQ(AutoScrollCursor(dirDown, true, true), crkvDownScroll);
}

// A middle click without moving keeps the mode; moving away scrolls towards the mouse; Esc ends.
TEST_F(KvBaseControlTest, MiddleButtonAutoScrollRunsUntilEscape) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *probe = add<TScrollingProbe>(TRect{20, 20, 320, 320});
    probe->SetContent(2000, 2000);
    HWND window = probe->Handle();
    POINT anchor = clientToScreen(window, POINT{100, 100});
    ASSERT_TRUE(moveMouseTo(anchor));
    pumpFor(30);
    std::atomic<bool> done{false};
    bool middleDown = false;
    probe->OnMouseDown = [&](TObject *, TMouseButton button, TShiftState, int, int) {
        if (button == mbMiddle)
            middleDown = true;
    };
    // The loop runs inside this thread's dispatch; the input comes from another thread.
    std::thread user([&] {
        queueMouse(MOUSEEVENTF_MIDDLEDOWN);
        queueMouse(MOUSEEVENTF_MIDDLEUP);
        Sleep(300);
        queueMoveTo(POINT{anchor.x, anchor.y + 14 + 60});
        for (int i = 0; i < 12000 && probe->ScrollCount.load() == 0; ++i)
            Sleep(10);
        queueKey(VK_ESCAPE, false);
        queueKey(VK_ESCAPE, true);
        done = true;
    });
    pumpUntil([&] { return done.load() && !probe->AutoScrolling(); });
    // Inside the dispatch the loop ran to its end; the scrolls it made are on record.
    user.join();
    pumpFor(50);
    EXPECT_TRUE(middleDown);
    EXPECT_FALSE(probe->AutoScrolling()) << "Esc ended it";
    EXPECT_GE(probe->count(sbVertical, scLineDown), 1) << "scrolled down towards the mouse";
    EXPECT_EQ(probe->count(sbVertical, scLineUp), 0);
    EXPECT_NE(GetCapture(), window);
}

} // namespace
