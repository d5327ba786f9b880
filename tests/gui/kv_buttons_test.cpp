// The painted push button in real windows: glyph strips and their images, the layout of glyph
// and caption, colours set and reset, clicks by mouse, Space, Enter and Esc, the drop-down menu
// (above the button when there is no room below), and captures of every painter and state.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/actnlist.h>
#include <classlib/menus.h>
#include <classlib/stdctrls.h>
#include <classlib/units.h>

#include "capture.h"
#include "forms_test_support.h"
#include "image_compare.h"
#include "input.h"
#include "kvButtons.h"
#include "kvControls.h"
#include "system_colors.h"
#include "theme.h"

using namespace formstest;

namespace {

// Remembers where and how it was asked to pop up instead of running a menu loop.
class TRecordingMenu : public TPopupMenu {
    CL_CLASS(TRecordingMenu, TPopupMenu)

public:
    void Popup(int x, int y) override {
        ++count;
        at = TPoint{x, y};
        alignment = Alignment();
        component = PopupComponent();
        if (owner != nullptr)
            visibleDuringPopup = owner->MenuVisible();
    }
    int count = 0;
    TPoint at{};
    TPopupAlignment alignment = paLeft;
    TComponent *component = nullptr;
    TkvButton *owner = nullptr;
    bool visibleDuringPopup = false;
};

// A menu of another kind: anything offering the popup-menu interface.
class TInterfaceMenu : public TComponent, public IkvPopupMenu {
    CL_CLASS(TInterfaceMenu, TComponent)

public:
    bool IsShortCut(TWMKey &) override { return false; }
    void Popup(int x, int y) override {
        ++count;
        at = TPoint{x, y};
    }
    int count = 0;
    TPoint at{};
};

TOwned<TBitmap> strip(int width, int height) {
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(width, height);
    HDC dc = bitmap->GetCanvas()->GetHandle();
    RECT all{0, 0, width, height};
    HBRUSH olive = CreateSolidBrush(ColorToRGB(clOlive));
    FillRect(dc, &all, olive);
    DeleteObject(olive);
    // A different mark in each square: a bar whose length tells the image.
    for (int image = 0; image * height < width; ++image) {
        RECT bar{image * height + 3, 4, image * height + 4 + 2 * image, height - 4};
        FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    return bitmap;
}

class KvButtonTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        // The application (and the shared test form it owns) outlives the test's units.
        InitForms();
        units_ = new UnitScope{&kvButtonsUnit};
    }
    void TearDown() override {
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }

    TkvButton *addButton(TForm *form, const TRect &bounds, const std::wstring &caption = L"") {
        TkvButton *button = New<TkvButton>(form);
        button->SetParent(form);
        button->SetBoundsRect(bounds);
        button->SetCaption(caption);
        return button;
    }

private:
    UnitScope *units_ = nullptr;
};

TEST_F(KvButtonTest, GlyphStripsAndTheirImages) {
    TOwned<TkvButton> button(New<TkvButton>(nullptr));
    button->SetGlyph(strip(64, 16).get());
    EXPECT_EQ(button->NumGlyphs(), 4);
    button->SetGlyph(strip(80, 16).get());
    EXPECT_EQ(button->NumGlyphs(), 1); // a quotient of 5 is not taken
    button->SetNumGlyphs(7);
    EXPECT_EQ(button->NumGlyphs(), 4);
    EXPECT_EQ(button->ButtonGlyph()->ImageSize().cx, 20);
    button->SetGlyph(strip(32, 16).get());
    EXPECT_EQ(button->NumGlyphs(), 2);
    TkvButtonGlyph *glyph = button->ButtonGlyph();
    // Two images: pressed shows the up one, disabled the second.
    EXPECT_EQ(glyph->ImageIndexFor(kvbsPressed), 0);
    EXPECT_EQ(glyph->ImageIndexFor(kvbsDisabled), 1);
    int up = glyph->CreateImage(kvbsNormal);
    EXPECT_EQ(glyph->CreateImage(kvbsPressed), up);
    EXPECT_NE(glyph->CreateImage(kvbsDisabled), up);
    button->SetNumGlyphs(3);
    EXPECT_EQ(glyph->ImageIndexFor(kvbsPressed), 2);

    // Glyphs of one size share a list; the last glyph gone takes the cache with it.
    TOwned<TkvButton> other(New<TkvButton>(nullptr));
    other->SetGlyph(strip(16, 16).get());
    other->ButtonGlyph()->CreateImage(kvbsNormal);
    button->SetGlyph(strip(16, 16).get());
    button->ButtonGlyph()->CreateImage(kvbsNormal);
    EXPECT_EQ(button->ButtonGlyph()->List(), other->ButtonGlyph()->List());
    EXPECT_EQ(GlyphCache()->Count(), 1);
    button.reset();
    other.reset();
    EXPECT_EQ(GlyphCache(), nullptr);
}

