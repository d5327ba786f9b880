// An exception raised while a message is handled goes to the application's exception handler.
#include <gtest/gtest.h>

#include "forms_probe.h"
#include "gui_display.h"
#include "forms_test_support.h"

using namespace formstest;

namespace {

using FormsExceptions = GuiTest;

TEST_F(FormsExceptions, HandlerExceptionGoesToTheApplicationAndTheProgramGoesOn) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 110, 110});
    std::vector<std::wstring> caught;
    TObject *sender = nullptr;
    Application->SetOnException([&](TObject *s, const Exception &e) {
        sender = s;
        caught.push_back(e.Message());
    });
    int clicks = 0;
    probe->OnClick = [&](TObject *) {
        ++clicks;
        throw Exception(L"click failed");
    };
    ASSERT_TRUE(shown.show());
    settle(30);
    caught.clear();

    SendMessageW(probe->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(probe->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(caught.size(), 1u);
    EXPECT_EQ(caught[0], L"click failed");
    EXPECT_EQ(sender, probe);

    // Through the message loop too, and a standard exception becomes a message.
    probe->OnMouseMove = [](TObject *, TShiftState, int, int) { throw std::runtime_error("bad move"); };
    PostMessageW(probe->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    EXPECT_TRUE(pumpUntil([&] { return caught.size() >= 2; }));
    EXPECT_EQ(caught.back(), L"bad move");
    probe->OnMouseMove = nullptr;
    settle(30);
    caught.resize(2);

    // An EAbort is silent.
    probe->OnClick = [](TObject *) { throw EAbort(); };
    SendMessageW(probe->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(probe->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(caught.size(), 2u);
    Application->SetOnException(nullptr);
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormsExceptions, FailedPaintStillEndsThePaintCycle) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 110, 110});
    int caught = 0;
    Application->SetOnException([&](TObject *, const Exception &) { ++caught; });
    ASSERT_TRUE(shown.show());
    probe->throwInPaint = true;
    probe->Invalidate();
    ASSERT_TRUE(pumpUntil([&] { return caught > 0; }));
    settle(100);
    int afterFirst = caught;
    settle(150);
    Application->SetOnException(nullptr);
    // No endless repainting: the update region was validated in spite of the failure.
    EXPECT_EQ(caught, afterFirst);
    EXPECT_FALSE(GetUpdateRect(probe->Handle(), nullptr, FALSE));
    EXPECT_FALSE(probe->Canvas()->HandleAllocated());
    probe->throwInPaint = false;
}

} // namespace
