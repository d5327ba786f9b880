// Painting through a supplied device context, window creation parameters, system colour changes.
#include <gtest/gtest.h>

#include <classlib/stdctrls.h>

#include "forms_probe.h"
#include "memory_bitmap.h"
#include "gui_display.h"
#include "forms_test_support.h"

using namespace formstest;

namespace {

using FormsPaint = GuiTest;
using FormsCreation = GuiTest;
using FormsSysColors = GuiTest;

constexpr std::uint32_t white = 0x00FFFFFF;

TEST_F(FormsPaint, ControlPaintsIntoTheDeviceContextOfThePaintMessage) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 110, 90});
    probe->FillColor = clBlue;
    TGraphicProbe *inner = New<TGraphicProbe>(probe);
    inner->FillColor = clLime;
    inner->SetBounds(20, 30, 10, 10);
    // A custom control takes children only when it says so; the probe is given one regardless.
    inner->SetParent(probe);
    probe->HandleNeeded();

    MemoryBitmap memory(100, 80, white);
    SendMessageW(probe->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(memory.dc()), 0);
    EXPECT_EQ(GetPixel(memory.dc(), 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(memory.dc(), 99, 79), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(memory.dc(), 25, 35), RGB(0, 255, 0)); // the graphic child, painted by its parent
    EXPECT_EQ(GetPixel(memory.dc(), 19, 29), RGB(0, 0, 255));
    EXPECT_FALSE(probe->Canvas()->HandleAllocated()); // the canvas let go of the device context
}

TEST_F(FormsPaint, LabelPaintsItsCaptionOnItsParent) {
    ShownForm shown;
    shown.form->SetColor(clWhite);
    TLabel *label = New<TLabel>(shown.form);
    label->SetParent(shown.form);
    label->SetBounds(5, 5, 10, 10);
    label->SetCaption(L"Wide label text");
    label->Font()->SetColor(clBlack);
    EXPECT_GT(label->Width(), 40); // sized to its caption
    shown.form->HandleNeeded();

    MemoryBitmap memory(200, 50, white);
    SendMessageW(shown.form->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(memory.dc()), 0);
    int dark = 0;
    for (int x = 5; x < 5 + label->Width(); ++x)
        for (int y = 5; y < 5 + label->Height(); ++y)
            if (GetPixel(memory.dc(), x, y) == RGB(0, 0, 0))
                ++dark;
    EXPECT_GT(dark, 20);
}

TEST_F(FormsPaint, OnScreenPaintingGoesThroughBeginPaint) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 60, 60});
    probe->FillColor = clRed;
    ASSERT_TRUE(shown.show());
    probe->Repaint();
    HDC dc = GetDC(probe->Handle());
    COLORREF pixel = GetPixel(dc, 25, 25);
    ReleaseDC(probe->Handle(), dc);
    EXPECT_EQ(pixel, RGB(255, 0, 0));
    EXPECT_FALSE(GetUpdateRect(probe->Handle(), nullptr, FALSE));
}

TEST_F(FormsPaint, CanvasTakenOutsidePaintingIsGivenBackAfterTheMessage) {
    ShownForm shown;
    TProbe *probe = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 60, 60});
    TGraphicProbe *graphic = addProbe<TGraphicProbe>(shown.form, nullptr, "", TRect{100, 10, 120, 30});
    ASSERT_TRUE(shown.show());
    probe->Canvas()->GetBrush()->SetColor(clFuchsia);
    probe->Canvas()->FillRect(TRect{0, 0, 5, 5});
    graphic->Canvas()->GetPixel(0, 0);
    EXPECT_TRUE(probe->Canvas()->HandleAllocated());
    EXPECT_TRUE(graphic->Canvas()->HandleAllocated());
    HDC dc = GetDC(probe->Handle());
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 0, 255));
    ReleaseDC(probe->Handle(), dc);
    PostMessageW(probe->Handle(), WM_NULL, 0, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(probe->Canvas()->HandleAllocated());
    EXPECT_FALSE(graphic->Canvas()->HandleAllocated());
}