TEST_F(KvButtonTest, DisabledImagesAreEmbossedFromTheShape) {
    TOwned<TkvButtonGlyph> glyph(New<TkvButtonGlyph>());
    glyph->SetGlyph(strip(16, 16).get());
    TOwned<TBitmap> target(New<TBitmap>());
    target->SetSize(20, 20);
    HDC dc = target->GetCanvas()->GetHandle();
    RECT all{0, 0, 20, 20};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    DeleteObject(red);
    glyph->Draw(dc, 0, 0, kvbsDisabled);
    // The bar (x 3, y 4..11) in shadow, its copy one right and down in highlight; the ground
    // lets the background through.
    EXPECT_EQ(GetPixel(dc, 3, 6), ColorToRGB(clBtnShadow));
    EXPECT_EQ(GetPixel(dc, 4, 12), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(GetPixel(dc, 10, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 18, 18), RGB(255, 0, 0));
    glyph->Draw(dc, 0, 0, kvbsNormal);
    EXPECT_EQ(GetPixel(dc, 3, 6), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 10, 2), RGB(255, 0, 0)); // olive is transparent
}

TEST_F(KvButtonTest, TheGlyphsTransparentColourIsItsOwnNotTheCorners) {
    // Two images on olive, each with a black corner.
    TOwned<TBitmap> two = strip(32, 16);
    HDC twoDC = two->GetCanvas()->GetHandle();
    SetPixel(twoDC, 0, 15, RGB(0, 0, 0));
    SetPixel(twoDC, 16, 15, RGB(0, 0, 0));
    TOwned<TkvButtonGlyph> glyph(New<TkvButtonGlyph>());
    glyph->SetGlyph(two.get());
    ASSERT_EQ(glyph->NumGlyphs(), 2);
    TOwned<TBitmap> target(New<TBitmap>());
    target->SetSize(20, 20);
    HDC dc = target->GetCanvas()->GetHandle();
    RECT all{0, 0, 20, 20};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    // The supplied disabled image: its olive becomes the face, the corner still masks.
    glyph->Draw(dc, 0, 0, kvbsDisabled);
    EXPECT_EQ(GetPixel(dc, 10, 2), ColorToRGB(clBtnFace));
    EXPECT_EQ(GetPixel(dc, 0, 15), RGB(255, 0, 0));

    // A bitmap whose transparent colour is fixed is masked by the glyph's, not by its corner.
    TOwned<TBitmap> fixed = strip(16, 16);
    SetPixel(fixed->GetCanvas()->GetHandle(), 0, 15, RGB(0, 0, 0));
    fixed->SetTransparentColor(clOlive);
    glyph->SetGlyph(fixed.get());
    FillRect(dc, &all, red);
    DeleteObject(red);
    glyph->Draw(dc, 0, 0, kvbsNormal);
    EXPECT_EQ(GetPixel(dc, 10, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 0, 15), RGB(0, 0, 0));
}

