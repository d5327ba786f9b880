// Drags of the class library between base controls with real mouse and keys: the targets'
// answers in order, the cursor, Esc, the drop, and the drag picture on the screen, also while a
// target paints under it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "image_compare.h"
#include "kv_control_support.h"

using namespace kvcontroltest;

namespace {

using Log = std::vector<std::string>;

// Set when a drag starts; read by the thread that plays the user.
std::atomic<bool> dragStarted{false};

void note(Log &log, const std::string &entry) {
    // Moves come by the dozen; one stands for a run of them.
    if (!log.empty() && log.back() == entry)
        return;
    log.push_back(entry);
}

std::string joined(const Log &log) {
    std::string text;
    for (const std::string &entry : log)
        text += entry + "; ";
    return text;
}

// A plain coloured control.
class TColouredControl : public TkvControl {
    CL_CLASS(TColouredControl, TkvControl)

public:
    TColor Fill = clWhite;
    Log *Events = nullptr;
    bool NeedsScrollBars() override { return false; }

protected:
    void Paint() override {
        Canvas()->GetBrush()->SetColor(Fill);
        Canvas()->FillRect(ClientRect());
    }
};

// Starts a drag with a picture: a 24-pixel red square 4 pixels in from the cursor.
class TDragSource : public TColouredControl {
    CL_CLASS(TDragSource, TColouredControl)

public:
    void Create(TComponent *owner) override {
        inherited::Create(owner);
        SetDragMode(dmAutomatic);
    }
    bool HasDragImages() override { return true; }
    void GetDragImagesSize(TSize &size) override { size = TSize{32, 32}; }
    void DrawDragImage(TkvCanvas *canvas, const TRect &r) override {
        canvas->GetBrush()->SetColor(clFuchsia); // the bottom-left colour: transparent
        canvas->FillRect(r);
        canvas->GetBrush()->SetColor(clRed);
        canvas->FillRect(TRect{r.left + 4, r.top + 4, r.left + 28, r.top + 28});
    }

protected:
    void DoStartDrag(TDragObject *&dragObject) override {
        dragStarted = true;
        note(*Events, "start");
        inherited::DoStartDrag(dragObject);
    }
    void DoEndDrag(TObject *target, int x, int y) override {
        auto *control = dynamic_cast<TComponent *>(target);
        note(*Events, "end " + (control != nullptr ? std::string(control->Name().begin(), control->Name().end()) : "none") +
                          " " + std::to_string(x) + "," + std::to_string(y));
        inherited::DoEndDrag(target, x, y);
    }
};

// A control of the class library alone whose automatic drag waits for the mouse to move.
class TPlainSource : public TCustomControl {
    CL_CLASS(TPlainSource, TCustomControl)

public:
    void Create(TComponent *owner) override {
        inherited::Create(owner);
        SetDragMode(dmAutomatic);
    }

protected:
    void Paint() override {
        Canvas()->GetBrush()->SetColor(clMaroon);
        Canvas()->FillRect(ClientRect());
    }
};

class TDropTarget : public TColouredControl {
    CL_CLASS(TDropTarget, TColouredControl)

public:
    bool Accepts = false;
    TObject *LastSource = nullptr;
    void Create(TComponent *owner) override {
        inherited::Create(owner);
        TControlStyle style = ControlStyle();
        style.Include(csDisplayDragImage);
        SetControlStyle(style);
    }
    std::string name() const { return std::string(Name().begin(), Name().end()); }

protected:
    void DragOver(TObject *source, int x, int y, TDragState state, bool &accept) override {
        inherited::DragOver(source, x, y, state, accept);
        static const char *const states[] = {"enter", "leave", "move"};
        note(*Events, name() + " " + states[state]);
        LastSource = source;
        accept = Accepts;
    }
    void DragDrop(TObject *source, int x, int y) override {
        note(*Events, name() + " drop " + std::to_string(x) + "," + std::to_string(y));
        inherited::DragDrop(source, x, y);
    }
};

// The picture's red, drawn solid or blended over what lies under it (the system may draw drag
// pictures partly transparent).
bool looksRed(COLORREF c) { return GetRValue(c) >= 0xA0 && GetGValue(c) < 0x80 && GetBValue(c) < 0x80; }

class KvDragAndDropTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        ASSERT_TRUE(showForm());
        source = addNamed<TDragSource>(L"source", TRect{20, 20, 120, 120}, clSilver);
        acceptor = addNamed<TDropTarget>(L"acceptor", TRect{160, 20, 300, 160}, clBlue);
        acceptor->Accepts = true;
        refuser = addNamed<TDropTarget>(L"refuser", TRect{340, 20, 480, 160}, clGreen);
        form->Update();
        pumpFor(50);
    }
    void TearDown() override {
        if (ActiveDragObject() != nullptr)
            CancelDrag();
        keyUp(VK_CONTROL);
        KvControlTest::TearDown();
    }

    template <class T> T *addNamed(const wchar_t *name, TRect bounds, TColor fill) {
        T *control = add<T>(bounds);
        control->SetName(name);
        control->Fill = fill;
        control->Events = &events;
        return control;
    }

    POINT at(TControl *control, int x, int y) {
        TPoint p = control->ClientToScreen(TPoint{x, y});
        return POINT{p.x, p.y};
    }

    // Presses on the source and moves past the drag threshold. The press runs the drag-detect
    // loop, which takes its area around the cursor when it starts: the moves come afterwards,
    // from another thread, and an Esc ends the loop when they never reach it.
    bool startDrag() {
        // Each press away from the last one: two would make a double click.
        ++presses;
        POINT from = at(source, 20 + 30 * (presses % 2), 40);
        moveMouseTo(from);
        pumpFor(30);
        dragStarted = false;
        HWND window = source->Handle();
        int threshold = Mouse->DragThreshold();
        std::thread user([from, window, threshold] {
            // Moves go on until the drag started, or for two minutes: a bound against a hang only.
            for (int i = 1; i <= 2400 && !dragStarted.load(); ++i) {
                Sleep(50);
                if (i % 4 == 0)
                    queueMoveTo(POINT{from.x + threshold + 1 + (i / 4) % 20, from.y});
            }
            if (!dragStarted.load())
                PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        queueMouse(MOUSEEVENTF_LEFTDOWN);
        bool started = pumpUntil([] { return ActiveDragObject() != nullptr; });
        dragStarted = true;
        user.join();
        return started;
    }

    void release() {
        queueMouse(MOUSEEVENTF_LEFTUP);
        waitForInputProcessed();
        pumpUntil([] { return ActiveDragObject() == nullptr; });
    }

    COLORREF screenPixel(POINT p) {
        RECT r{p.x, p.y, p.x + 1, p.y + 1};
        PixelBuffer pixel = captureScreen(r);
        DWORD v = pixel.at(0, 0);
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

    Log events;
    int presses = 0;
    TDragSource *source = nullptr;
    TDropTarget *acceptor = nullptr;
    TDropTarget *refuser = nullptr;
};

TEST_F(KvDragAndDropTest, TargetsAnswerInOrderAndTheDropReachesTheOneThatAccepts) {
    ASSERT_TRUE(startDrag());
    EXPECT_TRUE(source->Dragging());
    EXPECT_NE(dynamic_cast<TkvDragControlObject *>(ActiveDragObject()), nullptr);

    moveMouseTo(at(acceptor, 30, 30));
    moveMouseTo(at(acceptor, 40, 50));
    EXPECT_EQ(GetCursor(), Screen->Cursors(crDrag)) << "accepted";
    EXPECT_NE(Screen->Cursors(crDrag), LoadCursorW(nullptr, IDC_ARROW)) << "the drag cursor is a cursor of its own";
    EXPECT_EQ(GetCurrentDragObject(), ActiveDragObject());

    keyDown(VK_CONTROL);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crkvDragCopy)) << "accepted with Ctrl: a copy";
    keyUp(VK_CONTROL);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crDrag));

    moveMouseTo(at(refuser, 30, 30));
    EXPECT_EQ(GetCursor(), Screen->Cursors(crNoDrop)) << "refused";
    keyDown(VK_CONTROL);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crNoDrop)) << "Ctrl copies only what is accepted";
    keyUp(VK_CONTROL);

    moveMouseTo(at(acceptor, 70, 80));
    release();
    EXPECT_FALSE(source->Dragging());
    EXPECT_EQ(ActiveDragObject(), nullptr);
    EXPECT_EQ(GetCurrentDragObject(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    Log expected{"start",         "acceptor enter",  "acceptor move", "acceptor leave", "refuser enter",
                 "refuser move",  "refuser leave",   "acceptor enter", "acceptor move", "acceptor leave",
                 "acceptor drop 70,80", "end acceptor 70,80"};
    EXPECT_EQ(events, expected) << joined(events);
    EXPECT_TRUE(errors.empty());
}

TEST_F(KvDragAndDropTest, ARefusedDropAndEscapeEndTheDragWithoutATarget) {
    ASSERT_TRUE(startDrag());
    moveMouseTo(at(refuser, 50, 50));
    release();
    Log expected{"start", "refuser enter", "refuser move", "refuser leave", "end none 0,0"};
    EXPECT_EQ(events, expected) << joined(events);

    events.clear();
    ASSERT_TRUE(startDrag());
    moveMouseTo(at(acceptor, 50, 50));
    pressKey(VK_ESCAPE);
    EXPECT_EQ(ActiveDragObject(), nullptr) << "Esc cancels";
    EXPECT_EQ(GetCapture(), nullptr);
    expected = Log{"start", "acceptor enter", "acceptor move", "acceptor leave", "end none 0,0"};
    EXPECT_EQ(events, expected) << joined(events);
    release(); // the button was still down: nothing more happens
    EXPECT_EQ(events, expected) << joined(events);
    EXPECT_TRUE(errors.empty());
}

// A drag that waits for the threshold tells no target before the mouse passed it; the object
// the library made itself is seen by the targets as the control it drags.
TEST_F(KvDragAndDropTest, ADragPastItsThresholdSpeaksOfTheControlWhenTheLibraryMadeItsObject) {
    TPlainSource *plain = add<TPlainSource>(TRect{20, 200, 120, 300});
    form->Update();
    POINT from = at(plain, 30, 30);
    moveMouseTo(from);
    pressMouseAt(plain->Handle(), POINT{30, 30});
    ASSERT_NE(ActiveDragObject(), nullptr);
    EXPECT_TRUE(plain->Dragging());
    int threshold = Mouse->DragThreshold();
    moveMouseTo(POINT{from.x + threshold, from.y});
    moveMouseTo(POINT{from.x + threshold, from.y + threshold});
    EXPECT_EQ(ActiveDragObject()->DragTarget, nullptr) << "within the threshold: not started";
    moveMouseTo(at(acceptor, 20, 20));
    moveMouseTo(at(acceptor, 25, 25));
    EXPECT_EQ(GetCursor(), Screen->Cursors(crDrag));
    EXPECT_EQ(acceptor->LastSource, plain);
    release();
    Log expected{"acceptor enter", "acceptor move", "acceptor leave", "acceptor drop 25,25"};
    EXPECT_EQ(events, expected) << joined(events);
    EXPECT_FALSE(plain->Dragging());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(errors.empty());
}

// A target freed under the drag is forgotten (also as the drag object's painting record), and a
// source freed during its drag ends it.
TEST_F(KvDragAndDropTest, AControlFreedDuringTheDragLeavesNothingBehind) {
    ASSERT_TRUE(startDrag());
    moveMouseTo(at(acceptor, 50, 50));
    ASSERT_NE(GetCurrentDragObject(), nullptr);
    acceptor->Free();
    acceptor = nullptr;
    EXPECT_EQ(GetCurrentDragObject(), nullptr);
    EXPECT_EQ(ActiveDragObject()->DragTarget, nullptr);
    moveMouseTo(at(refuser, 50, 50));
    EXPECT_EQ(GetCursor(), Screen->Cursors(crNoDrop)) << "the drag goes on";

    events.clear();
    source->Free();
    source = nullptr;
    EXPECT_EQ(ActiveDragObject(), nullptr);
    EXPECT_EQ(GetCurrentDragObject(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(events, (Log{"refuser leave", "end none 0,0"})) << joined(events);
    refuser->Repaint(); // nothing left to hide
    release();
    EXPECT_TRUE(errors.empty());
}

TEST_F(KvDragAndDropTest, ThePictureFollowsTheMouseOverTargetsThatShowItAndSurvivesTheirPainting) {
    ASSERT_TRUE(startDrag());
    POINT over = at(acceptor, 30, 30);
    moveMouseTo(over);
    pumpFor(50);
    EXPECT_TRUE(looksRed(screenPixel(POINT{over.x + 10, over.y + 10}))) << "the picture is shown";
    EXPECT_EQ(screenPixel(POINT{over.x + 1, over.y + 1}), RGB(0, 0, 255)) << "its edge is transparent";
    EXPECT_TRUE(matchesReference(captureClient(form->Handle()), "gui", "kv_drag_picture"));

    // The target paints something else under the picture.
    acceptor->Fill = clYellow;
    acceptor->Invalidate();
    acceptor->Update();
    pumpFor(50);
    EXPECT_TRUE(looksRed(screenPixel(POINT{over.x + 10, over.y + 10}))) << "still shown after the paint";
    EXPECT_EQ(screenPixel(POINT{over.x + 60, over.y + 60}), RGB(255, 255, 0));

    // Moved away, what lay under it is what the target painted last, not what it showed before.
    POINT next = at(acceptor, 90, 90);
    moveMouseTo(next);
    pumpFor(50);
    EXPECT_EQ(screenPixel(POINT{over.x + 10, over.y + 10}), RGB(255, 255, 0));
    EXPECT_TRUE(looksRed(screenPixel(POINT{next.x + 10, next.y + 10})));

    // Over a control that does not show drag pictures (the form) it is hidden.
    POINT onForm = at(acceptor, 60, 180);
    moveMouseTo(onForm);
    pumpFor(50);
    EXPECT_FALSE(looksRed(screenPixel(POINT{onForm.x + 10, onForm.y + 10})));
    EXPECT_EQ(screenPixel(POINT{next.x + 10, next.y + 10}), RGB(255, 255, 0));

    moveMouseTo(next);
    release();
    pumpFor(50);
    EXPECT_EQ(screenPixel(POINT{next.x + 10, next.y + 10}), RGB(255, 255, 0)) << "gone with the drop";
}

} // namespace