TEST_F(FormsCreation, CreationParametersReachTheWindow) {
    ShownForm shown;
    TProbe *probe = New<TProbe>(shown.form);
    probe->SetBounds(7, 9, 50, 40);
    probe->extraStyle = WS_BORDER | WS_VSCROLL;
    probe->extraExStyle = WS_EX_CLIENTEDGE;
    probe->SetEnabled(false);
    probe->SetCaption(L"probe text");
    probe->SetParent(shown.form);
    HWND window = probe->Handle();
    LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | WS_DISABLED | WS_CLIPSIBLINGS),
              WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | WS_DISABLED | WS_CLIPSIBLINGS);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(GetParent(window), shown.form->Handle());
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"TProbe");
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"probe text");
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, shown.form->Handle(), reinterpret_cast<POINT *>(&r), 2);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.top, 9);
    EXPECT_EQ(r.right - r.left, 50);

    // The form: a top-level window with the frame its border style asks for.
    LONG formStyle = GetWindowLongW(shown.form->Handle(), GWL_STYLE);
    EXPECT_EQ(formStyle & WS_CHILD, 0);
    EXPECT_TRUE(formStyle & WS_THICKFRAME);
    shown.form->SetBorderStyle(bsDialog);
    EXPECT_FALSE(GetWindowLongW(shown.form->Handle(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongW(shown.form->Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(probe->HandleAllocated()); // the children are made again with the form
    EXPECT_EQ(GetParent(probe->Handle()), shown.form->Handle());
}

TEST_F(FormsCreation, SystemControlsAreTheRealEditAndButton) {
    ShownForm shown;
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetParent(shown.form);
    int changes = 0;
    edit->OnChange = [&](TObject *) { ++changes; };
    edit->SetText(L"hello");
    EXPECT_EQ(changes, 1); // no window yet: the text change itself
    edit->HandleNeeded();
    EXPECT_EQ(edit->GetText(), L"hello");
    edit->SetText(L"hello world");
    EXPECT_EQ(changes, 2); // through EN_CHANGE reflected as CN_COMMAND
    edit->SetSelStart(6);
    edit->SetSelLength(5);
    EXPECT_EQ(edit->SelStart(), 6);
    EXPECT_EQ(edit->SelLength(), 5);
    EXPECT_EQ(edit->SelText(), L"world");
    edit->SetMaxLength(3);
    EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 3);
    edit->SetReadOnly(true);
    EXPECT_TRUE(GetWindowLongW(edit->Handle(), GWL_STYLE) & ES_READONLY);

    TButton *button = New<TButton>(shown.form);
    button->SetParent(shown.form);
    button->SetBounds(10, 100, 75, 25);
    int clicks = 0;
    button->OnClick = [&](TObject *) { ++clicks; };
    ASSERT_TRUE(shown.show());
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    clickAt(button->Handle(), POINT{10, 10});
    EXPECT_TRUE(pumpUntil([&] { return clicks == 2; }));
}

TEST_F(FormsSysColors, ChangeOfTheSystemColoursReachesEveryControl) {
    ShownForm shown;
    TProbe *top = addProbe<TProbe>(shown.form, nullptr, "", TRect{10, 10, 200, 200});
    TProbe *nested = addProbe<TProbe>(top, nullptr, "", TRect{10, 10, 50, 50});
    TGraphicProbe *graphicTop = addProbe<TGraphicProbe>(shown.form, nullptr, "", TRect{250, 10, 280, 40});
    TGraphicProbe *graphicNested = addProbe<TGraphicProbe>(top, nullptr, "", TRect{100, 100, 120, 120});
    ASSERT_TRUE(shown.show());

    int element = COLOR_INFOBK;
    COLORREF original = GetSysColor(element);
    COLORREF changed = original == RGB(1, 2, 3) ? RGB(4, 5, 6) : RGB(1, 2, 3);
    ASSERT_TRUE(SetSysColors(1, &element, &changed));
    bool arrived = pumpUntil([&] {
        return top->sysColorChanges > 0 && nested->sysColorChanges > 0 && graphicTop->sysColorChanges > 0 &&
               graphicNested->sysColorChanges > 0;
    });
    EXPECT_EQ(ColorToRGB(clInfoBk), changed);
    SetSysColors(1, &element, &original);
    settle(50);
    EXPECT_TRUE(arrived);
    EXPECT_EQ(GetSysColor(element), original);
}

} // namespace