TEST_F(KvButtonTest, TheContentOfADropDownButtonStopsBeforeTheArrowPart) {
    ShownForm shown;
    TkvButton *button = addButton(shown.form, TRect{10, 10, 90, 40});
    button->LookAndFeel()->SetKind(lfStandard);
    button->SetKind(kvbkDropDownButton);
    // A glyph wider than the button: a black band across olive.
    TOwned<TBitmap> wide(New<TBitmap>());
    wide->SetSize(120, 16);
    HDC wideDC = wide->GetCanvas()->GetHandle();
    RECT ground{0, 0, 120, 16};
    RECT band{0, 4, 120, 12};
    HBRUSH olive = CreateSolidBrush(ColorToRGB(clOlive));
    FillRect(wideDC, &ground, olive);
    DeleteObject(olive);
    FillRect(wideDC, &band, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    button->SetGlyph(wide.get());
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetParent(shown.form);
    edit->SetBounds(10, 100, 100, 22);
    ASSERT_TRUE(shown.show());
    edit->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == edit->Handle(); }));
    button->Repaint();
    ASSERT_EQ(button->CurrentState(), kvbsNormal);
    // The arrow part is the last 15 pixels; the content ends the border's width before it.
    const int border = PainterOf<TkvStandardLookAndFeelPainter>()->GetButtonBorderWidth(kvbsNormal);
    const int end = 80 - 15 - border;
    PixelBuffer face = captureClient(button->Handle());
    EXPECT_EQ(face.colorAt(end - 1, 15), RGB(0, 0, 0));
    EXPECT_EQ(face.colorAt(end, 15), ColorToRGB(clBtnFace));
    EXPECT_EQ(face.colorAt(end + 1, 15), ColorToRGB(clBtnFace));
}

TEST_F(KvButtonTest, GlyphAndCaptionLayout) {
    ShownForm shown;
    TkvButton *button = addButton(shown.form, TRect{10, 10, 130, 40}, L"Caption");
    button->SetGlyph(strip(16, 16).get());
    TPoint glyph{};
    TRect caption{};
    const TRect client{0, 0, 120, 30};
    button->SetMargin(-1);
    button->SetSpacing(-1);
    button->CalcLayout(client, TPoint{0, 0}, glyph, caption);
    int captionWidth = caption.right - caption.left;
    int third = (120 - 16 - captionWidth) / 3;
    EXPECT_EQ(glyph.x, third);
    EXPECT_EQ(caption.left, third + 16 + third);
    EXPECT_EQ(glyph.y, (30 - 16) / 2);
    button->SetMargin(5);
    button->SetSpacing(4);
    button->SetLayout(blGlyphRight);
    button->CalcLayout(client, TPoint{2, 3}, glyph, caption);
    EXPECT_EQ(glyph.x, 120 - 5 - 16 + 2);
    EXPECT_EQ(caption.right, glyph.x - 4);
    EXPECT_EQ(glyph.y, (30 - 16) / 2 + 3);
    button->SetMargin(-2); // refused
    EXPECT_EQ(button->Margin(), 5);
    button->SetLayout(blGlyphTop);
    button->SetMargin(-1);
    button->CalcLayout(client, TPoint{0, 0}, glyph, caption);
    int captionHeight = caption.bottom - caption.top;
    EXPECT_EQ(glyph.y, (30 - 16 - 4 - captionHeight) / 2);
    EXPECT_EQ(glyph.x, (120 - 16) / 2);
    // Without a glyph there is no spacing.
    button->SetGlyph(nullptr);
    button->SetLayout(blGlyphLeft);
    button->CalcLayout(client, TPoint{0, 0}, glyph, caption);
    EXPECT_EQ(caption.left, (120 - captionWidth) / 2);
}

