// Real mouse input reaches the controls of a form: clicks, double clicks, enter and leave.
#include <gtest/gtest.h>

#include "forms_probe.h"
#include "gui_display.h"
#include "forms_test_support.h"

using namespace formstest;

namespace {

using FormsMouse = GuiTest;

Log withoutHover(const Log &log) {
    Log result;
    for (const auto &e : log)
        if (e != "enter" && e != "leave")
            result.push_back(e);
    return result;
}

TEST_F(FormsMouse, RealClicksArriveAtTheirPointsAsDownClickUp) {
    ShownForm shown;
    Log log;
    TProbe *probe = addProbe<TProbe>(shown.form, &log, "", TRect{20, 30, 120, 110});
    ASSERT_TRUE(shown.show());
    log.clear();

    clickAt(probe->Handle(), POINT{10, 12});
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "up left 10,12"); })) << joined(log);
    EXPECT_EQ(joined(withoutHover(log)), "down left 10,12; click; up left 10,12; ");
    EXPECT_FALSE(probe->MouseCapture());
}

TEST_F(FormsMouse, SecondClickInTimeIsADoubleClick) {
    ShownForm shown;
    Log log;
    TProbe *probe = addProbe<TProbe>(shown.form, &log, "", TRect{20, 30, 120, 110});
    ASSERT_TRUE(shown.show());
    log.clear();

    doubleClickAt(probe->Handle(), POINT{40, 25});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 7; })) << joined(log);
    EXPECT_EQ(joined(withoutHover(log)), "down left 40,25; click; up left 40,25; dblclick; down left 40,25 double; click; "
                           "up left 40,25; ");
}

TEST_F(FormsMouse, ClickOnAGraphicControlGoesToItThroughItsParent) {
    ShownForm shown;
    Log log;
    TGraphicProbe *graphic = addProbe<TGraphicProbe>(shown.form, &log, "g", TRect{200, 40, 260, 90});
    ASSERT_TRUE(shown.show());

    clickAt(shown.form->Handle(), POINT{graphic->Left() + 5, graphic->Top() + 5});
    EXPECT_TRUE(pumpUntil([&] { return contains(log, "g click"); })) << joined(log);
}

TEST_F(FormsMouse, EnterAndLeaveFollowTheMouseAcrossControls) {
    ShownForm shown;
    Log log;
    TProbe *a = addProbe<TProbe>(shown.form, &log, "a", TRect{10, 10, 110, 110});
    TProbe *b = addProbe<TProbe>(shown.form, &log, "b", TRect{150, 10, 250, 110});
    TGraphicProbe *g = addProbe<TGraphicProbe>(shown.form, &log, "g", TRect{10, 150, 110, 200});
    ASSERT_TRUE(shown.show());
    log.clear();

    moveMouseTo(a->ClientToScreen(TPoint{50, 50}));
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "a enter"); })) << joined(log);
    moveMouseTo(b->ClientToScreen(TPoint{50, 50}));
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "b enter"); })) << joined(log);
    EXPECT_LT(indexOf(log, "a leave"), indexOf(log, "b enter")) << joined(log);
    EXPECT_GE(indexOf(log, "a leave"), 0) << joined(log);
    moveMouseTo(g->ClientToScreen(TPoint{20, 20}));
    ASSERT_TRUE(pumpUntil([&] { return contains(log, "g enter"); })) << joined(log);
    EXPECT_TRUE(contains(log, "b leave"));
    EXPECT_EQ(Application->MouseControl(), g);

    // Out of the form altogether: the window's mouse-leave ends it.
    moveMouseTo(TPoint{shown.form->Left() + shown.form->Width() + 100, shown.form->Top() + 400});
    EXPECT_TRUE(pumpUntil([&] { return contains(log, "g leave"); })) << joined(log);
    EXPECT_EQ(Application->MouseControl(), nullptr);
}

TEST_F(FormsMouse, AControlFreedUnderTheMouseIsForgotten) {
    ShownForm shown;
    Log log;
    TProbe *a = addProbe<TProbe>(shown.form, &log, "a", TRect{10, 10, 110, 110});
    ASSERT_TRUE(shown.show());
    moveMouseTo(a->ClientToScreen(TPoint{50, 50}));
    ASSERT_TRUE(pumpUntil([&] { return Application->MouseControl() == a; })) << joined(log);
    a->Free();
    EXPECT_NE(Application->MouseControl(), static_cast<TControl *>(a));
    settle(50);
}

} // namespace
