// An editor's picture invalidates in a real window only what changed against the older one.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/exceptions.h>

#include <memory>

#include "gui_display.h"
#include "kvEditViewInfo.h"
#include "message_pump.h"
#include "test_window.h"

namespace {

class KvEditViewRepaint : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (HasFatalFailure())
            return;
        window = std::make_unique<TestWindow>(POINT{100, 100}, SIZE{200, 60});
        pumpMessages();
        for (TOwned<TkvCustomEditViewInfo> *v : {&older, &newer}) {
            v->reset(New<TkvCustomEditViewInfo>());
            TkvCustomEditViewInfo *info = v->get();
            info->Bounds = TRect{0, 0, 120, 21};
            info->BorderRect = info->Bounds;
            info->ClientRect = TRect{1, 1, 119, 20};
            info->InnerEditRect = TRect{1, 1, 102, 20};
            info->BorderStyle = cbsSingle;
            info->SetButtonCount(1);
            info->Button(0)->Bounds = TRect{102, 1, 119, 20};
        }
    }
    void TearDown() override {
        older.reset();
        newer.reset();
        window.reset();
        GuiTest::TearDown();
    }
    // The box of what waits to be painted, empty when nothing does.
    RECT pending() {
        RECT r{};
        GetUpdateRect(window->handle(), &r, FALSE);
        ValidateRect(window->handle(), nullptr);
        return r;
    }

    std::unique_ptr<TestWindow> window;
    TOwned<TkvCustomEditViewInfo> older;
    TOwned<TkvCustomEditViewInfo> newer;
};

TEST_F(KvEditViewRepaint, OnlyWhatChangedIsInvalidated) {
    ValidateRect(window->handle(), nullptr);
    EXPECT_FALSE(newer->Repaint(window->handle(), older.get()));
    RECT none = pending();
    EXPECT_TRUE(IsRectEmpty(&none));

    newer->Button(0)->State = kvebsHot;
    EXPECT_TRUE(newer->Repaint(window->handle(), older.get()));
    RECT r = pending();
    EXPECT_EQ(r.left, 102);
    EXPECT_EQ(r.right, 119);
    newer->Button(0)->State = kvebsNormal;

    newer->BorderColor = clRed;
    EXPECT_TRUE(newer->Repaint(window->handle(), older.get()));
    r = pending();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 21) << "the border rectangle";
    newer->BorderColor = older->BorderColor;

    newer->SetBackgroundColor(clYellow);
    EXPECT_TRUE(newer->Repaint(window->handle(), older.get()));
    r = pending();
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.right, 102) << "the inner edit rectangle";
}

} // namespace