TEST_F(KvButtonTest, RightToLeftReadingExchangesGlyphLeftAndRight) {
    ShownForm shown;
    shown.form->SetColor(clWhite);
    // No caption, so no text in the picture: the margin alone places the glyph.
    TkvButton *ltr = addButton(shown.form, TRect{10, 10, 90, 36});
    TkvButton *rtl = addButton(shown.form, TRect{10, 50, 90, 76});
    TkvButton *rtlRight = addButton(shown.form, TRect{10, 90, 90, 116});
    TOwned<TBitmap> glyph = strip(16, 16);
    for (TkvButton *button : {ltr, rtl, rtlRight}) {
        button->LookAndFeel()->SetKind(lfStandard);
        button->SetGlyph(glyph.get());
        button->SetMargin(4);
    }
    rtl->SetBiDiMode(bdRightToLeft);
    rtlRight->SetBiDiMode(bdRightToLeft);
    rtlRight->SetLayout(blGlyphRight);
    TPoint at{};
    TRect caption{};
    const TRect client{0, 0, 80, 26};
    ltr->CalcLayout(client, TPoint{0, 0}, at, caption);
    EXPECT_EQ(at.x, 4);
    rtl->CalcLayout(client, TPoint{0, 0}, at, caption);
    EXPECT_EQ(at.x, 80 - 4 - 16);
    rtlRight->CalcLayout(client, TPoint{0, 0}, at, caption);
    EXPECT_EQ(at.x, 4);
    // The window reads right to left as well.
    EXPECT_NE(GetWindowLongW(rtl->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    EXPECT_EQ(GetWindowLongW(ltr->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    // The focus stays off the buttons, so none wears a focus rectangle.
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetParent(shown.form);
    edit->SetBounds(200, 200, 60, 22);
    ASSERT_TRUE(shown.show());
    edit->SetFocus();
    moveMouseTo(clientToScreen(shown.form->Handle(), POINT{350, 250}));
    std::vector<PixelBuffer> shots;
    for (TkvButton *button : {ltr, rtl, rtlRight}) {
        button->Repaint();
        settle(50);
        shots.push_back(captureClient(button->Handle()));
    }
    PixelBuffer all(80, 3 * 28, 0xFFFFFF);
    for (int i = 0; i < 3; ++i)
        for (int y = 0; y < shots[i].height && y < 26; ++y)
            for (int x = 0; x < shots[i].width && x < 80; ++x)
                all.at(x, i * 28 + y) = shots[i].at(x, y);
    EXPECT_TRUE(matchesReference(all, "gui", "kv_buttons_right_to_left"));
}

TEST_F(KvButtonTest, AButtonFollowsItsActionUntilTheActionIsFreed) {
    ShownForm shown;
    // A red square in the top-left quarter of a white picture; white is transparent.
    TOwned<TBitmap> picture(New<TBitmap>());
    picture->SetSize(16, 16);
    HDC dc = picture->GetCanvas()->GetHandle();
    RECT whole{0, 0, 16, 16};
    RECT square{0, 0, 8, 8};
    FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &square, red);
    DeleteObject(red);
    TImageList *images = New<TImageList>(shown.form);
    images->AddMasked(picture.get(), clWhite);
    TActionList *list = New<TActionList>(shown.form);
    list->SetImages(images);
    TAction *action = New<TAction>(shown.form);
    action->SetActionList(list);
    action->SetCaption(L"Run");
    action->SetImageIndex(0);
    int executed = 0;
    action->OnExecute = [&](TObject *) { ++executed; };

    TkvButton *button = addButton(shown.form, TRect{10, 10, 110, 40}, L"Old");
    TkvButton *withGlyph = addButton(shown.form, TRect{10, 50, 110, 80});
    withGlyph->SetGlyph(strip(32, 16).get());
    button->SetAction(action);
    withGlyph->SetAction(action);
    EXPECT_EQ(button->Action(), action);
    EXPECT_EQ(button->Caption(), L"Run");
    EXPECT_TRUE(button->Enabled());
    // The empty glyph took the list's size, a fuchsia ground and the action's image.
    ASSERT_EQ(button->Glyph()->GetWidth(), 16);
    ASSERT_EQ(button->Glyph()->GetHeight(), 16);
    HDC glyphDC = button->Glyph()->GetCanvas()->GetHandle();
    EXPECT_EQ(GetPixel(glyphDC, 2, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(glyphDC, 12, 12), ColorToRGB(clFuchsia));
    // A glyph of its own stays.
    EXPECT_EQ(withGlyph->Glyph()->GetWidth(), 32);

    action->SetCaption(L"Go");
    EXPECT_EQ(button->Caption(), L"Go");
    action->SetEnabled(false);
    EXPECT_FALSE(button->Enabled());
    action->SetEnabled(true);
    EXPECT_TRUE(button->Enabled());
    ASSERT_TRUE(shown.show());
    clickAt(button->Handle(), POINT{20, 15});
    EXPECT_TRUE(pumpUntil([&] { return executed == 1; }, 120000));

    action->Free();
    EXPECT_EQ(button->Action(), nullptr);
    EXPECT_EQ(button->ActionLink(), nullptr);
    EXPECT_EQ(withGlyph->Action(), nullptr);
    EXPECT_EQ(button->Caption(), L"Go");
    button->SetCaption(L"Mine");
    EXPECT_EQ(button->Caption(), L"Mine");
}

TEST_F(KvButtonTest, ColoursSetAndReset) {
    ShownForm shown;
    TkvButton *button = addButton(shown.form, TRect{10, 10, 80, 40});
    button->LookAndFeel()->SetKind(lfStandard);
    TkvButtonColors *colors = button->Colors();
    EXPECT_EQ(colors->Normal(), clDefault);
    EXPECT_FALSE(colors->IsStored());
    colors->SetNormal(clRed);
    EXPECT_EQ(colors->Normal(), clRed);
    EXPECT_TRUE(colors->AssignedColors().Contains(kvbsNormal));
    EXPECT_TRUE(colors->IsStored());
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetParent(shown.form);
    edit->SetBounds(10, 100, 100, 22);
    int paints = 0;
    button->OnGetDrawParams = [&](TObject *, TkvButtonState state, TColor &, TFont *) {
        if (state == kvbsNormal)
            ++paints;
    };
    ASSERT_TRUE(shown.show());
    edit->SetFocus();
    settle();
    EXPECT_GT(paints, 0);
    PixelBuffer face = captureClient(button->Handle());
    EXPECT_EQ(face.colorAt(35, 15), RGB(255, 0, 0));
    colors->SetNormal(clNone);
    EXPECT_EQ(colors->Normal(), clDefault);
    EXPECT_FALSE(colors->IsStored());
    settle();
    face = captureClient(button->Handle());
    EXPECT_EQ(face.colorAt(35, 15), ColorToRGB(clBtnFace));
    // Assigning the set works only while designing.
    colors->SetHot(clBlue);
    colors->SetAssignedColors({});
    EXPECT_EQ(colors->Hot(), clBlue);
    TOwned<TkvButtonColors> copy(New<TkvButtonColors>(nullptr));
    copy->Assign(colors);
    EXPECT_EQ(copy->Hot(), clBlue);
    EXPECT_TRUE(copy->AssignedColors().Contains(kvbsHot));
}

TEST_F(KvButtonTest, ClicksByMouseSpaceEnterAndEsc) {
    ShownForm shown;
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetParent(shown.form);
    edit->SetBounds(10, 100, 100, 22);
    TkvButton *ok = addButton(shown.form, TRect{10, 10, 90, 35}, L"OK");
    TkvButton *cancel = addButton(shown.form, TRect{100, 10, 180, 35}, L"Cancel");
    ok->SetDefault(true);
    cancel->SetCancel(true);
    int okClicks = 0;
    int cancelClicks = 0;
    ok->OnClick = [&](TObject *) { ++okClicks; };
    cancel->OnClick = [&](TObject *) { ++cancelClicks; };
    ASSERT_TRUE(shown.show());
    edit->SetFocus();
    settle();
    // With the focus elsewhere the default button wears the ring.
    EXPECT_TRUE(ok->IsDefaultStyle());
    EXPECT_EQ(ok->CurrentState(), kvbsDefault);
    EXPECT_EQ(cancel->CurrentState(), kvbsNormal);
    typeKey(VK_RETURN);
    EXPECT_TRUE(pumpUntil([&] { return okClicks == 1; }));
    typeKey(VK_ESCAPE);
    EXPECT_TRUE(pumpUntil([&] { return cancelClicks == 1; }));
    clickAt(cancel->Handle(), POINT{40, 12});
    EXPECT_TRUE(pumpUntil([&] { return cancelClicks == 2; }));
    // The focused button takes the ring from the default one; Space clicks it.
    cancel->SetFocus();
    settle();
    EXPECT_FALSE(ok->IsDefaultStyle());
    EXPECT_TRUE(cancel->IsDefaultStyle());
    typeKey(VK_SPACE);
    EXPECT_TRUE(pumpUntil([&] { return cancelClicks == 3; }));
    EXPECT_EQ(okClicks, 1);
}

TEST_F(KvButtonTest, ModalResultReachesTheForm) {
    ShownForm shown;
    TkvButton *ok = addButton(shown.form, TRect{10, 10, 90, 35}, L"OK");
    ok->SetModalResult(mrOk);
    ASSERT_TRUE(shown.show());
    clickAt(ok->Handle(), POINT{20, 12});
    EXPECT_TRUE(pumpUntil([&] { return shown.form->ModalResult() == mrOk; }));
    shown.form->SetModalResult(mrNone);
}

TEST_F(KvButtonTest, TheDropDownOpensBelowOrAboveTheButton) {
    ShownForm shown;
    TkvButton *button = addButton(shown.form, TRect{20, 20, 120, 45}, L"Menu");
    button->SetKind(kvbkDropDown);
    TRecordingMenu *menu = New<TRecordingMenu>(shown.form);
    menu->owner = button;
    for (int i = 0; i < 3; ++i) {
        TMenuItem *item = New<TMenuItem>(menu);
        item->SetCaption(L"Item");
        menu->Items()->Add(item);
    }
    button->SetDropDownMenu(menu);
    int clicks = 0;
    button->OnClick = [&](TObject *) { ++clicks; };
    ASSERT_TRUE(shown.show());

    clickAt(button->Handle(), POINT{30, 10});
    ASSERT_TRUE(pumpUntil([&] { return menu->count == 1; }));
    POINT below = clientToScreen(button->Handle(), POINT{0, button->Height()});
    EXPECT_EQ(menu->at.x, below.x);
    EXPECT_EQ(menu->at.y, below.y);
    EXPECT_EQ(menu->component, button);
    EXPECT_TRUE(menu->visibleDuringPopup);
    EXPECT_TRUE(pumpUntil([&] { return !button->MenuVisible(); }));
    EXPECT_EQ(clicks, 0); // a drop-down button runs no click of its own

    // At the bottom of the work area the menu opens above.
    TRect work = GetMonitorWorkArea(TPoint{below.x, below.y});
    POINT origin = clientToScreen(shown.form->Handle(), POINT{0, 0});
    int formTopToClient = origin.y - shown.form->Top();
    shown.form->SetTop(work.bottom - formTopToClient - 50);
    settle();
    button->SetPopupAlignment(paRight);
    button->DropDown();
    ASSERT_TRUE(pumpUntil([&] { return menu->count == 2; }));
    POINT corner = clientToScreen(button->Handle(), POINT{button->Width(), button->Height()});
    EXPECT_EQ(menu->at.x, corner.x);
    EXPECT_EQ(menu->at.y, corner.y - GetPopupMenuHeight(menu) - button->Height() - 2);
    EXPECT_EQ(menu->alignment, paRight);
    EXPECT_EQ(menu->Alignment(), paLeft); // only for the popup
    pumpUntil([&] { return !button->MenuVisible(); });

    // A handler may take the drop-down over.
    button->OnDropDownMenuPopup = [](TObject *, TPopupMenu *&, bool &handled) { handled = true; };
    button->DropDown();
    settle();
    EXPECT_EQ(menu->count, 2);
    EXPECT_FALSE(button->MenuVisible());
    shown.form->SetTop(100);
}

TEST_F(KvButtonTest, AltDownOpensTheMenuOfADropDownButton) {
    ShownForm shown;
    TkvButton *button = addButton(shown.form, TRect{20, 20, 120, 45}, L"Split");
    button->SetKind(kvbkDropDownButton);
    TRecordingMenu *menu = New<TRecordingMenu>(shown.form);
    TMenuItem *item = New<TMenuItem>(menu);
    item->SetCaption(L"Item");
    menu->Items()->Add(item);
    button->SetDropDownMenu(menu);
    int clicks = 0;
    button->OnClick = [&](TObject *) { ++clicks; };
    ASSERT_TRUE(shown.show());
    button->SetFocus();
    settle();
    pressKey(VK_DOWN, Alt);
    EXPECT_TRUE(pumpUntil([&] { return menu->count == 1; }));
    pumpUntil([&] { return !button->MenuVisible(); });
    // The face clicks; the arrow part drops down.
    clickAt(button->Handle(), POINT{20, 12});
    EXPECT_TRUE(pumpUntil([&] { return clicks == 1; }));
    EXPECT_EQ(menu->count, 1);
    clickAt(button->Handle(), POINT{button->Width() - 5, 12});
    EXPECT_TRUE(pumpUntil([&] { return menu->count == 2; }));
    pumpUntil([&] { return !button->MenuVisible(); });
    // A freed menu is let go.
    menu->Free();
    EXPECT_EQ(button->DropDownMenu(), nullptr);

    // The context menu: a TPopupMenu or a component with the popup-menu interface, at the
    // client origin for a keyboard request.
    TComponent *plain = New<TComponent>(shown.form);
    button->SetPopupMenu(plain);
    EXPECT_EQ(button->PopupMenu(), nullptr);
    TInterfaceMenu *other = New<TInterfaceMenu>(shown.form);
    button->SetPopupMenu(other);
    EXPECT_EQ(button->PopupMenu(), other);
    // The keyboard's request, as Shift+F10 gives it.
    SendMessageW(button->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button->Handle()), MAKELPARAM(-1, -1));
    EXPECT_TRUE(pumpUntil([&] { return other->count == 1; }));
    POINT origin = clientToScreen(button->Handle(), POINT{0, 0});
    EXPECT_EQ(other->at.x, origin.x);
    EXPECT_EQ(other->at.y, origin.y);
    other->Free();
    EXPECT_EQ(button->PopupMenu(), nullptr);
}

TEST_F(KvButtonTest, HotTrackingFollowsTheMouse) {
    ShownForm shown;
    TkvButton *button = addButton(shown.form, TRect{20, 20, 120, 45});
    button->LookAndFeel()->SetKind(lfUltraFlat);
    ASSERT_TRUE(shown.show());
    moveMouseTo(clientToScreen(button->Handle(), POINT{30, 10}));
    EXPECT_TRUE(pumpUntil([&] { return button->MouseInControl(); }));
    EXPECT_EQ(button->CurrentState(), kvbsHot);
    moveMouseTo(clientToScreen(shown.form->Handle(), POINT{300, 200}));
    EXPECT_TRUE(pumpUntil([&] { return !button->MouseInControl(); }));
    EXPECT_FALSE(IsMouseTracking(button));
    button->SetEnabled(false);
    EXPECT_EQ(button->CurrentState(), kvbsDisabled);

    // A button freed under the mouse ends its tracking first: the tracker's later checks of
    // the cursor reach nothing freed.
    TkvButton *doomed = addButton(shown.form, TRect{20, 60, 120, 85});
    doomed->LookAndFeel()->SetKind(lfUltraFlat);
    settle();
    moveMouseTo(clientToScreen(doomed->Handle(), POINT{30, 10}));
    ASSERT_TRUE(pumpUntil([&] { return doomed->MouseInControl(); }));
    IkvMouseTrackingCaller *caller = doomed;
    ASSERT_TRUE(IsMouseTracking(caller));
    doomed->Free();
    EXPECT_FALSE(IsMouseTracking(caller));
    moveMouseTo(clientToScreen(shown.form->Handle(), POINT{300, 200}));
    settle(300);
}

// Every look-and-feel kind in a row, every state in a column: normal, default, hot, pressed,
// disabled, and a drop-down button. No captions, so no text in the picture.
PixelBuffer captureStates(ShownForm &shown, KvButtonTest &) {
    constexpr int cellWidth = 64;
    constexpr int cellHeight = 26;
    const TkvLookAndFeelKind kinds[] = {lfFlat, lfStandard, lfUltraFlat, lfOffice11};
    PixelBuffer all(cellWidth * 6, cellHeight * 4, 0xFFFFFF);
    TEdit *edit = New<TEdit>(shown.form);
    edit->SetParent(shown.form);
    edit->SetBounds(300, 200, 60, 22);
    shown.show();
    edit->SetFocus();
    // A square with a notch, olive ground: the embossing shows its shape.
    TOwned<TBitmap> glyph = strip(16, 16);
    HDC glyphDC = glyph->GetCanvas()->GetHandle();
    RECT square{4, 4, 12, 12};
    RECT notch{7, 4, 9, 7};
    FillRect(glyphDC, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HBRUSH olive = CreateSolidBrush(ColorToRGB(clOlive));
    FillRect(glyphDC, &notch, olive);
    DeleteObject(olive);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 6; ++column) {
            TkvButton *button = New<TkvButton>(shown.form);
            button->SetParent(shown.form);
            button->SetBounds(20, 20, cellWidth, cellHeight);
            button->LookAndFeel()->SetKind(kinds[row]);
            button->SetGlyph(glyph.get());
            if (column == 1)
                button->SetDefault(true);
            if (column == 4)
                button->SetEnabled(false);
            if (column == 5)
                button->SetKind(kvbkDropDownButton);
            moveMouseTo(clientToScreen(shown.form->Handle(), POINT{350, 150}));
            settle(50);
            if (column == 2) {
                moveMouseTo(clientToScreen(button->Handle(), POINT{10, 10}));
                pumpUntil([&] { return button->MouseInControl() || !button->IsHotTrack(); });
            }
            if (column == 3)
                pressMouseAt(button->Handle(), POINT{10, 10});
            button->Repaint();
            settle(50);
            PixelBuffer cell = captureClient(button->Handle());
            if (column == 3)
                releaseMouseAt(shown.form->Handle(), POINT{350, 150});
            for (int y = 0; y < cellHeight && y < cell.height; ++y)
                for (int x = 0; x < cellWidth && x < cell.width; ++x)
                    all.at(column * cellWidth + x, row * cellHeight + y) = cell.at(x, y);
            button->Free();
            settle(20);
        }
    }
    return all;
}

TEST_F(KvButtonTest, EveryPainterAndStateThemed) {
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are not active on this system";
    ShownForm shown;
    // The theme's rounded corners blend with whatever the parent shows through them.
    CompareOptions corners;
    corners.allowedDifferentPixels = 200;
    EXPECT_TRUE(matchesReference(captureStates(shown, *this), "gui", "kv_buttons_themed", corners));
}

class KvButtonUnthemed : public KvButtonTest {
protected:
    void SetUp() override {
        KvButtonTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(disableThemingForProcess());
    }
    void TearDown() override {
        restoreThemingForProcess();
        KvButtonTest::TearDown();
    }
};

TEST_F(KvButtonUnthemed, EveryPainterAndStateWithoutTheme) {
    ShownForm shown;
    EXPECT_TRUE(matchesReference(captureStates(shown, *this), "gui", "kv_buttons_unthemed"));
}

} // namespace
